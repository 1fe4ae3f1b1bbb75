#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "common/test_support.h"
#include "core/app_locations.h"
#include "core/error.h"
#include "core/native_path.h"
#include "core/program_folder.h"
#include "joblist/qt_printers.h"
#include "settings/extraction_options.h"
#include "settings/settings_file.h"

namespace mx {
namespace {

using test::readFile;
using test::writeFile;

// Loads an [options] section made of `body` into a fresh record.
struct Loaded {
    explicit Loaded(const QByteArray& body) {
        writeFile(path, "[options]\r\n" + body);
        LoadSettings(options, path, &spins);
    }
    QTemporaryDir dir;
    QString path = dir.filePath("mxex2.ini");
    ExtractionOptions options;
    SpinPositions spins;
};

TEST(Settings, MissingFileGivesTheFirstStartValuesAndWritesNothing) {
    QTemporaryDir dir;
    setProgramFolderForTesting(dir.path());
    setUserFoldersForTesting(dir.filePath("config"), dir.filePath("data"));
    EXPECT_EQ(settingsFilePath(), dir.path() + "/config/mxex2.ini");
    ExtractionOptions options;
    SpinPositions spins;
    LoadSettings(options, settingsFilePath(), &spins);
    setProgramFolderForTesting({});
    setUserFoldersForTesting({}, {});
    EXPECT_FALSE(QFile::exists(dir.filePath("mxex2.ini")));
    EXPECT_FALSE(QFile::exists(dir.filePath("config")));

    EXPECT_TRUE(options.JPGBtn());
    for (OptionField f : kStoredOptionFields) {
        if (f != OptionField::JPGBtn) {
            EXPECT_FALSE(options.flag(f)) << optionFieldName(f).toStdString();
        }
    }
    EXPECT_EQ(options.FrameNumberEdit(), "5");
    EXPECT_EQ(options.edtSecStart(), "1");
    EXPECT_EQ(options.edtEverSec(), "5");
    EXPECT_EQ(options.CustomH(), "480");
    EXPECT_EQ(options.jpgTrackBar(), 75);
    EXPECT_EQ(options.pathEdit(), userPicturesFolder());
    EXPECT_EQ(options.language(), 1033);
    EXPECT_EQ(spins.udFN, 5);
    EXPECT_EQ(spins.udSS, 1);
    EXPECT_EQ(spins.udES, 5);
}

TEST(Settings, SaveThenLoadRestoresEveryFieldAndEmptyGroups) {
    QTemporaryDir dir;
    const QString path = dir.filePath("mxex2.ini");
    ExtractionOptions saved;
    saved.setFlag(OptionField::BMPBtn, true);
    saved.setFlag(OptionField::rbMatrix, true);
    saved.setFlag(OptionField::rbProport, false);  // extract method: no member set
    saved.setFlag(OptionField::rbAutoWidth, true);
    for (OptionField f : {OptionField::chkAddNumber, OptionField::chkFolder, OptionField::chkSec,
                          OptionField::chktime, OptionField::chkFilename}) {
        saved.setFlag(f, true);
    }
    saved.setText(OptionField::CustomH, "abc");
    saved.setText(OptionField::FrameNumberEdit, " 0x10");
    saved.setText(OptionField::pathEdit, QString::fromUtf8(" /Bilder/f\xC3\xBCr mich "));
    saved.setText(OptionField::edtSecStart, "$A");
    saved.setText(OptionField::edtEverSec, "-3");
    saved.setJpgTrackBar(0);
    SaveSettings(saved, path);
    EXPECT_TRUE(readFile(path).startsWith("[options]\r\nBMPBtn_Checked=1\r\nCustomH=abc\r\n"));

    ExtractionOptions loaded;
    SpinPositions spins;
    LoadSettings(loaded, path, &spins);
    for (OptionField f : kStoredOptionFields) {
        EXPECT_EQ(loaded.text(f), saved.text(f)) << optionFieldName(f).toStdString();
    }
    EXPECT_EQ(spins.udFN, 16);
    EXPECT_EQ(spins.udES, -3);
    EXPECT_EQ(spins.udSS, 10);

    // The other group members and an empty text survive the second round as well.
    loaded.setFlag(OptionField::BMPBtn, false);
    loaded.setFlag(OptionField::rbRandom, true);
    loaded.setFlag(OptionField::rbMatrix, false);
    loaded.setText(OptionField::CustomH, "");
    SaveSettings(loaded, path);
    ExtractionOptions again;
    LoadSettings(again, path);
    for (OptionField f : kStoredOptionFields) {
        EXPECT_EQ(again.text(f), loaded.text(f)) << optionFieldName(f).toStdString();
    }
}

// The keys exactly as files in use carry them, in their order.
TEST(Settings, SaveWritesTheNineteenKeysInTheirStoredSpelling) {
    QTemporaryDir dir;
    const QString path = dir.filePath("mxex2.ini");
    SaveSettings(ExtractionOptions(), path);
    EXPECT_EQ(readFile(path),
              "[options]\r\nBMPBtn_Checked=0\r\nCustomH=480\r\nFrameNumberEdit=11\r\n"
              "jpgTrackBar=75\r\npathEdit=e:\\tempvideo\\images\r\nedtSecStart=1\r\n"
              "edtEverSec=5\r\nJPGBtn=1\r\nrbAutoWidth=0\r\nrbFrameFile=1\r\nrbMatrix=0\r\n"
              "rbProport=1\r\nrbRandom=0\r\nchkAddNumber=0\r\nchkFolder=0\r\nchkSec=0\r\n"
              "rbEverSec=0\r\nchktime=0\r\nchkFilename=0\r\n");
}

TEST(Settings, HandEditedValuesFollowTheEncodingRules) {
    Loaded words(
        "rbMatrix=true\r\nJPGBtn=yes\r\njpgTrackBar=abc\r\nchkSec=2\r\nchktime=0x1\r\n"
        "pathEdit=\r\n");
    EXPECT_FALSE(words.options.rbMatrix());
    EXPECT_TRUE(words.options.JPGBtn());  // not a number: the default
    EXPECT_EQ(words.options.jpgTrackBar(), 75);
    EXPECT_TRUE(words.options.chkSec());
    EXPECT_TRUE(words.options.chktime());
    EXPECT_EQ(words.options.pathEdit(), userPicturesFolder());

    Loaded clamped(
        "jpgTrackBar=250\r\nrbFrameFile=1\r\nrbEverSec=1\r\nBMPBtn_Checked=1\r\n"
        "JPGBtn=0\r\nrbProport=1\r\nrbRandom=1\r\n");
    EXPECT_EQ(clamped.options.jpgTrackBar(), 100);
    EXPECT_FALSE(clamped.options.rbFrameFile());
    EXPECT_TRUE(clamped.options.rbEverSec());
    EXPECT_TRUE(clamped.options.BMPBtn());
    EXPECT_FALSE(clamped.options.JPGBtn());
    EXPECT_FALSE(clamped.options.rbProport());
    EXPECT_TRUE(clamped.options.rbRandom());

    // Keys of another section, even one named alike, are not the options.
    Loaded elsewhere(
        "[Form]\r\nlanguage=1031\r\n[options2]\r\nBMPBtn_Checked=1\r\n"
        "jpgTrackBar=5\r\n");
    EXPECT_FALSE(elsewhere.options.BMPBtn());
    EXPECT_EQ(elsewhere.options.jpgTrackBar(), 75);

    Loaded neither("BMPBtn_Checked=0\r\nJPGBtn=0\r\n");
    EXPECT_FALSE(neither.options.BMPBtn());
    EXPECT_FALSE(neither.options.JPGBtn());
}

TEST(Settings, NumberTextThatIsNoIntegerFailsAfterAllFieldsAreLoaded) {
    QTemporaryDir dir;
    const QString path = dir.filePath("mxex2.ini");
    ASSERT_TRUE(writeFile(path, "[options]\r\nFrameNumberEdit=1,000\r\nchkSec=1\r\n"));
    ExtractionOptions options;
    SpinPositions spins{1, 2, 3};
    try {
        LoadSettings(options, path, &spins);
        ADD_FAILURE() << "loaded";
    } catch (const ConvertError& e) {
        EXPECT_EQ(e.message(), "'1,000' is not a valid integer value");
    }
    EXPECT_EQ(options.FrameNumberEdit(), "1,000");
    EXPECT_TRUE(options.chkSec());
    EXPECT_EQ(spins.udFN, 1);

    ASSERT_TRUE(writeFile(path, "[options]\r\nFrameNumberEdit=7\r\nedtEverSec=x\r\n"));
    EXPECT_THROW(LoadSettings(options, path, &spins), ConvertError);
    EXPECT_EQ(spins.udFN, 7);
    EXPECT_EQ(spins.udES, 3);
    EXPECT_EQ(spins.udSS, 2);
}

TEST(Settings, SaveKeepsOtherSectionsAndLanguageHasItsOwnKey) {
    QTemporaryDir dir;
    const QString path = dir.filePath("mxex2.ini");
    EXPECT_EQ(LoadLanguageSetting(path), 1033);
    ASSERT_TRUE(writeFile(path, "[Form]\r\nlanguage=abc\r\n[mine]\r\nx=1\r\n"));
    EXPECT_EQ(LoadLanguageSetting(path), 1033);
    ExtractionOptions noSection;
    LoadSettings(noSection, path);
    EXPECT_EQ(noSection.FrameNumberEdit(), "5");
    EXPECT_FALSE(noSection.rbFrameFile());
    SaveLanguageSetting(1031, path);
    SaveSettings(ExtractionOptions(), path);
    EXPECT_EQ(LoadLanguageSetting(path), 1031);
    const QByteArray bytes = readFile(path);
    EXPECT_TRUE(bytes.startsWith("[Form]\r\nlanguage=1031\r\n[mine]\r\nx=1\r\n[options]\r\n"));
    EXPECT_TRUE(bytes.endsWith("chktime=0\r\nchkFilename=0\r\n"));
    EXPECT_EQ(bytes.count("\r\n"), 5 + 19);

    // Root writes anywhere; a folder that is a regular file stops even root.
    try {
        SaveSettings(ExtractionOptions(), path + "/mxex2.ini");
        ADD_FAILURE() << "saved";
    } catch (const Error& e) {
        EXPECT_EQ(e.message(), "Unable to write to " + path + "/mxex2.ini");
    }
    EXPECT_EQ(readFile(path), bytes);
}

// A file as another editor or an older system may leave it: lines ended by CR alone or by LF
// alone, a folder name in bytes that are not UTF-8, keys spelled in other cases, a comment.
TEST(Settings, ForeignLineEndsAndBytesLoadAndAPlainSaveKeepsTheFile) {
    QTemporaryDir dir;
    const QString path = dir.filePath("mxex2.ini");
    for (const QByteArray& eol : {QByteArray("\r"), QByteArray("\n")}) {
        const QByteArray before = "; \xC4nderungen von Hand" + eol + "[Form]" + eol +
                                  "language=1031" + eol + "[options]" + eol + "BMPBtn_Checked=1" +
                                  eol + "CustomH=360" + eol + "FrameNumberEdit=9" + eol +
                                  "jpgtrackbar=40" + eol + "pathEdit=/media/\xE9t\xE9 2003/\xFF" +
                                  eol + "edtSecStart=2" + eol + "edtEverSec=7" + eol + "JPGBtn=0" +
                                  eol + "rbAutoWidth=1" + eol + "rbFrameFile=0" + eol +
                                  "rbMatrix=1" + eol + "rbProport=0" + eol + "rbRandom=1" + eol +
                                  "chkAddNumber=1" + eol + "chkFolder=1" + eol + "chkSec=1" + eol +
                                  "rbEverSec=0" + eol + "CHKTIME=1" + eol + "chkFilename=1" + eol;
        ASSERT_TRUE(writeFile(path, before));
        ExtractionOptions options;
        SpinPositions spins;
        LoadSettings(options, path, &spins);
        EXPECT_TRUE(options.BMPBtn());
        EXPECT_FALSE(options.JPGBtn());
        EXPECT_EQ(options.CustomH(), "360");
        EXPECT_EQ(options.FrameNumberEdit(), "9");
        EXPECT_EQ(options.jpgTrackBar(), 40);
        EXPECT_EQ(encodeNativePath(options.pathEdit()), QByteArray("/media/\xE9t\xE9 2003/\xFF"));
        EXPECT_TRUE(options.rbMatrix());
        EXPECT_TRUE(options.rbRandom());
        EXPECT_TRUE(options.chktime());
        EXPECT_EQ(spins.udFN, 9);
        EXPECT_EQ(spins.udES, 7);
        EXPECT_EQ(spins.udSS, 2);
        EXPECT_EQ(LoadLanguageSetting(path), 1031);

        SaveSettings(options, path);
        SaveLanguageSetting(1031, path);
        EXPECT_EQ(readFile(path), before) << eol.toHex().toStdString();

        // An edited field rewrites its own line alone, in the file's line end.
        options.setFlag(OptionField::rbEverSec, true);
        SaveSettings(options, path);
        QByteArray after = before;
        after.replace("rbMatrix=1", "rbMatrix=0").replace("rbEverSec=0", "rbEverSec=1");
        EXPECT_EQ(readFile(path), after);
    }
}

}  // namespace
}  // namespace mx
