#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLayout>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTabBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWindow>

#include "app/application_title.h"
#include "app/main_window.h"
#include "core/program_folder.h"
#include "help/form_about.h"
#include "help/help_bridge.h"
#include "help/help_window.h"
#include "settings/ui/options_form.h"
#include "widgets/design_scale.h"
#include "window_fixture.h"

namespace mx {
namespace {

bool waitFor(const std::function<bool()>& condition, int ms = 3000) {
    QElapsedTimer timer;
    timer.start();
    while (!condition() && timer.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return condition();
}

// Shown, mapped, then activated. A window manager may pass over a request that comes while it
// is still busy managing the window, so the request is repeated until it is granted.
bool makeActive(QWidget* window) {
    window->show();
    if (!QTest::qWaitForWindowExposed(window, 10000)) {
        return false;
    }
    for (int attempt = 0; attempt < 5; ++attempt) {
        window->activateWindow();
        if (waitFor([window] { return QApplication::activeWindow() == window; }, 2000)) {
            return true;
        }
    }
    return false;
}

// The main window and its options dialog as the program entry makes them, with the help
// module loaded and the shipped help file in the program folder.
class WindowBehaviourTest : public test::WindowFixture {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_folder.isValid());
        setProgramFolderForTesting(m_folder.path());
        setHelpMessageFunction([this](const QString& text) { m_helpMessages << text; });
        ASSERT_TRUE(QFile::copy(QCoreApplication::applicationDirPath() + "/mxextractor_help.chm",
                                m_folder.filePath("mxextractor_help.chm")));
        m_module = std::make_unique<HelpModule>();
        ASSERT_TRUE(m_module->isLoaded()) << "the CHM library is needed for these tests";
    }
    void TearDown() override {
        destroyWindow();
        m_module.reset();
        for (QWidget* window : QApplication::topLevelWidgets()) {
            window->close();
        }
        QCoreApplication::processEvents();
        setProgramFolderForTesting(QString());
        setHelpMessageFunction({});
    }

    HelpWindow* viewer() const { return m_module->viewer()->window(); }

    QTemporaryDir m_folder;
    std::unique_ptr<HelpModule> m_module;
    QStringList m_helpMessages;
};

TEST_F(WindowBehaviourTest, ClosingTheMainWindowClosesTheViewerAndEndsTheProgram) {
    create();
    ASSERT_TRUE(makeActive(m_form.get()));
    m_form->findChild<QAbstractButton*>("BtnHelp")->click();
    ASSERT_NE(viewer(), nullptr);
    EXPECT_TRUE(viewer()->isVisible());
    EXPECT_EQ(viewer()->currentTopic(), "/interface.htm");

    // The program's own loop: it must end when the main window closes, the viewer still open.
    bool quitSeen = false;
    const auto quit =
        QObject::connect(qApp, &QGuiApplication::lastWindowClosed, [&] { quitSeen = true; });
    QTimer::singleShot(0, m_form.get(),
                       [this] { m_form->findChild<QAbstractButton*>("BtnExit")->click(); });
    QTimer::singleShot(3000, qApp, [] { QCoreApplication::exit(7); });  // the program hung
    const int result = QApplication::exec();
    QObject::disconnect(quit);
    EXPECT_EQ(result, 0);
    EXPECT_TRUE(quitSeen);
    EXPECT_EQ(viewer(), nullptr);  // closed with the main window
    EXPECT_TRUE(m_helpMessages.isEmpty()) << m_helpMessages.join('|').toStdString();

    // The component goes with its window too, and takes an open viewer with it.
    create();
    ASSERT_TRUE(makeActive(m_form.get()));
    m_form->AboutBtnClick();
    ASSERT_NE(viewer(), nullptr);
    m_dialog.reset();
    m_form.reset();
    EXPECT_EQ(viewer(), nullptr);
}

TEST_F(WindowBehaviourTest, F1InTheModalOptionsDialogGivesAViewerThatTakesClicksAndKeys) {
    create();
    ASSERT_TRUE(makeActive(m_form.get()));
    int tabAfterClick = -1;
    int tabAfterKey = -1;
    QString topic;
    bool dialogWasModal = false;
    QTimer::singleShot(0, m_dialog.get(), [&] {
        ASSERT_TRUE(waitFor([&] { return QApplication::activeWindow() == m_dialog.get(); }));
        dialogWasModal = QApplication::activeModalWidget() == m_dialog.get();
        QTest::keyClick(m_dialog->buttonFor(OptionField::JPGBtn), Qt::Key_F1);
        if (HelpWindow* window = viewer()) {
            topic = window->currentTopic();
            EXPECT_TRUE(waitFor([&] { return window->isActiveWindow(); }));
            // Through the window system, as a user's keys and clicks come, so that a modal
            // block would stop them.
            QTest::keyClick(window->windowHandle(), Qt::Key_N, Qt::AltModifier);
            tabAfterKey = window->panes()->currentIndex();
            QTabBar* tabs = window->panes()->tabBar();
            const QPoint contents = tabs->mapTo(window, tabs->tabRect(0).center());
            QTest::mouseClick(window->windowHandle(), Qt::LeftButton, Qt::NoModifier, contents);
            tabAfterClick = window->panes()->currentIndex();
        }
        m_dialog->cancelButton()->click();
    });
    m_form->OptionsBtnClick();
    EXPECT_TRUE(dialogWasModal);
    EXPECT_EQ(topic, "/OptionsForm.htm");
    EXPECT_EQ(tabAfterKey, 1);
    EXPECT_EQ(tabAfterClick, 0);
    EXPECT_TRUE(m_helpMessages.isEmpty()) << m_helpMessages.join('|').toStdString();
}

TEST_F(WindowBehaviourTest, TheAboutBoxLeavesTheViewerUsable) {
    create();
    ASSERT_TRUE(makeActive(m_form.get()));
    m_form->AboutBtnClick();
    ASSERT_NE(viewer(), nullptr);
    TFormAbout about(m_form.get());
    m_form->setAboutForm(&about);
    int tabAfterClick = -1;
    QTimer::singleShot(0, &about, [&] {
        EXPECT_TRUE(waitFor([&] { return QApplication::activeWindow() == &about; }));
        // Through the window system, so that a modal block would stop the click.
        QTabBar* tabs = viewer()->panes()->tabBar();
        const QPoint index = tabs->mapTo(viewer(), tabs->tabRect(1).center());
        QTest::mouseClick(viewer()->windowHandle(), Qt::LeftButton, Qt::NoModifier, index);
        tabAfterClick = viewer()->panes()->currentIndex();
        about.btn1()->click();
    });
    m_form->BtnAboutClick();
    EXPECT_EQ(tabAfterClick, 1);
}

TEST_F(WindowBehaviourTest, QtsOwnOptionsCountAsArgumentsAndTheUsageBoxKeepsItsLinesWhole) {
    // QApplication would take these out of argv; they are read before it.
    const char* argv[] = {"mxextractor", "-style", "Fusion", "-reverse"};
    EXPECT_EQ(commandLineArguments(4, argv), (QStringList{"-style", "Fusion", "-reverse"}));
    EXPECT_TRUE(commandLineArguments(1, argv).isEmpty());

    setApplicationTitle("Moxelby Frame Extractor");
    create(commandLineArguments(2, argv));
    m_form->FormActivate();
    ASSERT_EQ(m_usages.size(), 1);

    // The box shows both lines, each on one line of its own.
    std::unique_ptr<QDialog> box = m_form->createUsageBox(TForm1::usageText());
    box->show();
    QCoreApplication::processEvents();
    auto* label = box->findChild<QLabel*>("usageText");
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->text(),
              "Usage: mx_cons <file> <Number Frames> <jpg/bmp> <-w Width> <-h Height>\n"
              "Example: mx_cons video.avi 15 jpg -w640 -h480 ");
    const QFontMetrics metrics(label->font());
    for (const QString& line : label->text().split('\n')) {
        EXPECT_LE(metrics.horizontalAdvance(line), label->contentsRect().width())
            << line.toStdString();
    }
    // Two lines of text, however tall the row beside the icon is.
    EXPECT_LE(label->sizeHint().height(), metrics.lineSpacing() * 2 + metrics.leading() + 4);
    EXPECT_GE(label->height(), label->sizeHint().height());
    EXPECT_EQ(box->windowTitle(), "Moxelby Frame Extractor");
    QTest::keyClick(box.get(), Qt::Key_Return);
    EXPECT_EQ(box->result(), QDialog::Accepted);
}

TEST_F(WindowBehaviourTest, MainWindowHasItsDesignedOuterSizeCentredOnTheScreen) {
    create();
    m_form->show();
    ASSERT_TRUE(waitFor([this] { return m_form->isVisible(); }));
    const QRect frame = m_form->frameGeometry();
    EXPECT_EQ(frame.size(), scaled(QSize(756, 542)));
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_LE(std::abs(frame.center().x() - area.center().x()), 1);
    EXPECT_LE(std::abs(frame.center().y() - area.center().y()), 1);
}

TEST_F(WindowBehaviourTest, RadioGroupsFollowTheArrowKeys) {
    create();
    m_form->FormActivate();  // no settings file: no frame method and no extract method set
    m_dialog->show();
    auto* frameFile = qobject_cast<QRadioButton*>(m_dialog->buttonFor(OptionField::rbFrameFile));
    frameFile->setFocus();
    QTest::keyClick(frameFile, Qt::Key_Right);
    EXPECT_TRUE(m_options.rbMatrix());
    EXPECT_TRUE(m_dialog->buttonFor(OptionField::rbMatrix)->hasFocus() ||
                QApplication::focusWidget() == nullptr);
    QTest::keyClick(m_dialog->buttonFor(OptionField::rbMatrix), Qt::Key_Down);
    EXPECT_TRUE(m_options.rbEverSec());
    EXPECT_FALSE(m_options.rbMatrix());
    QTest::keyClick(m_dialog->buttonFor(OptionField::rbEverSec), Qt::Key_Down);  // wraps round
    EXPECT_TRUE(m_options.rbFrameFile());
    QTest::keyClick(m_dialog->buttonFor(OptionField::rbFrameFile), Qt::Key_Up);
    EXPECT_TRUE(m_options.rbEverSec());

    QTest::keyClick(m_dialog->buttonFor(OptionField::rbProport), Qt::Key_Down);
    EXPECT_TRUE(m_options.rbRandom());
    EXPECT_FALSE(m_options.rbProport());
    // The Size group has one member that can be set; the fixed Width is never chosen.
    QTest::keyClick(m_dialog->buttonFor(OptionField::rbAutoWidth), Qt::Key_Down);
    EXPECT_FALSE(m_dialog->findChild<QRadioButton*>("_rbWidth")->isChecked());
    EXPECT_TRUE(m_errors.isEmpty()) << m_errors.join('|').toStdString();
}

// These need X11 and a window manager that adds frames: the app_window_manager test runs them
// under openbox on Xvfb. Elsewhere they are skipped.
class UnderWindowManagerTest : public WindowBehaviourTest {
protected:
    void SetUp() override {
        if (QGuiApplication::platformName() != "xcb") {
            GTEST_SKIP() << "needs X11 and a window manager";
        }
        WindowBehaviourTest::SetUp();
    }

    // Framed by the window manager, the frame's centre on the screen's.
    static bool centredWithFrame(const QWidget* window) {
        const QRect frame = window->frameGeometry();
        const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
        return frame != window->geometry() &&
               std::abs(frame.center().x() - area.center().x()) <= 1 &&
               std::abs(frame.center().y() - area.center().y()) <= 1;
    }
};

TEST_F(UnderWindowManagerTest, WindowsOpenCentredAndHelpBringsBackAMinimisedViewer) {
    create();
    ASSERT_TRUE(makeActive(m_form.get()));
    EXPECT_TRUE(waitFor([this] { return centredWithFrame(m_form.get()); }));
    m_form->findChild<QAbstractButton*>("BtnHelp")->click();
    ASSERT_NE(viewer(), nullptr);
    EXPECT_TRUE(waitFor([this] { return centredWithFrame(viewer()); }));

    viewer()->showMinimized();
    ASSERT_TRUE(waitFor([this] { return viewer()->isMinimized(); }));
    ASSERT_TRUE(makeActive(m_form.get()));
    QTest::keyClick(m_form.get(), Qt::Key_F1);
    EXPECT_TRUE(waitFor([this] { return !viewer()->isMinimized() && viewer()->isActiveWindow(); }));

    TFormAbout about(m_form.get());
    m_form->setAboutForm(&about);
    bool aboutCentred = false;
    QTimer::singleShot(0, &about, [&] {
        aboutCentred = waitFor([&] { return centredWithFrame(&about); });
        about.btn1()->click();
    });
    m_form->BtnAboutClick();
    EXPECT_TRUE(aboutCentred) << "frame " << about.frameGeometry().y() << "+"
                              << about.frameGeometry().height();
}

}  // namespace
}  // namespace mx
