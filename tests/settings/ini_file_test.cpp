#include <gtest/gtest.h>
#include <sys/resource.h>

#include <QDir>
#include <QTemporaryDir>
#include <csignal>

#include "common/test_support.h"
#include "core/error.h"
#include "core/native_path.h"
#include "joblist/qt_printers.h"
#include "settings/ini_file.h"

namespace mx {
namespace {

using test::readFile;
using test::writeFile;

TEST(IniFile, ReadsLikeTheProfileRoutines) {
    QTemporaryDir dir;
    const QString path = dir.filePath("a.ini");
    ASSERT_TRUE(writeFile(path,
                          "\xEF\xBB\xBF[Options]\r\n"
                          "orphan=0\n"
                          "  JpgTrackBar =  42  \r\n"
                          "; pathEdit=commented\r\n"
                          "pathEdit=\"  quoted  \"\r\n"
                          "pathedit=second\r\n"
                          "noequals\r\n"
                          "flag=0x1F\r\n"
                          "word=true\r\n"
                          "[other]\r\n"
                          "pathEdit=other\r\n"
                          "[OPTIONS]\r\n"
                          "late=1"));
    const IniFile ini(path);
    EXPECT_EQ(ini.readString("options", "jpgtrackbar", "d"), "42");
    EXPECT_EQ(ini.readString("options", "PATHEDIT", "d"), "  quoted  ");
    EXPECT_EQ(ini.readString("options", "noequals", "d"), "d");
    EXPECT_EQ(ini.readString("options", "late", "d"), "d");  // only the first section counts
    EXPECT_EQ(ini.readString("missing", "pathEdit", "d"), "d");
    EXPECT_EQ(ini.readInteger("options", "flag", 7), 31);
    EXPECT_EQ(ini.readInteger("options", "word", 7), 7);
    EXPECT_EQ(ini.readInteger("options", "absent", 7), 7);
    EXPECT_EQ(ini.readString("other", "pathEdit", "d"), "other");
    EXPECT_EQ(IniFile(dir.filePath("none.ini")).readString("options", "x", "d"), "d");
}

TEST(IniFile, WritingKeepsEveryOtherLineByteForByte) {
    QTemporaryDir dir;
    const QString path = dir.filePath("a.ini");
    const QByteArray before =
        "; comment \xFF\xFE kept\n"
        "[options]\r\n"
        "Keep = as is \r\n"
        "JPGBtn=1\n"
        "\r\n"
        "[Form]\n"
        "language=1031";
    ASSERT_TRUE(writeFile(path, before));
    IniFile ini(path);
    ini.writeString("OPTIONS", "jpgbtn", "0");  // in place, the line's own end kept
    ini.writeString("options", "chkSec", "1");  // appended before the blank line
    ini.writeString("form", "other", "x");      // after a last line without a line end
    ini.writeString("new", "key", "v");         // new section at the end
    ini.save();
    EXPECT_EQ(readFile(path),
              "; comment \xFF\xFE kept\n"
              "[options]\r\n"
              "Keep = as is \r\n"
              "jpgbtn=0\n"
              "chkSec=1\r\n"
              "\r\n"
              "[Form]\n"
              "language=1031\r\n"
              "other=x\r\n"
              "[new]\r\n"
              "key=v\r\n");

    const QString created = dir.filePath("created.ini");
    IniFile fresh(created);
    fresh.writeInteger("Form", "language", 1033);
    fresh.save();
    EXPECT_EQ(readFile(created), "[Form]\r\nlanguage=1033\r\n");
}

TEST(IniFile, ValuesReadBackAsWritten) {
    QTemporaryDir dir;
    const QString path = dir.filePath("a.ini");
    const QStringList values = {QString(100000, QChar('x')),
                                " lead",
                                "trail\t",
                                "\"quoted\"",
                                "\"",
                                QString::fromUtf8("Bilder/\xC3\xA9t\xC3\xA9 \xE6\x97\xA5"),
                                "",
                                "x=y;z"};
    IniFile ini(path);
    for (int i = 0; i < values.size(); ++i) {
        ini.writeString("s", QString("k%1").arg(i), values[i]);
    }
    ini.writeString("s", "multi", "one\r\n[s]\r\nk0=injected");
    // A CR ends a line as LF does, so it cuts a value too.
    ini.writeString("s", "cr", "a\rb=c");
    ini.save();
    const IniFile back(path);
    for (int i = 0; i < values.size(); ++i) {
        EXPECT_EQ(back.readString("s", QString("k%1").arg(i), "d"), values[i]) << i;
    }
    EXPECT_EQ(back.readString("s", "multi", "d"), "one");
    EXPECT_EQ(back.readString("s", "cr", "d"), "a");
    EXPECT_EQ(back.readString("s", "b", "d"), "d");
}

TEST(IniFile, EachKindOfLineEndIsReadAndWrittenBackInItsOwnKind) {
    QTemporaryDir dir;
    const QString path = dir.filePath("a.ini");
    for (const QByteArray& eol : {QByteArray("\r"), QByteArray("\n"), QByteArray("\r\n")}) {
        const QByteArray before = "[options]" + eol + "JPGBtn=1" + eol + "chkSec = 0 " + eol + eol +
                                  "[Form]" + eol + "language=1031";
        ASSERT_TRUE(writeFile(path, before));
        IniFile ini(path);
        EXPECT_EQ(ini.readInteger("options", "JPGBtn", 7), 1);
        EXPECT_EQ(ini.readInteger("options", "chksec", 7), 0);
        EXPECT_EQ(ini.readInteger("Form", "language", 7), 1031);
        EXPECT_EQ(ini.readString("options", "language", "d"), "d");
        ini.writeString("options", "JPGBtn", "0");
        ini.writeString("options", "rbMatrix", "1");
        ini.writeString("Form", "tail", "x");
        ini.writeString("new", "key", "v");
        ini.save();
        EXPECT_EQ(readFile(path), "[options]" + eol + "JPGBtn=0" + eol + "chkSec = 0 " + eol +
                                      "rbMatrix=1" + eol + eol + "[Form]" + eol + "language=1031" +
                                      eol + "tail=x" + eol + "[new]" + eol + "key=v" + eol)
            << eol.toHex().toStdString();
    }

    // A CR LF is one line end, not a CR line and an empty LF line; CR CR is two.
    ASSERT_TRUE(writeFile(path, "[s]\r\r\na=1\r\n\rb=2\n"));
    IniFile mixed(path);
    EXPECT_EQ(mixed.readString("s", "a", "d"), "1");
    EXPECT_EQ(mixed.readString("s", "b", "d"), "2");
    mixed.writeString("s", "c", "3");
    mixed.save();
    EXPECT_EQ(readFile(path), "[s]\r\r\na=1\r\n\rb=2\nc=3\r\n");
}

TEST(IniFile, ValuesThatAreNotTextSurviveAndUnchangedLinesKeepTheirBytes) {
    QTemporaryDir dir;
    const QString path = dir.filePath("a.ini");
    const QByteArray before =
        "[options]\r\n"
        "pathEdit=/home/u/Bilder \xE9t\xE9\r\n"
        "  CUSTOMH =\t\"480\"  \r\n"
        "name=\xC3\xA9\xFF\xC3\r\n"
        "FrameNumberEdit= 5\r\n";
    ASSERT_TRUE(writeFile(path, before));
    IniFile ini(path);
    const QString folder = ini.readString("options", "pathedit", "d");
    // The exact bytes, so the folder can be opened.
    EXPECT_EQ(encodeNativePath(folder), QByteArray("/home/u/Bilder \xE9t\xE9"));
    for (const char* key : {"pathEdit", "CustomH", "name", "FrameNumberEdit"}) {
        ini.writeString("options", key, ini.readString("options", key, "d"));
    }
    ini.save();
    EXPECT_EQ(readFile(path), before);

    // Edited, the value is written with its bytes; an edit of another key leaves it alone.
    ini.writeString("options", "pathEdit", folder + "/x");
    ini.writeString("options", "FrameNumberEdit", "6");
    ini.save();
    EXPECT_EQ(readFile(path),
              "[options]\r\n"
              "pathEdit=/home/u/Bilder \xE9t\xE9/x\r\n"
              "  CUSTOMH =\t\"480\"  \r\n"
              "name=\xC3\xA9\xFF\xC3\r\n"
              "FrameNumberEdit=6\r\n");
}

// Tests run as root, for whom permission bits do not stop a write; the failures are forced
// with paths that cannot be files and with a file size limit, which fails the data writes
// the way a full disk does.
TEST(IniFile, FailedSaveReportsThePathAndLeavesTheOldFile) {
    QTemporaryDir dir;
    ASSERT_TRUE(writeFile(dir.filePath("plain"), "x"));
    const auto expectFailure = [](const QString& path) {
        IniFile ini(path);
        ini.writeString("s", "k", "v");
        try {
            ini.save();
            ADD_FAILURE() << "no error for " << path.toStdString();
        } catch (const Error& e) {
            EXPECT_EQ(e.message(), "Unable to write to " + path);
        }
    };
    expectFailure(dir.filePath("plain/sub.ini"));
    ASSERT_TRUE(QDir(dir.path()).mkdir("folder.ini"));
    expectFailure(dir.filePath("folder.ini"));

    const QString path = dir.filePath("old.ini");
    const QByteArray old = "[s]\r\nk=old\r\n";
    ASSERT_TRUE(writeFile(path, old));
    IniFile ini(path);
    ini.writeString("s", "k", QString(1 << 20, QChar('n')));
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 4096;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    EXPECT_THROW(ini.save(), Error);
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);
    EXPECT_EQ(readFile(path), old);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
              QStringList({"old.ini", "plain"}));
}

}  // namespace
}  // namespace mx
