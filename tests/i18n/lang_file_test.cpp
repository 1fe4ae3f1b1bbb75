#include "i18n/lang_error.h"
#include "i18n/lang_file_reader.h"
#include "i18n_test_util.h"

#include <gtest/gtest.h>

namespace mx {
namespace {

TLxLang_CompTranslations parse(const QString& text,
                               LangFileReadMode mode = LangFileReadMode::Full) {
    TLxLang_CompTranslations result;
    parseLanguageText(text, mode, result);
    return result;
}

QString value(const TLxLang_CompTranslations& t, const QString& section, int id) {
    const auto* s = t.findSection(section);
    const QString* v = s ? s->find(id) : nullptr;
    return v ? *v : QStringLiteral("<none>");
}

// Returns the message of the ELxLangError the text raises, or "" when it loads.
QString loadError(const QString& text) {
    try {
        parse(text);
    } catch (const ELxLangError& error) {
        return error.message();
    }
    return {};
}

TEST(LanguageFileText, EscapesDecodeAsWritten) {
    EXPECT_EQ(decodeLangEscapes(uR"(First\nSecond)"), "First\r\nSecond");
    EXPECT_EQ(decodeLangEscapes(uR"(C:\\Temp)"), R"(C:\Temp)");
    EXPECT_EQ(decodeLangEscapes(uR"(\32lead)"), " lead");
    EXPECT_EQ(decodeLangEscapes(uR"(a\tb)"), "a\tb");
    EXPECT_EQ(decodeLangEscapes(uR"(\99)"), QString(QChar(99)));
    // A backslash with one digit, an unknown letter, upper-case N or at the end stays itself.
    EXPECT_EQ(decodeLangEscapes(uR"(\7x)"), R"(\7x)");
    EXPECT_EQ(decodeLangEscapes(uR"(\q\N)"), R"(\q\N)");
    EXPECT_EQ(decodeLangEscapes(uR"(end\)"), R"(end\)");
    EXPECT_EQ(decodeLangEscapes(uR"(\\n)"), R"(\n)");
}

TEST(LanguageFileText, LineRulesKeysAndSections) {
    const auto t =
        parse(QStringLiteral("  LANGID = 1049 \r\n"
                             "Extra=raw\\n\n"
                             "; comment=1\n"
                             "[]\n"
                             "[x\n"
                             "[ Form1 ]\n"
                             "00000012 = Start \n"
                             "7=a=b\n"
                             "0=zero\n"
                             "-3=negative\n"
                             "abc=letters\n"
                             "=no key\n"
                             "no equals sign\n"
                             "13=\n"
                             "[OptionsForm]\n"
                             "1=Options\n"
                             "[form1]\n"
                             "2=continued\n"));
    EXPECT_EQ(t.headerValue(u"langid"), "1049");
    EXPECT_EQ(t.headerValue(u"EXTRA"), "raw\\n") << "header values are not unescaped";
    ASSERT_EQ(t.sections().size(), 2u) << "[form1] continues [Form1]; [] and [x are not headers";
    EXPECT_EQ(t.sections()[0]->name(), "Form1");
    EXPECT_EQ(value(t, "Form1", 12), "Start");
    EXPECT_EQ(value(t, "FORM1", 7), "a=b");
    EXPECT_EQ(value(t, "Form1", 2), "continued");
    EXPECT_EQ(value(t, "Form1", 13), "");
    EXPECT_EQ(t.sections()[0]->values().size(), 4u) << "0, -3 and abc are ignored";
    EXPECT_EQ(value(t, "OptionsForm", 1), "Options");
}

TEST(LanguageFileText, LineBreaksAndNul) {
    const QString text = QStringLiteral("LANGID=1031\r[Form1]\r1=cr") + QChar(0x2028) +
                         QStringLiteral("2=ls\r\n3=crlf\n4=lf");
    const auto t = parse(text);
    EXPECT_EQ(value(t, "Form1", 1), "cr");
    EXPECT_EQ(value(t, "Form1", 2), "ls");
    EXPECT_EQ(value(t, "Form1", 3), "crlf");
    EXPECT_EQ(value(t, "Form1", 4), "lf");

    QByteArray withNul = test::utf16File(QStringLiteral("LANGID=1031\n[Form1]\n1=before"));
    withNul.append("\0\0", 2);
    withNul.append(test::utf16File("\n2=after").mid(2));
    const auto cut = parse(decodeLanguageFile(withNul));
    EXPECT_EQ(value(cut, "Form1", 1), "before");
    EXPECT_EQ(value(cut, "Form1", 2), "<none>") << "a NUL ends the text";
}

TEST(LanguageFileText, HeaderOnlyStopsAtFirstSection) {
    const auto t =
        parse(QStringLiteral("A=1\n[Form1]\nLANGID=1049\n1=x\n"), LangFileReadMode::HeaderOnly);
    EXPECT_EQ(t.headerValue(u"A"), "1");
    EXPECT_EQ(t.headerValue(u"LANGID"), "");
    EXPECT_TRUE(t.sections().empty());

    const auto removed =
        parse(QStringLiteral("LANGID=1049\nLANGID=\n"), LangFileReadMode::HeaderOnly);
    EXPECT_EQ(removed.headerValue(u"LANGID"), "") << "an empty value removes the key";
}

TEST(LanguageFileText, ErrorsNameTheZeroBasedLine) {
    EXPECT_EQ(loadError("LANGID=1049\n[$constants]\n1abc=x\n"),
              "Loading translations failed.\r\nLine 2: Invalid constant name (\"1abc\")");
    EXPECT_EQ(loadError("LANGID=1049\n[$CONSTANTS]\nName=x\n\nNAME=y\n"),
              "Loading translations failed.\r\nLine 4: Duplicate constant name (\"NAME\")");
    EXPECT_EQ(loadError("LANGID=1049\n[Form1]\n5=a\n[Other]\n5=fine\n; c\n[Form1]\n005=b\n"),
              "Loading translations failed.\r\nLine 7: Duplicate property value translation ID "
              "(5)");
    EXPECT_EQ(loadError("[$CONSTANTS]\n_ok9=a\\tb\n"), "");
    const auto t = parse("[$CONSTANTS]\n_ok9=a\\tb\n");
    ASSERT_NE(t.constants().find(u"_OK9"), nullptr);
    EXPECT_EQ(t.constants().find(u"_OK9")->value, "a\tb");
}

TEST(LanguageFileDecoding, EightBitFilesUseTheDeclaredLanguagesCodePage) {
    const QString russian = QStringLiteral("LANGID=1049\n[Form1]\n1=Выход\n");
    EXPECT_EQ(decodeLanguageFile(test::ansiFile(russian, 1251)), russian);
    // The declaration may stand anywhere, even after the first section.
    const QString late = QStringLiteral("[Form1]\n1=Выход\nLANGID=1049\n");
    EXPECT_EQ(decodeLanguageFile(test::ansiFile(late, 1251)), late);
    // Without LANGID the file is read as 1033's code page, 1252.
    EXPECT_EQ(decodeLanguageFile(test::ansiFile("[Form1]\n1=Grüße\n", 1252)), "[Form1]\n1=Grüße\n");
    EXPECT_EQ(decodeLanguageFile(test::utf16File("LANGID=1031\n1=Grüße")), "LANGID=1031\n1=Grüße");
}

TEST(LanguageFileDecoding, MarksOnlyHelpFindTheLanguage) {
    // A UTF-8 mark: LANGID is found, then the bytes are read again as windows-1251.
    const QByteArray utf8 = QByteArray("\xEF\xBB\xBF") +
                            QStringLiteral("; x\nLANGID=1049\n[Form1]\n1=Выход\n").toUtf8();
    const QString text = decodeLanguageFile(utf8);
    EXPECT_TRUE(text.startsWith(decodeAnsi("\xEF\xBB\xBF", 1251)));
    EXPECT_EQ(parse(text).findSection(u"Form1")->find(1)->size(), 10) << "UTF-8 bytes seen as 1251";

    // A big-endian mark: the 8-bit reading meets a NUL at once.
    QByteArray be("\xFE\xFF", 2);
    for (QChar c : QStringLiteral("LANGID=1049\n")) {
        be.append(static_cast<char>(c.unicode() >> 8));
        be.append(static_cast<char>(c.unicode() & 0xFF));
    }
    EXPECT_EQ(decodeLanguageFile(be), decodeAnsi("\xFE\xFF", 1251));
}

}  // namespace
}  // namespace mx
