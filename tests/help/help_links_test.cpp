#include <QLineEdit>
#include <QListWidget>
#include <QTabWidget>
#include <QTest>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextDocument>
#include <QTreeWidget>

#include "help/help_window.h"
#include "help_fixture.h"

namespace mx::test {
namespace {

// Where a link of the page on display can be clicked, in the browser's viewport; scrolls it into
// view first. Null when the page has no such link.
QPoint linkPoint(QTextBrowser* browser, const QString& href) {
    QTextDocument* document = browser->document();
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            if (fragment.charFormat().isAnchor() && fragment.charFormat().anchorHref() == href) {
                QTextCursor cursor(document);
                cursor.setPosition(fragment.position() + fragment.length() / 2);
                browser->setTextCursor(cursor);
                browser->ensureCursorVisible();
                return browser->cursorRect(cursor).center();
            }
        }
    }
    return {};
}

void clickLink(QTextBrowser* browser, const QString& href) {
    const QPoint at = linkPoint(browser, href);
    ASSERT_FALSE(at.isNull()) << "no link to " << href.toStdString();
    QTest::mouseClick(browser->viewport(), Qt::LeftButton, Qt::NoModifier, at);
}

class HelpLinksTest : public HelpTest {
protected:
    void SetUp() override {
        HelpTest::SetUp();
        installHelpFile(shippedHelpFile());
        ChmBrowser::setExternalLinkOpener([this](const QUrl& url) { external << url; });
        module = std::make_unique<HelpModule>();
        ASSERT_TRUE(module->isLoaded()) << "the CHM library is needed for these tests";
        module->viewer()->showTableOfContents();
        window = module->viewer()->window();
        ASSERT_NE(window, nullptr);
        window->resize(900, 700);
        ASSERT_TRUE(makeActive(window));
    }
    void TearDown() override {
        module.reset();
        ChmBrowser::setExternalLinkOpener({});
        HelpTest::TearDown();
    }

    std::unique_ptr<HelpModule> module;
    HelpWindow* window = nullptr;
    QList<QUrl> external;
};

TEST_F(HelpLinksTest, ClickedLinksOpenTopicsOfTheFileAndWebLinksGoToTheDesktop) {
    ChmBrowser* browser = window->browser();
    ASSERT_EQ(window->currentTopic(), "/interface.htm");

    clickLink(browser, "OptionsForm.htm");
    EXPECT_EQ(window->currentTopic(), "/OptionsForm.htm");
    EXPECT_TRUE(browser->toPlainText().contains("Picture Format"));
    // A link with a fragment opens the page at its anchor.
    window->showTopic("interface.htm");
    clickLink(browser, "run.htm#abort");
    EXPECT_EQ(window->currentTopic(), "/run.htm");
    EXPECT_EQ(browser->source().fragment(), "abort");
    window->showTopic("interface.htm");
    clickLink(browser, "http://www.moxelby.example");
    EXPECT_EQ(window->currentTopic(), "/interface.htm");
    EXPECT_EQ(external, QList<QUrl>{QUrl("http://www.moxelby.example")});

    // The link forms help authors write for topics of a help file stay in the viewer.
    browser->followLink(QUrl("ms-its:mxextractor_help.chm::/console.htm"));
    EXPECT_EQ(window->currentTopic(), "/console.htm");
    browser->followLink(QUrl("mk:@MSITStore:mxextractor_help.chm::/setup.htm"));
    EXPECT_EQ(window->currentTopic(), "/setup.htm");
    browser->followLink(QUrl("chm:/joblist.htm#folder"));
    EXPECT_EQ(window->currentTopic(), "/joblist.htm");
    EXPECT_EQ(external.size(), 1);
    EXPECT_TRUE(messages.isEmpty()) << messages.join('|').toStdString();
}

TEST_F(HelpLinksTest, KeysWalkLinksPanesAndHistory) {
    ChmBrowser* browser = window->browser();
    browser->setFocus();
    // Tab reaches the first link of the page, Enter follows it.
    QTest::keyClick(browser, Qt::Key_Tab);
    QTest::keyClick(browser, Qt::Key_Return);
    EXPECT_EQ(window->currentTopic(), "/joblist.htm");
    QTest::keyClick(window, Qt::Key_Left, Qt::AltModifier);
    EXPECT_EQ(window->currentTopic(), "/interface.htm");
    QTest::keyClick(window, Qt::Key_Right, Qt::AltModifier);
    EXPECT_EQ(window->currentTopic(), "/joblist.htm");

    // Alt+N: the index with the focus in its filter; typing selects, Enter opens.
    QTest::keyClick(window, Qt::Key_N, Qt::AltModifier);
    EXPECT_EQ(window->panes()->currentIndex(), 1);
    EXPECT_TRUE(window->indexFilter()->hasFocus());
    QTest::keyClicks(window->indexFilter(), "stopping");
    QTest::keyClick(window->indexFilter(), Qt::Key_Return);
    EXPECT_EQ(window->currentTopic(), "/run.htm");
    // The arrows in the filter move through the index: the entry after "Stopping a run".
    QTest::keyClick(window->indexFilter(), Qt::Key_Down);
    ASSERT_NE(window->indexList()->currentItem(), nullptr);
    EXPECT_EQ(window->indexList()->currentItem()->text(), "Textout on frame");
    EXPECT_TRUE(window->indexFilter()->hasFocus());

    // Alt+C: the contents; the arrows move and Enter opens the entry.
    QTest::keyClick(window, Qt::Key_C, Qt::AltModifier);
    EXPECT_EQ(window->panes()->currentIndex(), 0);
    QTreeWidget* contents = window->contentsTree();
    EXPECT_TRUE(contents->hasFocus());
    contents->setCurrentItem(contents->topLevelItem(0));
    QTest::keyClick(contents, Qt::Key_Down);
    QTest::keyClick(contents, Qt::Key_Return);
    EXPECT_EQ(window->currentTopic(), "/Form1.htm");

    // Esc closes the viewer.
    QTest::keyClick(window, Qt::Key_Escape);
    EXPECT_FALSE(window->isVisible());
    EXPECT_TRUE(external.isEmpty());
}

}  // namespace
}  // namespace mx::test
