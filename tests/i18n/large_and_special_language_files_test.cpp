#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <QElapsedTimer>

#include "common/special_files.h"
#include "core/error.h"
#include "i18n/lang_error.h"
#include "i18n/lang_file_reader.h"
#include "i18n_test_util.h"

namespace mx {
namespace {

using test::errorOf;
using test::putFile;

// A file of `size` bytes that starts with `head` and is a hole after it: no disk space, but
// reading it whole would take gigabytes of memory.
QString sparseFile(const QTemporaryDir& dir, const QString& name, const QByteArray& head,
                   off_t size) {
    const QString path = putFile(dir, name, head);
    EXPECT_EQ(::truncate(path.toLocal8Bit().constData(), size), 0);
    return path;
}

TEST(LanguageFileSpecialFiles, FifosAndDevicesAreNeverRead) {
    QTemporaryDir dir;
    putFile(dir, "de.lng", "LANGID=1031\n[Form1]\n1=Datei\n");
    const QString fifo = dir.filePath("ru.lng");
    ASSERT_TRUE(test::makeFifo(fifo));
    ASSERT_EQ(::symlink("/dev/zero", dir.filePath("zero.lng").toLocal8Bit().constData()), 0);

    TLxLang_CompTranslations target;
    EXPECT_TRUE(test::finishesWithin(
        [&] {
            EXPECT_EQ(errorOf([&] { readLanguageFile(fifo, LangFileReadMode::Full, target); }),
                      "Cannot open file \"" + fifo + "\". Not a regular file");
            TLxLanguageManager manager;
            EXPECT_EQ(manager.ScanLanguageFiles(dir.path(), "*.lng", false), 1);
            EXPECT_EQ(manager.GetLanguageCount(), 2);
        },
        fifo));
    EXPECT_EQ(errorOf([&] { readLanguageFile("/dev/zero", LangFileReadMode::HeaderOnly, target); }),
              "Cannot open file \"/dev/zero\". Not a regular file");
}

// IDs and names in descending order were each inserted at the front of a sorted array: 118 s
// for 200,000 IDs, 40 s for 50,000 IDs and constants. The load is now n log n: about a second
// for this file, a minute at most under the sanitizers on a busy machine.
TEST(LanguageFileSize, LargeFilesInAnyOrderLoadInLinearTime) {
    constexpr int kCount = 100000;
    QByteArray text = "LANGID=1031\r\n[$CONSTANTS]\r\n";
    for (int i = kCount; i > 0; --i) {
        text += "C" + QByteArray::number(i) + "=c" + QByteArray::number(i) + "\r\n";
    }
    text += "[Form1]\r\n";
    for (int i = kCount; i > 0; --i) {
        text += QByteArray::number(i) + "=v" + QByteArray::number(i) + "\r\n";
    }
    // Many sections and header names, each looked up by name as it is added.
    QByteArray sections;
    QByteArray header;
    for (int i = 0; i < 20000; ++i) {
        header += "Key" + QByteArray::number(i) + "=x\r\n";
        sections += "[S" + QByteArray::number(i) + "]\r\n1=s\r\n";
    }
    QTemporaryDir dir;
    const QString path = putFile(dir, "big.lng", header + text + sections);

    QElapsedTimer timer;
    timer.start();
    TLxLang_CompTranslations target;
    readLanguageFile(path, LangFileReadMode::Full, target);
    const qint64 elapsed = timer.elapsed();
    EXPECT_LT(elapsed, 60000) << "ms";
    std::printf("[ measured ] 100,000 constants and IDs descending, 20,000 sections: %lld ms\n",
                static_cast<long long>(elapsed));

    ASSERT_EQ(target.sections().size(), 20001u);
    const TLxLang_CompTranslation* form = target.findSection(u"form1");
    ASSERT_NE(form, nullptr);
    EXPECT_EQ(form->values().size(), size_t(kCount));
    EXPECT_EQ(*form->find(1), "v1");
    EXPECT_EQ(*form->find(kCount), "v" + QString::number(kCount));
    EXPECT_EQ(form->find(kCount + 1), nullptr);
    EXPECT_EQ(target.constants().find(u"c77")->value, "c77");
    EXPECT_EQ(target.findSection(u"s19999")->find(1)->toStdString(), "s");
    EXPECT_EQ(target.headerValue(u"KEY123"), "x");
    EXPECT_EQ(target.headerValue(u"langid"), "1031");

    // Duplicates are still found, whatever the order.
    putFile(dir, "dup.lng", "[Form1]\n5=a\n3=b\n5=c\n");
    EXPECT_TRUE(errorOf([&] {
                    readLanguageFile(dir.filePath("dup.lng"), LangFileReadMode::Full, target);
                }).contains("Duplicate property value translation ID (5)"));
    putFile(dir, "dupc.lng", "[$Constants]\nB=1\nA=2\nb=3\n");
    EXPECT_TRUE(errorOf([&] {
                    readLanguageFile(dir.filePath("dupc.lng"), LangFileReadMode::Full, target);
                }).contains("Duplicate constant name (\"b\")"));
    // A header name given an empty value is gone, and can come back.
    putFile(dir, "header.lng", "A=1\nB=2\nA=\nC=3\nA=4\n");
    readLanguageFile(dir.filePath("header.lng"), LangFileReadMode::HeaderOnly, target);
    EXPECT_EQ(target.headerValues(),
              (std::vector<std::pair<QString, QString>>{{"B", "2"}, {"C", "3"}, {"A", "4"}}));
}

// The start-up scan needs the header only: a file of gigabytes (a hole here) registers at once
// without being read, and the full load of a file too large for any language refuses it
// instead of wrapping its size.
TEST(LanguageFileSize, ScanReadsOnlyTheHeaderAndHugeFilesAreRefused) {
    QTemporaryDir dir;
    constexpr off_t kHuge = off_t(6) << 30;
    const QString withSection =
        sparseFile(dir, "a.lng", "; comment\r\nLANGID=1031\r\n[Form1]\r\n1=Datei\r\n", kHuge);
    // Without a section the header ends at the first NUL of the hole.
    sparseFile(dir, "b.lng", "LANGID=1049\r\n", kHuge);
    // Header lines past the first read are still found.
    QByteArray longHeader;
    for (int i = 0; i < 5000; ++i) {
        longHeader += "; filler line " + QByteArray::number(i) + "\r\n";
    }
    putFile(dir, "c.lng", longHeader + "LANGID=1036\r\n[Form1]\r\n1=Fichier\r\n");
    putFile(dir, "d.lng", test::utf16File(longHeader + "LANGID=1040\r\n[Form1]\r\n1=File\r\n"));

    QElapsedTimer timer;
    timer.start();
    TLxLanguageManager manager;
    EXPECT_EQ(manager.ScanLanguageFiles(dir.path(), "*.lng", false), 4);
    EXPECT_LT(timer.elapsed(), 5000) << "ms";
    std::vector<LangId> ids;
    for (const auto& record : manager.languages()) {
        ids.push_back(record.language);
    }
    std::sort(ids.begin(), ids.end());
    EXPECT_EQ(ids, (std::vector<LangId>{1031, 1036, 1040, 1049}));

    TLxLang_CompTranslations target;
    EXPECT_EQ(errorOf([&] { readLanguageFile(withSection, LangFileReadMode::Full, target); }),
              "Cannot read file \"" + withSection + "\". File too large");
    // A header without a section or NUL in it is not read past that size either.
    const QString endless = putFile(dir, "e.lng", QByteArray(70 << 20, 'x'));
    EXPECT_EQ(errorOf([&] { readLanguageFile(endless, LangFileReadMode::HeaderOnly, target); }),
              "Cannot read file \"" + endless + "\". File too large");
    // The scan skips it like a file without LANGID and registers the others all the same.
    TLxLanguageManager again;
    EXPECT_EQ(again.ScanLanguageFiles(dir.path(), "*.lng", false), 4);

    // Decoding converts in pieces: characters split across piece boundaries come out whole.
    QByteArray shiftJis = "a";
    QString expected = "a";
    for (int i = 0; i < 1600000; ++i) {
        shiftJis += "\x82\xA0";  // HIRAGANA LETTER A
        expected += QChar(0x3042);
    }
    EXPECT_EQ(decodeAnsi(shiftJis, 932), expected);
}

}  // namespace
}  // namespace mx
