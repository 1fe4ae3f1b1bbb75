#include <gtest/gtest.h>

#include <QElapsedTimer>

#include "help/sitemap.h"

namespace mx {
namespace {

TEST(Sitemap, NestedListsBecomeNestedEntries) {
    const QByteArray html = R"(<HTML><BODY>
<OBJECT type="text/site properties"><param name="Window Styles" value="0x800025"></OBJECT>
<UL>
  <LI><OBJECT type="text/sitemap"><param name="Name" value="Start"><param name="Local" value="a.htm"></OBJECT>
  <LI><object TYPE='text/sitemap'><PARAM NAME=Name VALUE=Options><PARAM name="Local" value="b.htm#x"></object>
  <UL>
    <LI><OBJECT type="text/sitemap"><param name="Name" value="Fish &amp; chips"><param name="Local" value="c.htm"></OBJECT>
  </UL>
  <LI><OBJECT type="text/sitemap"><param name="Name" value="Last"></OBJECT>
</UL></BODY></HTML>)";
    const std::vector<SitemapEntry> entries = parseSitemap(html);
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[0].name, "Start");
    EXPECT_EQ(entries[0].local, "a.htm");
    EXPECT_EQ(entries[1].name, "Options");
    EXPECT_EQ(entries[1].local, "b.htm#x");
    ASSERT_EQ(entries[1].children.size(), 1u);
    EXPECT_EQ(entries[1].children[0].name, "Fish & chips");
    EXPECT_EQ(entries[2].name, "Last");
    EXPECT_TRUE(entries[2].local.isEmpty());
}

TEST(Sitemap, BrokenMarkupGivesWhatCanBeRead) {
    EXPECT_TRUE(parseSitemap("").empty());
    EXPECT_TRUE(parseSitemap("not html at all \xff\xfe").empty());
    // Unbalanced lists and an object that never closes.
    const std::vector<SitemapEntry> entries = parseSitemap(
        R"(</UL></UL><UL><LI><OBJECT type="text/sitemap"><param name="Name" value="One"></OBJECT>)"
        R"(<UL><UL><LI><OBJECT type="text/sitemap"><param name="Name" value="Two">)");
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].name, "One");
    EXPECT_TRUE(entries[0].children.empty());
}

// Markup a damaged help file may hold: a tag opened again and again and never closed made
// the tag search rescan the rest of the text from every "<" (minutes for a few hundred KB).
// Each part of the text is now looked at a bounded number of times.
TEST(Sitemap, LargeAndUnclosedMarkupParsesInLinearTime) {
    QByteArray unclosed;
    for (int i = 0; i < 200000; ++i) {
        unclosed += "<a ";
    }
    QByteArray many = "<UL>";
    for (int i = 0; i < 20000; ++i) {
        many += "<LI><OBJECT type=\"text/sitemap\"><param name=\"Name\" value=\"e" +
                QByteArray::number(i) + "\"><param name=\"Local\" value=\"p.htm\"></OBJECT>";
    }
    many += "</UL>";
    QElapsedTimer timer;
    timer.start();
    EXPECT_TRUE(parseSitemap(unclosed).empty());
    EXPECT_TRUE(
        parseSitemap("<UL><LI><OBJECT type=\"text/sitemap\"><param name=\"Name\" value=\"x\"" +
                     unclosed)
            .empty());
    const std::vector<SitemapEntry> entries = parseSitemap(many);
    ASSERT_EQ(entries.size(), 20000u);
    EXPECT_EQ(entries.back().name, "e19999");
    EXPECT_LT(timer.elapsed(), 10000) << "ms";
    // A tag whose name follows blanks and a slash, and text between "<" signs, as before.
    const std::vector<SitemapEntry> odd = parseSitemap(
        "< ul >< < OBJECT type=text/sitemap><param name=Name value=a>< / object >< /ul>");
    ASSERT_EQ(odd.size(), 1u);
    EXPECT_EQ(odd[0].name, "a");
}

}  // namespace
}  // namespace mx
