#include "i18n/lang_data.h"
#include "i18n/lang_error.h"

#include <gtest/gtest.h>

#include <random>

namespace mx {
namespace {

// Little-endian builders for hand-made data.
QByteArray u16(int v) {
    return QByteArray(1, char(v & 0xFF)) + char((v >> 8) & 0xFF);
}
QByteArray u32(unsigned v) {
    return u16(v & 0xFFFF) + u16(v >> 16);
}
QByteArray text(const QByteArray& s) {
    return u16(s.size()) + s;
}

TEST(LangDataCodec, KeepsTheTreeAndSortsProperties) {
    // Root "Form1" with entries given out of order and one path repeated in another case.
    const QByteArray bytes = text("Form1") + '\1' + u32(3) + u32(23) + text("HelpKeyword") +
                             u32(1) + text("Caption") + u32(99) + text("CAPTION") + '\1' + u32(2) +
                             text("spl1") + '\0' + '\0' + text("FileList") + '\1' + u32(2) +
                             u32(11) + text("Columns[1].Caption") + u32(10) +
                             text("Columns[0].Caption") + '\0';
    const auto root = readLangData(bytes);
    EXPECT_EQ(root->name(), "Form1");
    ASSERT_TRUE(root->properties);
    const auto& entries = root->properties->items();
    ASSERT_EQ(entries.size(), 2u) << "the repeated path is dropped";
    EXPECT_EQ(entries[0].path, "Caption");
    EXPECT_EQ(entries[0].id, 1) << "the first ID stays";
    EXPECT_EQ(entries[1].path, "HelpKeyword");
    EXPECT_EQ(root->properties->find(u"helpkeyword")->id, 23);
    ASSERT_TRUE(root->children);
    ASSERT_EQ(root->children->size(), 2u);
    const auto& spl1 = *(*root->children)[0];
    EXPECT_EQ(spl1.name(), "spl1");
    EXPECT_FALSE(spl1.properties);
    EXPECT_FALSE(spl1.children);
    EXPECT_EQ(spl1.parent, root.get());
    const auto& list = *(*root->children)[1];
    EXPECT_EQ(list.nodePath(), "FileList");
    EXPECT_EQ(list.properties->items()[0].path, "Columns[0].Caption");

    // Written back: sorted entries, and reading that gives the same bytes again.
    const QByteArray written = writeLangData(*root);
    EXPECT_TRUE(written.startsWith(text("Form1") + '\1' + u32(2) + u32(1) + text("Caption") +
                                   u32(23) + text("HelpKeyword")));
    EXPECT_EQ(writeLangData(*readLangData(written)), written);
    EXPECT_FALSE(readLangData(QByteArray())->children) << "no data, no nodes";
}

TEST(LangDataCodec, DamagedDataFailsCleanly) {
    const QByteArray good = text("Form1") + '\1' + u32(1) + u32(1) + text("Caption") + '\1' +
                            u32(1) + text("BtnExit") + '\1' + u32(1) + u32(2) + text("Caption") +
                            '\0';
    ASSERT_NO_THROW(readLangData(good));
    for (qsizetype cut = 1; cut < good.size(); ++cut) {
        EXPECT_THROW(readLangData(good.first(cut)), ELxLangError) << cut;
    }
    EXPECT_THROW(readLangData(good + '\0'), ELxLangError) << "bytes after the root";
    EXPECT_THROW(readLangData(text("F") + '\1' + u32(0xFFFFFFFF)), ELxLangError);
    EXPECT_THROW(readLangData(text("F") + '\0' + '\1' + u32(0x40000000)), ELxLangError);

    // A chain of nested nodes deeper than any window is refused rather than recursed into.
    QByteArray deep;
    for (int i = 0; i <= kMaxLangDataDepth + 1; ++i) {
        deep += text("n") + '\0' + '\1' + u32(1);
    }
    EXPECT_THROW(readLangData(deep), ELxLangError);

    try {
        readLangData(good.first(10));
    } catch (const ELxLangError& error) {
        EXPECT_EQ(error.message(), "Translation data is truncated or damaged (at byte 8)");
    }

    // Random bytes either read or fail with the codec's error; nothing else happens.
    std::mt19937 random(7);
    for (int round = 0; round < 2000; ++round) {
        QByteArray noise = good;
        for (int flips = 0; flips < 3; ++flips) {
            noise[random() % noise.size()] = char(random());
        }
        try {
            readLangData(noise);
        } catch (const ELxLangError&) {
        }
    }
}

}  // namespace
}  // namespace mx
