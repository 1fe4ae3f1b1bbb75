#include <QDialog>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMessageBox>
#include <QPointer>
#include <QTabWidget>
#include <QTimer>
#include <QTreeWidget>

#include "core/error.h"
#include "help/help_window.h"
#include "help_fixture.h"

namespace mx::test {
namespace {

const QString kMissingLibrary = QStringLiteral("libmspack-not-installed.so.9");

QString missingFileMessage(const QString& path) {
    return QStringLiteral("Sorry, the HelpFile\r") + path + QStringLiteral("\rdoes not exists.");
}

QString libraryMessage(const QString& library) {
    return QStringLiteral(
               "Unable to view HTML help (*.chm). Update windows help system.\rGet new \"") +
           library + QStringLiteral("\" library.");
}

QString shownText(const HelpModule& module) {
    HelpWindow* window = module.viewer()->window();
    return window ? window->browser()->toPlainText() : QString();
}

QString shownTopic(const HelpModule& module) {
    HelpWindow* window = module.viewer()->window();
    return window ? window->currentTopic() : QString();
}

void pressF1(QWidget* target) {
    QKeyEvent press(QEvent::KeyPress, Qt::Key_F1, Qt::NoModifier);
    QApplication::sendEvent(target, &press);
}

using HelpBridgeTest = HelpTest;

TEST_F(HelpBridgeTest, HelpButtonOpensInterfaceTopicFromProgramFolder) {
    installHelpFile(shippedHelpFile());
    HelpModule module;
    ASSERT_TRUE(module.isLoaded()) << "the CHM library is needed for these tests";
    QWidget owner;
    TNARVHelp help(&owner);

    help.setKeyword(QStringLiteral("interface"));
    EXPECT_TRUE(help.ShowKeywordTopic());
    EXPECT_TRUE(help.keyword().isEmpty());
    EXPECT_TRUE(messages.isEmpty()) << messages.join('|').toStdString();
    EXPECT_EQ(module.viewer()->lastHelpFile(), helpFilePath());

    HelpWindow* window = module.viewer()->window();
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->filePath(), helpFilePath());
    EXPECT_EQ(window->currentTopic(), QStringLiteral("/interface.htm"));
    EXPECT_TRUE(shownText(module).contains(QStringLiteral("takes still frames from video files")));
    EXPECT_EQ(window->windowTitle(),
              QStringLiteral("The main window - Moxelby Frame Extractor Help"));

    // Style sheet and image come out of the same file.
    const QByteArray logo =
        window->browser()
            ->loadResource(QTextDocument::ImageResource,
                           window->browser()->source().resolved(QUrl("images/logo.png")))
            .toByteArray();
    EXPECT_TRUE(logo.startsWith("\x89PNG"));

    // Contents from the .hhc, nested; index from the .hhk.
    QTreeWidget* contents = window->contentsTree();
    ASSERT_GE(contents->topLevelItemCount(), 8);
    EXPECT_EQ(contents->topLevelItem(0)->text(0), QStringLiteral("The main window"));
    EXPECT_EQ(contents->currentItem()->text(0), QStringLiteral("The main window"));
    const auto options = contents->findItems(QStringLiteral("Options"), Qt::MatchExactly);
    ASSERT_EQ(options.size(), 1);
    EXPECT_EQ(options.front()->childCount(), 2);
    EXPECT_GT(window->indexList()->count(), 20);

    // A link inside the file, then back and forward.
    window->browser()->setSource(window->browser()->source().resolved(QUrl("joblist.htm")));
    EXPECT_EQ(window->currentTopic(), QStringLiteral("/joblist.htm"));
    EXPECT_TRUE(shownText(module).contains(QStringLiteral("Saving and opening lists")));
    window->browser()->backward();
    EXPECT_EQ(window->currentTopic(), QStringLiteral("/interface.htm"));
    window->browser()->forward();
    EXPECT_EQ(window->currentTopic(), QStringLiteral("/joblist.htm"));

    if (const QByteArray shot = qgetenv("MX_HELP_SCREENSHOT"); !shot.isEmpty()) {
        window->showTopic(QStringLiteral("interface.htm"));
        window->grab().save(QString::fromLocal8Bit(shot));
    }

    // The end of the module closes the viewer.
    QPointer<HelpWindow> open = window;
    module.viewer()->softShutDown();
    EXPECT_TRUE(open.isNull());
    EXPECT_EQ(module.viewer()->window(), nullptr);
}

TEST_F(HelpBridgeTest, MissingHelpFileIsReportedOnEveryRequestUntilItAppears) {
    HelpModule module;
    ASSERT_TRUE(module.isLoaded());
    QWidget owner;
    TNARVHelp help(&owner);
    for (int press = 0; press < 3; ++press) {
        help.setKeyword(QStringLiteral("interface"));
        EXPECT_TRUE(help.ShowKeywordTopic());
    }
    module.viewer()->showTableOfContents();
    module.viewer()->showHelp(QStringLiteral("Log"));
    // Looked for beside the program, then in the installed data folder: the message names the
    // path looked for last.
    EXPECT_EQ(messages, QStringList(5, missingFileMessage(installedHelpFilePath())));
    EXPECT_EQ(module.viewer()->window(), nullptr);
    EXPECT_TRUE(module.viewer()->lastHelpFile().isEmpty());

    installHelpFile(shippedHelpFile());
    messages.clear();
    help.setKeyword(QStringLiteral("interface"));
    EXPECT_TRUE(help.ShowKeywordTopic());
    EXPECT_TRUE(messages.isEmpty());
    EXPECT_EQ(shownTopic(module), QStringLiteral("/interface.htm"));
}

TEST_F(HelpBridgeTest, HelpFileIsTakenFromBesideTheProgramElseFromTheInstalledDataFolder) {
    HelpModule module;
    ASSERT_TRUE(module.isLoaded());
    QWidget owner;
    TNARVHelp help(&owner);
    ASSERT_TRUE(QDir().mkpath(QFileInfo(installedHelpFilePath()).path()));
    ASSERT_TRUE(writeFile(installedHelpFilePath(), shippedHelpFile()));
    help.setKeyword(QStringLiteral("interface"));
    EXPECT_TRUE(help.ShowKeywordTopic());
    EXPECT_TRUE(messages.isEmpty());
    EXPECT_EQ(module.viewer()->lastHelpFile(), installedHelpFilePath());
    EXPECT_EQ(shownTopic(module), QStringLiteral("/interface.htm"));

    installHelpFile(shippedHelpFile());
    EXPECT_EQ(module.viewer()->resolveHelpFile(), helpFilePath());
}

TEST_F(HelpBridgeTest, HelpFileNameComesFromWindowThenApplicationThenProgram) {
    HelpModule module;
    ASSERT_TRUE(module.isLoaded());
    QWidget form;
    form.setObjectName(QStringLiteral("Form1"));
    form.setProperty(kHelpFileProperty, QStringLiteral("other.hlp"));
    ASSERT_TRUE(makeActive(&form));
    EXPECT_TRUE(module.viewer()->resolveHelpFile().isEmpty());

    form.setProperty(kHelpFileProperty, QVariant());
    EXPECT_TRUE(module.viewer()->resolveHelpFile().isEmpty());

    setApplicationHelpFile(QString());
    EXPECT_TRUE(module.viewer()->resolveHelpFile().isEmpty());

    const QString folder = installedDataFolder() + QLatin1Char('/');
    const QString program =
        QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName() + ".chm";
    EXPECT_EQ(messages, (QStringList{missingFileMessage(folder + "other.chm"),
                                     missingFileMessage(folder + "mxextractor_help.chm"),
                                     missingFileMessage(folder + program)}));

    EXPECT_EQ(changeFileExt("mxextractor_help", ".chm"), "mxextractor_help.chm");
    EXPECT_EQ(changeFileExt("old.help.hlp", ".chm"), "old.help.chm");
    EXPECT_EQ(changeFileExt("dir.d/file", ".chm"), "dir.d/file.chm");
}

TEST_F(HelpBridgeTest, DamagedHelpFilesAreRefusedWithoutCrashing) {
    const QByteArray good = shippedHelpFile();
    ASSERT_GT(good.size(), 8000);
    // A file of the right length whose compressed content is overwritten.
    QByteArray damaged = good;
    damaged.replace(4400, 3000, QByteArray(3000, '\x5a'));
    const QString cannotOpen = QStringLiteral("Cannot open the help file\r") + helpFilePath();
    struct Case {
        const char* what;
        QByteArray bytes;
        bool opens;
    };
    const std::vector<Case> cases = {
        {"empty", {}, false},
        {"not a help file", "<html><body>interface</body></html>", false},
        {"header only", good.left(40), false},
        {"cut inside the directory", good.left(2000), false},
        {"directory without content", good.left(4300), false},
        {"content cut short", good.left(good.size() / 2), false},
        {"last byte missing", good.left(good.size() - 1), false},
        {"content damaged", damaged, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        installHelpFile(c.bytes);
        messages.clear();
        HelpModule module;
        QWidget owner;
        TNARVHelp help(&owner);
        help.setKeyword(QStringLiteral("interface"));
        EXPECT_TRUE(help.ShowKeywordTopic());
        if (!c.opens) {
            EXPECT_EQ(messages, QStringList{cannotOpen});
            EXPECT_EQ(module.viewer()->window(), nullptr);
            continue;
        }
        // What the file still holds is shown; a topic that cannot be read gives the
        // not-found page rather than part of a page.
        EXPECT_TRUE(messages.isEmpty());
        const QString text = shownText(module);
        EXPECT_TRUE(text.contains("takes still frames") ||
                    text.contains("The page cannot be displayed"))
            << text.toStdString();
    }
}

TEST_F(HelpBridgeTest, KeywordBecomesTopicName) {
    installHelpFile(shippedHelpFile());
    HelpModule module;
    QWidget owner;
    TNARVHelp help(&owner);

    help.setKeyword(QStringLiteral("nosuchtopic"));
    EXPECT_TRUE(help.ShowKeywordTopic());
    EXPECT_EQ(shownTopic(module), QStringLiteral("/nosuchtopic.htm"));
    EXPECT_TRUE(shownText(module).contains("The page cannot be displayed"));
    EXPECT_TRUE(shownText(module).contains("nosuchtopic.htm"));

    help.setKeyword(QStringLiteral("page.HTML"));
    help.ShowKeywordTopic();
    EXPECT_EQ(shownTopic(module), QStringLiteral("/page.HTML"));

    // Topic names are found whatever their case, as links in help files are written.
    help.setKeyword(QStringLiteral("SETUP.HTM"));
    help.ShowKeywordTopic();
    EXPECT_TRUE(shownText(module).contains("Setting up"));
    EXPECT_TRUE(messages.isEmpty());

    EXPECT_EQ(topicForKeyword("interface"), "interface.htm");
    EXPECT_EQ(topicForKeyword("Form1.Htm"), "Form1.Htm");
    EXPECT_EQ(topicForKeyword("page.htmlx"), "page.htmlx");
    EXPECT_EQ(topicForKeyword("notes.ht"), "notes.ht.htm");
    EXPECT_EQ(topicForKeyword("v1.2"), "v1.2.htm");
    EXPECT_EQ(trimMdiSuffix("Form1_2"), "Form1");
    EXPECT_EQ(trimMdiSuffix("Form1_12"), "Form1");
    EXPECT_EQ(trimMdiSuffix("My_Form"), "My_Form");
    EXPECT_EQ(trimMdiSuffix("ab"), "ab");
}

TEST_F(HelpBridgeTest, ActiveMdiChildNamesTheTopicWithoutItsInstanceSuffix) {
    installHelpFile(shippedHelpFile());
    HelpModule module;
    QMainWindow frame;
    auto* area = new QMdiArea(&frame);
    frame.setCentralWidget(area);
    auto* child = new QWidget;
    child->setObjectName(QStringLiteral("Form1_2"));
    area->addSubWindow(child)->show();
    ASSERT_TRUE(makeActive(&frame));
    area->setActiveSubWindow(area->subWindowList().front());
    TNARVHelp help(&frame);
    EXPECT_TRUE(help.ShowKeywordTopic());
    EXPECT_EQ(shownTopic(module), QStringLiteral("/Form1.htm"));
}

TEST_F(HelpBridgeTest, EmptyKeywordWithoutActiveWindowShowsNothing) {
    installHelpFile(shippedHelpFile());
    HelpModule module;
    QWidget owner;
    TNARVHelp help(&owner);
    ASSERT_EQ(QApplication::activeWindow(), nullptr);
    EXPECT_FALSE(help.ShowKeywordTopic());
    EXPECT_EQ(module.viewer()->window(), nullptr);
    EXPECT_TRUE(messages.isEmpty());
}

TEST_F(HelpBridgeTest, F1AndContextNumbersShowTheActiveWindowsTopic) {
    installHelpFile(shippedHelpFile());
    HelpModule module;
    QWidget mainWindow;
    mainWindow.setObjectName(QStringLiteral("Form1"));
    mainWindow.setProperty(kHelpContextProperty, 1);
    auto* edit = new QLineEdit(&mainWindow);
    QDialog options;
    options.setObjectName(QStringLiteral("OptionsForm"));
    options.setProperty(kHelpContextProperty, 1);
    auto* optionsEdit = new QLineEdit(&options);

    // Without the bridge's component there is no keyword to work with: nothing happens.
    ASSERT_TRUE(makeActive(&mainWindow));
    pressF1(edit);
    EXPECT_EQ(module.viewer()->window(), nullptr);

    TNARVHelp help(&mainWindow);
    pressF1(edit);
    EXPECT_EQ(shownTopic(module), QStringLiteral("/Form1.htm"));
    EXPECT_TRUE(shownText(module).contains("Main window reference"));

    ASSERT_TRUE(makeActive(&options));
    pressF1(optionsEdit);
    EXPECT_EQ(shownTopic(module), QStringLiteral("/OptionsForm.htm"));

    // While the viewer has the focus, requests still concern the window that asked.
    ASSERT_TRUE(makeActive(module.viewer()->window()));
    showContextHelp(999);
    EXPECT_EQ(shownTopic(module), QStringLiteral("/OptionsForm.htm"));

    ASSERT_TRUE(makeActive(&mainWindow));
    showContextHelp(999);
    EXPECT_EQ(shownTopic(module), QStringLiteral("/Form1.htm"));
    showContextHelp(1000);
    EXPECT_EQ(shownTopic(module), QStringLiteral("/TOPIC1000.htm"));
    showContextHelp(1500);
    EXPECT_EQ(shownTopic(module), QStringLiteral("/TOPIC1500.htm"));
    // A keyword set by the caller wins over the number.
    help.setKeyword(QStringLiteral("console"));
    showContextHelp(1500);
    EXPECT_EQ(shownTopic(module), QStringLiteral("/console.htm"));

    // A window without a help context leaves F1 to its controls.
    QWidget plain;
    auto* plainEdit = new QLineEdit(&plain);
    ASSERT_TRUE(makeActive(&plain));
    pressF1(plainEdit);
    EXPECT_EQ(shownTopic(module), QStringLiteral("/console.htm"));
    EXPECT_TRUE(messages.isEmpty());
}

TEST_F(HelpBridgeTest, ContentsAndIndexRequests) {
    installHelpFile(shippedHelpFile());
    HelpModule module;
    TNARVHelpViewer& viewer = *module.viewer();
    EXPECT_EQ(viewer.viewerName(), QStringLiteral("HtmlHelp"));
    EXPECT_EQ(viewer.helpStrings("Matrix"), QStringList{"HtmlHelp: Matrix"});

    viewer.showTableOfContents();
    ASSERT_NE(viewer.window(), nullptr);
    EXPECT_EQ(viewer.window()->panes()->currentIndex(), 0);
    EXPECT_EQ(viewer.window()->currentTopic(), QStringLiteral("/interface.htm"));

    viewer.showHelp(QStringLiteral("mx_"));
    EXPECT_EQ(viewer.window()->panes()->currentIndex(), 1);
    ASSERT_NE(viewer.window()->indexList()->currentItem(), nullptr);
    EXPECT_EQ(viewer.window()->indexList()->currentItem()->text(), QStringLiteral("mx_cons"));
    emit viewer.window()->indexList()->itemActivated(viewer.window()->indexList()->currentItem());
    EXPECT_EQ(viewer.window()->currentTopic(), QStringLiteral("/console.htm"));
    EXPECT_TRUE(messages.isEmpty());
}

TEST_F(HelpBridgeTest, MissingLibraryIsReportedOnceAndHelpIsLeftAlone) {
    installHelpFile(shippedHelpFile());
    {
        HelpModule module(kMissingLibrary);
        EXPECT_FALSE(module.isLoaded());
        EXPECT_EQ(module.viewer(), nullptr);
        QWidget mainWindow;
        mainWindow.setObjectName(QStringLiteral("Form1"));
        mainWindow.setProperty(kHelpContextProperty, 1);
        auto* edit = new QLineEdit(&mainWindow);
        TNARVHelp help(&mainWindow);
        EXPECT_EQ(messages, QStringList{libraryMessage(kMissingLibrary)});

        help.setKeyword(QStringLiteral("interface"));
        EXPECT_TRUE(help.ShowKeywordTopic());
        ASSERT_TRUE(makeActive(&mainWindow));
        pressF1(edit);
        showContextHelp(1);
        EXPECT_EQ(messages.size(), 1);
    }
    // A library that loads but is not the CHM reader counts as missing.
    EXPECT_FALSE(HelpModule(QStringLiteral("libm.so.6")).isLoaded());

    // Created before any set-up, the component names the library the set-up would load.
    messages.clear();
    QWidget owner;
    TNARVHelp help(&owner);
    EXPECT_EQ(messages, QStringList{libraryMessage("libmspack.so.0")});
}

TEST_F(HelpBridgeTest, OnlyOneComponentAtATime) {
    HelpModule module;
    QWidget owner;
    {
        TNARVHelp first(&owner);
        EXPECT_EQ(TNARVHelp::instance(), &first);
        try {
            TNARVHelp second(&owner);
            FAIL() << "a second component was created";
        } catch (const Error& error) {
            EXPECT_EQ(error.message(),
                      QStringLiteral("More as one instance of NARVHelp are not allowed"));
        }
        EXPECT_EQ(owner.children().size(), 1);
        EXPECT_EQ(TNARVHelp::instance(), &first);
    }
    EXPECT_EQ(TNARVHelp::instance(), nullptr);
    TNARVHelp again(&owner);
    EXPECT_EQ(TNARVHelp::instance(), &again);
}

TEST_F(HelpBridgeTest, MessageBoxesCarryTheProductTitleAndShowEachLine) {
    setHelpMessageFunction({});  // the real message box
    QString title;
    QString text;
    QTimer::singleShot(0, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            title = box->windowTitle();
            text = box->text();
            box->accept();
        }
    });
    showHelpMessage(missingFileMessage("/opt/mx/mxextractor_help.chm"));
    EXPECT_EQ(title, "Moxelby Frame Extractor");
    EXPECT_EQ(text, "Sorry, the HelpFile\n/opt/mx/mxextractor_help.chm\ndoes not exists.");
}

}  // namespace
}  // namespace mx::test
