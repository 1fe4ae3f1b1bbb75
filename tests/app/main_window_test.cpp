#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <filesystem>

#include "app/application_title.h"
#include "app/main_window.h"
#include "common/test_support.h"
#include "core/abort_flag.h"
#include "core/app_locations.h"
#include "core/error.h"
#include "core/native_path.h"
#include "core/program_folder.h"
#include "help/form_about.h"
#include "help/help_bridge.h"
#include "settings/settings_file.h"
#include "settings/ui/options_form.h"
#include "widgets/folder_edit.h"
#include "widgets/up_down.h"
#include "window_fixture.h"

namespace mx {
namespace {

// A main window and its options dialog over a temporary program folder.
class MainWindowTest : public test::WindowFixture {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_folder.isValid());
        setProgramFolderForTesting(m_folder.path());
        // No portable settings file beside the program: the user's configuration folder holds it.
        setUserFoldersForTesting(m_folder.filePath("config"), m_folder.filePath("data"));
        ASSERT_TRUE(QDir().mkpath(m_folder.filePath("config")));
        setHelpMessageFunction([this](const QString& text) { m_helpMessages << text; });
    }
    void TearDown() override {
        destroyWindow();  // before the folders it may write to go
        setProgramFolderForTesting(QString());
        setUserFoldersForTesting(QString(), QString());
        setHelpMessageFunction({});
    }

    // Runs the options dialog and presses Save or Cancel once it is shown.
    void runOptions(bool save, const std::function<void()>& edit = {}) {
        QTimer::singleShot(0, [this, save, edit] {
            if (edit) {
                edit();
            }
            (save ? m_dialog->saveButton() : m_dialog->cancelButton())->click();
        });
        m_form->OptionsBtnClick();
    }

    QString iniPath() const { return m_folder.filePath(QStringLiteral("config/mxex2.ini")); }

    QStringList m_helpMessages;
    QTemporaryDir m_folder;
};

TEST_F(MainWindowTest, ActivationLoadsSettingsOnceAndShowsUsageOnlyWithArguments) {
    create();
    m_form->FormActivate();
    m_form->FormActivate();
    EXPECT_TRUE(m_usages.isEmpty());
    // Without a settings file: no frame method, "5" frames, JPEG.
    EXPECT_FALSE(m_options.rbFrameFile());
    EXPECT_EQ(m_options.FrameNumberEdit(), "5");
    EXPECT_TRUE(m_options.JPGBtn());

    create({QStringLiteral("clip.avi")});
    m_form->FormActivate();
    m_form->FormActivate();
    ASSERT_EQ(m_usages.size(), 1);
    EXPECT_EQ(m_usages[0],
              "Usage: mx_cons <file> <Number Frames> <jpg/bmp> <-w Width> <-h Height>\n\r"
              "Example: mx_cons video.avi 15 jpg -w640 -h480 ");
}

TEST_F(MainWindowTest, FailedSettingsLoadSkipsUsageAndKeepsDialogClosed) {
    ASSERT_TRUE(test::writeFile(iniPath(), "[options]\r\nFrameNumberEdit=abc\r\n"));
    create({QStringLiteral("x")});
    m_form->FormActivate();
    EXPECT_EQ(m_errors, QStringList{"'abc' is not a valid integer value"});
    EXPECT_TRUE(m_usages.isEmpty());

    bool shown = false;
    QTimer::singleShot(0, [&] {
        shown = m_dialog->isVisible();
        m_dialog->reject();
    });
    try {
        m_form->OptionsBtnClick();
        FAIL() << "no error";
    } catch (const Error& e) {
        EXPECT_EQ(e.message(), "'abc' is not a valid integer value");
    }
    QCoreApplication::processEvents();
    EXPECT_FALSE(shown);
}

TEST_F(MainWindowTest, OptionsSaveStoresAndCancelDropsEdits) {
    create();
    m_form->FormActivate();
    runOptions(true, [this] {
        m_dialog->buttonFor(OptionField::BMPBtn)->click();
        m_dialog->buttonFor(OptionField::rbMatrix)->click();
        m_dialog->jpgTrackBar()->setValue(40);
    });
    EXPECT_TRUE(m_options.BMPBtn());
    EXPECT_FALSE(m_options.JPGBtn());
    EXPECT_TRUE(m_options.rbMatrix());
    EXPECT_EQ(m_dialog->JPGqualitylabel()->text(), "JPG quality 40");

    runOptions(false, [this] { m_dialog->buttonFor(OptionField::JPGBtn)->click(); });
    // Cancel leaves the edit live until the next load...
    EXPECT_TRUE(m_options.JPGBtn());
    // ...which brings back what was saved.
    runOptions(false);
    EXPECT_TRUE(m_options.BMPBtn());
    EXPECT_FALSE(m_options.JPGBtn());
    EXPECT_EQ(m_options.jpgTrackBar(), 40);
}

// The settings file as another editor left it: CR line ends, a folder in Latin-1 bytes. Opening
// the options dialog and saving without an edit keeps it byte for byte.
TEST_F(MainWindowTest, OptionsSaveWithoutEditsKeepsAForeignSettingsFile) {
    QByteArray before = "[options]\rpathEdit=/media/\xE9t\xE9\r; kept \xFF\r";
    ASSERT_TRUE(test::writeFile(iniPath(), before));
    // The first save writes the keys the file lacks; from then on nothing changes.
    create();
    m_form->FormActivate();
    EXPECT_EQ(encodeNativePath(m_options.pathEdit()), QByteArray("/media/\xE9t\xE9"));
    runOptions(true);
    const QByteArray saved = test::readFile(iniPath());
    EXPECT_TRUE(saved.startsWith(before)) << saved.toStdString();
    EXPECT_EQ(saved.count("[options]"), 1);
    EXPECT_FALSE(saved.contains('\n'));
    EXPECT_EQ(saved.count('\r'), 3 + 18);
    runOptions(true);
    m_form->close();
    EXPECT_EQ(test::readFile(iniPath()), saved + "[Form]\rlanguage=1033\r");
}

TEST_F(MainWindowTest, UpDownStepsFromTypedTextAndStopsAtItsMaximum) {
    create();
    QLineEdit* frames = m_dialog->lineEditFor(OptionField::FrameNumberEdit);
    frames->setText(QStringLiteral("999"));
    m_dialog->udFN()->stepUp();
    EXPECT_EQ(frames->text(), "1000");
    m_dialog->udFN()->stepUp();
    EXPECT_EQ(frames->text(), "1000");
    EXPECT_EQ(m_options.FrameNumberEdit(), "1000");

    frames->setText(QStringLiteral("12"));
    m_dialog->udFN()->stepUp();
    EXPECT_EQ(frames->text(), "13");
    QTest::keyClick(frames, Qt::Key_Down);
    EXPECT_EQ(frames->text(), "12");
}

TEST_F(MainWindowTest, FolderCheckDisablesThePathField) {
    create();
    m_options.setFlag(OptionField::chkFolder, true);
    EXPECT_FALSE(m_dialog->pathEdit()->isEnabled());
    m_options.setFlag(OptionField::chkFolder, false);
    EXPECT_TRUE(m_dialog->pathEdit()->isEnabled());
}

// A tree of `folders` folders of 100 entries each, 40 of them video files.
QString makeVideoTree(const QString& root, int folders) {
    const QByteArray top = encodeNativePath(root);
    EXPECT_EQ(mkdir(top.constData(), 0755), 0);
    for (int f = 0; f < folders; ++f) {
        const QByteArray folder = top + "/f" + QByteArray::number(f);
        EXPECT_EQ(mkdir(folder.constData(), 0755), 0);
        for (int i = 0; i < 99; ++i) {
            static const char* const kinds[] = {".avi", ".MOV", ".mp4", ".txt", ".jpg"};
            const QByteArray file = folder + "/n" + QByteArray::number(i) + kinds[i % 5];
            const int fd = open(file.constData(), O_CREAT | O_WRONLY, 0644);
            EXPECT_GE(fd, 0);
            close(fd);
        }
    }
    return root;
}

// Counts the repaints of a widget.
struct PaintCounter : QObject {
    int paints = 0;
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            ++paints;
        }
        return false;
    }
};

TEST_F(MainWindowTest, AddFolderRepaintsByTimeAndStaysResponsive) {
    create();
    m_form->show();
    const QString root = makeVideoTree(m_folder.filePath("videos"), 300);
    m_form->dirDialog1 = [&] { return root; };
    PaintCounter counter;
    m_form->fileListView()->viewport()->installEventFilter(&counter);

    // A timer every 5 ms: the gaps between its firings are how long the window could not react.
    QElapsedTimer clock;
    std::vector<qint64> firings;
    QTimer ticker;
    ticker.setInterval(5);
    QObject::connect(&ticker, &QTimer::timeout, [&] { firings.push_back(clock.elapsed()); });
    ticker.start();
    clock.start();
    m_form->AddDirBtnClick();
    const qint64 elapsed = clock.elapsed();
    ticker.stop();
    ASSERT_EQ(m_form->jobList().count(), 300 * 60);
    EXPECT_EQ(m_form->fileListView()->rowCount(), 300 * 60);
    // The rows come in the search's order: all .avi files of the tree, then .mov, then .mp4.
    EXPECT_TRUE(m_form->jobList().row(0).path.endsWith(".avi"));
    EXPECT_TRUE(m_form->jobList().row(300 * 20).path.endsWith(".MOV"));
    EXPECT_TRUE(m_form->jobList().rows().back().path.endsWith(".mp4"));
    // Repainted by time, not for every row (the throttle's clock ticks coarsely, so allow
    // intervals down to half their length).
    EXPECT_LE(counter.paints, elapsed / (TForm1::kSearchPumpIntervalMs / 2) + 5)
        << elapsed << " ms, " << counter.paints << " paints";
    qint64 previous = 0;
    for (qint64 firing : firings) {
        EXPECT_LT(firing - previous, 100);
        previous = firing;
    }
    EXPECT_LT(elapsed - previous, 100);

    // Esc reaches the window during the search; a handler setting Stop ends it at once.
    AbortFlag = false;
    m_form->ClearList1Click();
    qint64 stopAt = -1;
    QTimer::singleShot(0, [&] {
        QTest::keyClick(m_form->fileListView(), Qt::Key_Escape);
        m_form->fileSearch1().setStop(true);
        stopAt = clock.elapsed();
    });
    clock.start();
    m_form->AddDirBtnClick();
    const qint64 stopped = clock.elapsed();
    EXPECT_TRUE(AbortFlag);
    AbortFlag = false;
    ASSERT_GE(stopAt, 0);
    EXPECT_LT(stopAt, 100);
    EXPECT_LT(stopped - stopAt, 100);
    EXPECT_LT(m_form->jobList().count(), 300 * 60);
}

TEST_F(MainWindowTest, AddFolderTakesNamesThatAreNotUtf8WithTheirBytes) {
    create();
    const QByteArray root = encodeNativePath(m_folder.path()) + "/Archiv \xE9t\xE9";
    for (const QByteArray& folder : {root, root + "/\xC4rger", root + "/\xC4rger/\xFF"}) {
        ASSERT_EQ(mkdir(folder.constData(), 0755), 0);
    }
    // Grouped by mask: .avi, then .mov, then .mp4.
    const QList<QByteArray> files = {root + "/\xE9.avi", root + "/\xC4rger/\xFF/x.mov",
                                     root + "/\xC4rger/clip\x80.mp4"};
    for (const QByteArray& file : files + QList<QByteArray>{root + "/\xE9.txt"}) {
        const int fd = open(file.constData(), O_CREAT | O_WRONLY, 0644);
        ASSERT_GE(fd, 0);
        close(fd);
    }
    m_form->dirDialog1 = [&] { return decodeNativePath(root); };
    m_form->AddDirBtnClick();
    QStringList paths;
    for (const JobRow& row : m_form->jobList().rows()) {
        paths << QString::fromLatin1(encodeNativePath(row.path).toHex(' '));
    }
    QStringList expected;
    for (const QByteArray& file : files) {
        expected << QString::fromLatin1(file.toHex(' '));
    }
    EXPECT_EQ(paths, expected);
    EXPECT_EQ(m_form->fileListView()->rowCount(), 3);
    EXPECT_TRUE(m_errors.isEmpty());

    // In a folder that is text, such a file is still a file of its own, not its folder.
    const QByteArray plain = encodeNativePath(m_folder.path()) + "/plain";
    ASSERT_EQ(mkdir(plain.constData(), 0755), 0);
    const int fd = open((plain + "/\xE9t\xE9.avi").constData(), O_CREAT | O_WRONLY, 0644);
    ASSERT_GE(fd, 0);
    close(fd);
    m_form->ClearList1Click();
    m_form->dirDialog1 = [&] { return decodeNativePath(plain); };
    m_form->AddDirBtnClick();
    ASSERT_EQ(m_form->jobList().count(), 1);
    EXPECT_EQ(encodeNativePath(m_form->jobList().row(0).path).toHex(' '),
              (plain + "/\xE9t\xE9.avi").toHex(' '));

    // Qt's own removal cannot name these files.
    std::filesystem::remove_all(root.constData());
    std::filesystem::remove_all(plain.constData());
}

TEST_F(MainWindowTest, JobListNumbersRowsAndFiltersDrops) {
    create();
    m_form->dropPaths({"/v/clip.avi", "/v/clip.AVI", "/v/clip.Avi", "/v/clip.mp3", "/v/noext",
                       "/v/clip.m", "/v/folder.mov"});
    QStringList paths;
    for (const JobRow& row : m_form->jobList().rows()) {
        paths << row.path;
    }
    EXPECT_EQ(paths, (QStringList{"/v/clip.avi", "/v/clip.m", "/v/folder.mov"}));

    QTableWidget* view = m_form->fileListView();
    ASSERT_EQ(view->rowCount(), 3);
    view->selectRow(1);
    m_form->DeletefromList1Click();
    m_form->openDialog1 = [] { return QStringList{"/v/new.mp4"}; };
    m_form->AddFileBtnClick();
    ASSERT_EQ(view->rowCount(), 3);
    EXPECT_EQ(view->item(0, 0)->text(), "1");
    EXPECT_EQ(view->item(1, 0)->text(), "3");
    EXPECT_EQ(view->item(2, 0)->text(), "3");
    EXPECT_EQ(view->item(2, 1)->text(), "/v/new.mp4");

    view->clearSelection();
    m_form->DeletefromList1Click();
    EXPECT_EQ(view->rowCount(), 3);
    m_form->ClearList1Click();
    EXPECT_EQ(view->rowCount(), 0);
    m_form->ClearList1Click();
}

TEST_F(MainWindowTest, ListCellsAreNotEditedInPlaceAndLineBreaksInNamesShowAsStandIns) {
    create();
    m_form->show();
    m_form->dropPaths({"/v/two\nlines.avi", "/v/back\rhome.avi"});
    QTableWidget* view = m_form->fileListView();
    ASSERT_EQ(view->rowCount(), 2);
    EXPECT_EQ(view->item(0, 1)->text(), QString::fromUtf8("/v/two\uFFFDlines.avi"));
    EXPECT_EQ(view->item(1, 1)->text(), QString::fromUtf8("/v/back\uFFFDhome.avi"));
    EXPECT_EQ(m_form->jobList().row(0).path, "/v/two\nlines.avi");  // the job keeps the name
    m_form->logMessage("open-/v/back\rhome.avi");
    EXPECT_EQ(m_form->activityLog().rows().back().text,
              QString::fromUtf8("open-/v/back\uFFFDhome.avi"));

    // F2 on the number starts no editor.
    view->setFocus();
    view->setCurrentCell(0, 0);
    QTest::keyClick(view, Qt::Key_F2);
    EXPECT_EQ(view->findChild<QLineEdit*>(), nullptr);
}

TEST_F(MainWindowTest, ClosingTheWindowDuringAddFolderOnTheRootEndsTheSearch) {
    create();
    m_form->show();
    m_form->dirDialog1 = [] { return QStringLiteral("/"); };
    QTimer::singleShot(200, m_form.get(), [this] { m_form->close(); });
    // Should the search walk on regardless, it is stopped here so that the test ends.
    QTimer watchdog;
    watchdog.setSingleShot(true);
    QObject::connect(&watchdog, &QTimer::timeout, [this] { m_form->fileSearch1().setStop(true); });
    watchdog.start(10000);
    QElapsedTimer clock;
    clock.start();
    m_form->AddDirBtnClick();
    EXPECT_LT(clock.elapsed(), 1500);
    EXPECT_FALSE(m_form->isVisible());
}

TEST_F(MainWindowTest, EscSetsTheAbortFlagAndStillReachesTheFocusedControl) {
    create();
    m_form->show();
    AbortFlag = false;
    QTableWidget* view = m_form->fileListView();
    bool seen = false;
    struct Spy : QObject {
        bool* seen;
        bool eventFilter(QObject*, QEvent* e) override {
            if (e->type() == QEvent::KeyPress) {
                *seen = true;
            }
            return false;
        }
    } spy;
    spy.seen = &seen;
    view->installEventFilter(&spy);
    QTest::keyClick(view, Qt::Key_Escape);
    EXPECT_TRUE(AbortFlag);
    EXPECT_TRUE(seen);
    AbortFlag = false;

    // A key in another window does not touch the flag.
    QTest::keyClick(m_dialog.get(), Qt::Key_Escape);
    EXPECT_FALSE(AbortFlag);
}

TEST_F(MainWindowTest, CloseWritesTheLanguageAndStillClosesWhenItCannot) {
    create();
    m_options.setLanguage(1031);
    m_form->show();
    EXPECT_TRUE(m_form->close());
    EXPECT_EQ(LoadLanguageSetting(iniPath()), 1031);

    // A settings path that cannot be written (its folder would be below a regular file, which
    // stops even root): the message names that path, and the window closes anyway.
    ASSERT_TRUE(test::writeFile(m_folder.filePath("blocked"), "a file"));
    setUserFoldersForTesting(m_folder.filePath("blocked/config"), m_folder.filePath("data"));
    create();
    m_form->show();
    EXPECT_TRUE(m_form->close());
    ASSERT_EQ(m_errors.size(), 1);
    EXPECT_EQ(m_errors[0], "Unable to write to " + m_folder.filePath("blocked/config/mxex2.ini"));
}

TEST_F(MainWindowTest, ANumberFieldThatIsNotANumberStopsTheRunBeforeAnyRow) {
    ASSERT_TRUE(test::writeFile(iniPath(), "[options]\r\nFrameNumberEdit=abc\r\n"));
    create();
    m_form->dropPaths({"/v/a.avi"});
    m_form->activityLog().LogMessage(QStringLiteral("from before"));
    EXPECT_THROW(m_form->StartExtractBtnClick(), ConvertError);
    EXPECT_TRUE(m_form->activityLog().texts().isEmpty());
    EXPECT_FALSE(m_form->isRunning());
}

TEST_F(MainWindowTest, OpeningAJobListThatIsMissingOrCutShort) {
    create();
    m_form->openDialogList = [this] { return m_folder.filePath("missing.mxl"); };
    EXPECT_THROW(m_form->BtnOpenListClick(), Error);
    EXPECT_EQ(m_form->jobList().count(), 0);

    ASSERT_TRUE(test::writeFile(m_folder.filePath("short.mxl"), "/v/a.avi\r\n/v/b.avi\r\n"));
    m_form->openDialogList = [this] { return m_folder.filePath("short.mxl"); };
    m_form->BtnOpenListClick();
    EXPECT_EQ(m_form->jobList().count(), 2);
    ASSERT_EQ(m_errors.size(), 1);
    EXPECT_TRUE(m_errors[0].contains("ends before its options"));

    // Saved and opened again: the same rows appended, numbered by the file.
    m_form->saveDialogList = [this] { return m_folder.filePath("again.mxl"); };
    m_form->BtnSaveListClick();
    m_form->openDialogList = [this] { return m_folder.filePath("again.mxl"); };
    m_form->BtnOpenListClick();
    QStringList numbers;
    for (const JobRow& row : m_form->jobList().rows()) {
        numbers << row.number;
    }
    EXPECT_EQ(numbers, (QStringList{"1", "2", "1", "2"}));
}

TEST_F(MainWindowTest, DialogsOpenedManyTimesNeitherReloadNorRefillTheLanguageList) {
    create();
    m_form->FormActivate();
    const int languages = m_dialog->cbblang()->count();
    for (int i = 0; i < 3; ++i) {
        runOptions(false);
        m_form->FormActivate();
    }
    EXPECT_EQ(m_dialog->cbblang()->count(), languages);
}

TEST_F(MainWindowTest, FolderFieldIgnoresTheClipboardAndStartsThePickerByItsRules) {
    create();
    FolderEdit* path = m_dialog->pathEdit();
    path->setText(QStringLiteral("abc"));
    QTest::keySequence(path->lineEdit(), QKeySequence::SelectAll);
    QTest::keySequence(path->lineEdit(), QKeySequence::Cut);
    EXPECT_EQ(path->text(), "abc");
    QTest::keySequence(path->lineEdit(), QKeySequence::Paste);
    EXPECT_EQ(path->text(), "abc");
    QTest::keyClick(path->lineEdit(), Qt::Key_End);
    QTest::keyClicks(path->lineEdit(), "d");  // typing still works
    EXPECT_EQ(m_options.pathEdit(), "abcd");

    EXPECT_EQ(path->pickerStartFolder(), QDir::rootPath());  // names no folder
    path->setText(m_folder.path());
    EXPECT_EQ(path->pickerStartFolder(), m_folder.path());
    QString started;
    path->setPicker([&](QWidget*, const QString& start) {
        started = start;
        return m_folder.path() + "/chosen";
    });
    path->setText(QString());
    path->browse();
    EXPECT_EQ(started, QDir::rootPath());
    EXPECT_EQ(m_options.pathEdit(), m_folder.path() + "/chosen");
    path->setText(QString());
    EXPECT_EQ(path->pickerStartFolder(), m_folder.path() + "/chosen");  // the last confirmed
}

TEST_F(MainWindowTest, HelpButtonShowsTheInterfaceTopicAndAboutClosesWithOk) {
    HelpModule module;
    // The help file is looked up in the program folder: absent, every press says so.
    create();
    ASSERT_NE(m_form->help(), nullptr);
    m_form->AboutBtnClick();
    m_form->AboutBtnClick();
    ASSERT_EQ(m_helpMessages.size(), 2);
    EXPECT_TRUE(m_helpMessages[0].startsWith("Sorry, the HelpFile\r"))
        << m_helpMessages[0].toStdString();
    EXPECT_TRUE(m_helpMessages[0].endsWith("mxextractor_help.chm\rdoes not exists."));

    // With the shipped help file beside the program the viewer opens on interface.htm.
    ASSERT_TRUE(QFile::copy(QCoreApplication::applicationDirPath() + "/mxextractor_help.chm",
                            m_folder.filePath("mxextractor_help.chm")));
    m_form->AboutBtnClick();
    EXPECT_EQ(m_helpMessages.size(), 2);
    ASSERT_TRUE(module.isLoaded());
    EXPECT_TRUE(module.viewer()->lastHelpFile().endsWith("mxextractor_help.chm"));

    auto* about = new TFormAbout(m_form.get());  // owned by the window
    m_form->setAboutForm(about);
    for (int i = 0; i < 2; ++i) {
        QTimer::singleShot(0, [&] { about->btn1()->click(); });
        m_form->BtnAboutClick();
        EXPECT_EQ(about->result(), QDialog::Accepted);
    }
    m_dialog.reset();
    m_form.reset();  // the help bridge goes with its window, before the module
}

}  // namespace
}  // namespace mx
