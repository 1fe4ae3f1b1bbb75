#include "i18n/language_manager.h"
#include "common/file_system_fixtures.h"
#include "common/test_support.h"
#include "i18n/constants_resource.h"
#include "i18n/lang_error.h"
#include "i18n_test_util.h"

#include <gtest/gtest.h>
#include <QDirIterator>

namespace mx {
namespace {

using test::errorOf;
using test::FakeController;
using test::putFile;

std::vector<LangId> languageIds(const TLxLanguageManager& manager) {
    std::vector<LangId> ids;
    for (int i = 0; i < manager.GetLanguageCount(); ++i) {
        ids.push_back(manager.GetLanguageIdAt(i));
    }
    return ids;
}

TEST(LanguageScan, RegistersFilesByTheirHeader) {
    QTemporaryDir dir;
    putFile(dir, "ru_a.lng", test::ansiFile("LANGID=1049\n[Form1]\n1=a\n", 1251));
    putFile(dir, "ru_b.LNG", test::ansiFile("; again\nlangid=1049\n[Form1]\n1=b\n", 1251));
    putFile(dir, "de.lng", test::utf16File("LANGID=1031\n"));
    putFile(dir, "en.lng", "LANGID=1033\n");
    putFile(dir, "none.lng", "[Form1]\nLANGID=1049\n1=late\n");
    putFile(dir, "zero.lng", "LANGID=0\n");
    putFile(dir, "wide.lng", "LANGID=70000\n");  // low 16 bits: 4464
    putFile(dir, "text.lng", "LANGID=abc\n");
    putFile(dir, "readme.txt", "LANGID=1036\n");
    putFile(dir, "nothing.lng", "; no header at all\n[Form1]\n1=x\n");
    // Marks other than FF FE only help find LANGID; the text is then read as 8-bit, so the
    // mark's bytes spoil the first line and a NUL ends a big-endian file at once.
    putFile(dir, "utf8.lng", "\xEF\xBB\xBFLANGID=1036\n");
    putFile(dir, "be.lng", QByteArray("\xFE\xFF\0L\0A\0N\0G\0I\0D\0=\0001\0000\0003\0006", 24));
    putFile(dir, "sub.lng/nested.lng", "LANGID=1040\n");
    putFile(dir, "other/nested.lng", "LANGID=1041\n");

    TLxLanguageManager manager;
    // ru_a, ru_b, de, en, wide; not none, zero, text, readme, nothing, utf8, be, the directory.
    EXPECT_EQ(manager.ScanLanguageFiles(dir.path(), "*.lng", false), 5);

    // The listing order decides which 1049 file wins and where each language stands.
    std::vector<LangId> expected{kBuiltInLanguage};
    QString russianPath;
    QDirIterator listing(dir.path() + "/", {"*.lng"}, QDir::Files | QDir::Hidden);
    while (listing.hasNext()) {
        listing.next();
        const QString name = listing.fileName();
        const LangId id = name.startsWith("ru") ? 1049
                          : name == "de.lng"    ? 1031
                          : name == "wide.lng"  ? 4464
                                                : 0;
        if (name.startsWith("ru")) {
            russianPath = listing.filePath();
        }
        if (id && std::find(expected.begin(), expected.end(), id) == expected.end()) {
            expected.push_back(id);
        }
    }
    EXPECT_EQ(languageIds(manager), expected);
    for (const auto& record : manager.languages()) {
        if (record.language == 1049) {
            EXPECT_EQ(record.path, russianPath) << "the later file supplies the language";
        }
    }
    EXPECT_EQ(manager.GetLanguageNameAt(0), "English (United States)");

    // Recursion enters only directories that match the mask.
    TLxLanguageManager recursive;
    EXPECT_EQ(recursive.ScanLanguageFiles(dir.path() + "/", "*.lng", true), 6);
    const auto ids = languageIds(recursive);
    EXPECT_NE(std::find(ids.begin(), ids.end(), 1040), ids.end());
    EXPECT_EQ(std::find(ids.begin(), ids.end(), 1041), ids.end());
}

TEST(LanguageScan, DirectoriesAndMissingPathsAreNotLanguages) {
    QTemporaryDir dir;
    TLxLanguageManager manager;
    EXPECT_FALSE(manager.AddLanguageFile(dir.filePath("missing.lng")));
    QDir(dir.path()).mkdir("folder.lng");
    EXPECT_FALSE(manager.AddLanguageFile(dir.filePath("folder.lng")));
    // A pipe named like a language file is skipped instead of blocking the scan.
    ASSERT_EQ(test::runProgram("mkfifo", {dir.filePath("pipe.lng")}), 0);
    EXPECT_EQ(manager.ScanLanguageFiles(dir.path(), "*.lng", false), 0);
    EXPECT_EQ(manager.GetLanguageCount(), 1);
    // Choosing the only entry changes nothing.
    FakeController window("Form1");
    manager.AddController(&window);
    manager.SetCurrentLanguage(manager.GetLanguageIdAt(0));
    EXPECT_TRUE(window.events.isEmpty());
}

// A name in bytes that are not UTF-8 (written on an older system) is a language like any other.
TEST(LanguageScan, FileNamedInOtherBytesIsRegisteredAndLoaded) {
    test::NativeTempDir dir;
    ASSERT_TRUE(
        test::writeNativeFile(dir.bytes() + "/deutsch\351.lng", "LANGID=1031\n[Form1]\n1=D\n"));
    TLxLanguageManager manager;
    EXPECT_EQ(manager.ScanLanguageFiles(dir.path(), "*.LNG", false), 1);
    FakeController window("Form1");
    manager.AddController(&window);
    manager.SetCurrentLanguage(1031);
    EXPECT_EQ(window.events, (QStringList{"changing", "apply D", "changed"}));
    manager.RemoveController(&window);
}

TEST(LanguageNames, IndexRangeAndUnknownNames) {
    QTemporaryDir dir;
    TLxLanguageManager manager;
    ASSERT_TRUE(manager.AddLanguageFile(putFile(dir, "ru.lng", "LANGID=1049\n")));
    ASSERT_TRUE(manager.AddLanguageFile(putFile(dir, "x.lng", "LANGID=1024\n")));
    EXPECT_EQ(manager.GetLanguageNameAt(1), "Russian (Russia)");
    EXPECT_EQ(manager.GetLanguageNameAt(2), "1024") << "no name: the decimal identifier";
    EXPECT_EQ(errorOf([&] { manager.GetLanguageNameAt(3); }), "List index out of bounds (3)");
    EXPECT_EQ(errorOf([&] { manager.GetLanguageIdAt(-1); }), "List index out of bounds (-1)");
}

TEST(LanguageSwitch, TranslatesRegisteredWindowsOnlyOnChange) {
    QTemporaryDir dir;
    TLxLanguageManager manager;
    manager.AddLanguageFile(putFile(
        dir, "ru.lng",
        test::ansiFile("LANGID=1049\n[form1]\n1=Выход\n[$CONSTANTS]\nGreeting=Привет\n", 1251)));
    manager.loadConstantsResource(
        QByteArray("\x02\x00\x01\x00\x00\x00\x08\x00GREETING\x02\x00H\0i\0", 22));
    EXPECT_EQ(manager.constantValue(u"greeting"), "Hi");

    FakeController main("Form1");
    FakeController options("OptionsForm");
    manager.AddController(&main);
    manager.AddController(&options);

    manager.SetCurrentLanguage(1049);
    EXPECT_EQ(manager.GetCurrentLanguage(), 1049);
    EXPECT_EQ(manager.codePage(), 1251);
    EXPECT_EQ(main.events, QStringList({"changing", "apply Выход", "changed"}));
    EXPECT_EQ(options.events, QStringList({"changing", "apply built-in", "changed"}));
    EXPECT_EQ(main.lastCodePage, 1251);
    EXPECT_EQ(manager.constantValue(u"Greeting"), "Привет");

    main.events.clear();
    manager.SetCurrentLanguage(1049);
    EXPECT_TRUE(main.events.isEmpty()) << "the current language is not applied again";

    // A new window is brought into the current language.
    FakeController late("Form1");
    manager.TranslateNewController(late);
    EXPECT_EQ(late.events, QStringList({"changing", "apply Выход", "changed"}));

    // An identifier without a file selects the built-in language.
    manager.RemoveController(&options);
    manager.SetCurrentLanguage(1031);
    EXPECT_EQ(manager.GetCurrentLanguage(), kBuiltInLanguage);
    EXPECT_EQ(manager.codePage(), 1252);
    EXPECT_EQ(main.events, QStringList({"changing", "apply built-in", "changed"}));
    EXPECT_EQ(options.events.size(), 3) << "an unregistered window is left alone";
    EXPECT_EQ(manager.constantValue(u"GREETING"), "Hi");

    late.events.clear();
    manager.TranslateNewController(late);
    EXPECT_TRUE(late.events.isEmpty());
}

TEST(LanguageSwitch, FileFailingOnlyWhenSelectedChangesNothing) {
    QTemporaryDir dir;
    TLxLanguageManager manager;
    const QString bad = putFile(dir, "bad.lng", "LANGID=1049\n[$CONSTANTS]\nno good=1\n");
    EXPECT_TRUE(manager.AddLanguageFile(bad)) << "the header alone is fine";
    FakeController window("Form1");
    manager.AddController(&window);
    EXPECT_EQ(errorOf([&] { manager.SetCurrentLanguage(1049); }),
              "Loading translations failed.\r\nLine 2: Invalid constant name (\"no good\")");
    EXPECT_EQ(manager.GetCurrentLanguage(), kBuiltInLanguage);
    EXPECT_TRUE(window.events.isEmpty());

    // A good file selected; then the file becomes unreadable (root ignores permissions, so a
    // directory takes its place) and choosing the same language again reports it.
    putFile(dir, "bad.lng", "LANGID=1049\n[Form1]\n1=ok\n");
    manager.SetCurrentLanguage(1049);
    ASSERT_TRUE(QFile::remove(bad));
    ASSERT_TRUE(QDir(dir.path()).mkdir("bad.lng"));
    window.events.clear();
    EXPECT_TRUE(errorOf([&] { manager.SetCurrentLanguage(1049); }).startsWith("Cannot open file"));
    EXPECT_EQ(manager.GetCurrentLanguage(), 1049);
    EXPECT_TRUE(window.events.isEmpty());
}

TEST(LanguageSwitch, ChangedFiresAfterAFailedApply) {
    QTemporaryDir dir;
    TLxLanguageManager manager;
    manager.AddLanguageFile(putFile(dir, "ru.lng", "LANGID=1049\n"));
    FakeController first("Form1");
    FakeController second("OptionsForm");
    first.onApply = [] { throw Error("cannot set"); };
    manager.AddController(&first);
    manager.AddController(&second);
    EXPECT_EQ(errorOf([&] { manager.SetCurrentLanguage(1049); }), "cannot set");
    EXPECT_EQ(first.events, QStringList({"changing", "apply built-in", "changed"}));
    EXPECT_EQ(manager.GetCurrentLanguage(), 1049) << "the language was already switched";

    // A window may unregister another from its event while the windows are walked.
    first.onApply = [&] { manager.RemoveController(&second); };
    second.events.clear();
    manager.SetCurrentLanguage(kBuiltInLanguage);
    EXPECT_TRUE(second.events.isEmpty());
}

TEST(ConstantsResource, ReadsAllVersionsAndRejectsDamage) {
    const QByteArray v0("\x00\x01\x00\x00\x00\x01\x00K\x02\x00\xE4\xF6", 12);
    auto constants = readConstantsResource(v0, 1252);
    ASSERT_EQ(constants.size(), 1u);
    EXPECT_EQ(constants[0], std::make_pair(QString("K"), QString("äö")));
    const QByteArray v1("\x01\x01\x00\x00\x00\x01\x00K\x01\x00\xC4", 11);
    EXPECT_EQ(readConstantsResource(v1, 1251)[0].second, "Д");
    const QByteArray v2(
        "\x02\x07\x02\x00\x00\x00\x01\x00"
        "A\x01\x00\x14\x04\x01\x00"
        "B\x00\x00",
        18);
    constants = readConstantsResource(v2, 1252);
    ASSERT_EQ(constants.size(), 2u);
    EXPECT_EQ(constants[0].second, "Д");
    EXPECT_EQ(constants[1], std::make_pair(QString("B"), QString()));

    EXPECT_EQ(errorOf([] { readConstantsResource(QByteArray("\x03", 1), 1252); }),
              "Stream version (3) is greater than the current one (2)");
    for (qsizetype cut = 0; cut < v2.size(); ++cut) {
        EXPECT_TRUE(errorOf([&] {
                        readConstantsResource(v2.first(cut), 1252);
                    }).startsWith("The constants resource is truncated"))
            << cut;
    }
    const QByteArray hugeCount("\x01\xFF\xFF\xFF\xFF\x00\x00", 7);
    EXPECT_FALSE(errorOf([&] { readConstantsResource(hugeCount, 1252); }).isEmpty());
}

TEST(CodePages, LanguagesMapToTheirWindowsCodePage) {
    EXPECT_EQ(ansiCodePageOf(1049), 1251);
    EXPECT_EQ(ansiCodePageOf(1031), 1252);
    EXPECT_EQ(ansiCodePageOf(1033), 1252);
    EXPECT_EQ(ansiCodePageOf(0x0405), 1250);  // Czech
    EXPECT_EQ(ansiCodePageOf(0x041F), 1254);  // Turkish
    EXPECT_EQ(ansiCodePageOf(0x0411), 932);
    EXPECT_EQ(ansiCodePageOf(0x0804), 936);
    EXPECT_EQ(ansiCodePageOf(0x0404), 950);                   // Chinese, Taiwan
    EXPECT_EQ(ansiCodePageOf(0x081A), 1250);                  // Serbian, Latin
    EXPECT_EQ(ansiCodePageOf(0x0C1A), 1251);                  // Serbian, Cyrillic
    EXPECT_EQ(ansiCodePageOf(0x0439), systemAnsiCodePage());  // Hindi has none
    for (int codePage :
         {874, 932, 936, 949, 950, 1250, 1251, 1252, 1253, 1254, 1255, 1256, 1257, 1258}) {
        EXPECT_EQ(decodeAnsi(encodeAnsi(u"Az09", codePage), codePage), "Az09") << codePage;
    }
    EXPECT_EQ(encodeAnsi(u"Выход", 1251), QByteArray("\xC2\xFB\xF5\xEE\xE4"));
    EXPECT_EQ(decodeAnsi("\x83\x65\x83\x58\x83\x67", 932), "テスト");
}

}  // namespace
}  // namespace mx
