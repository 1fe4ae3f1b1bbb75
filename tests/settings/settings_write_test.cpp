#include <gtest/gtest.h>

#include <sys/stat.h>

#include "common/file_system_fixtures.h"
#include "common/test_support.h"
#include "core/error.h"
#include "core/native_path.h"
#include "settings/extraction_options.h"
#include "settings/settings_file.h"

namespace mx::test {
namespace {

// The settings file as a user has it: 81 bytes, far inside any write buffer.
const QByteArray kStored =
    "[options]\r\nlanguage=1031\r\nJPGBtn=1\r\nBMPBtn=0\r\njpgTrackBar=90\r\npathEdit=/x/yz/vw\r\n";

TEST(SettingsWrite, FullDiskReportsAndKeepsTheStoredFile) {
    ASSERT_EQ(kStored.size(), 81);
    SmallDisk disk(128 * 1024);
    if (!disk.mounted()) {
        GTEST_SKIP() << disk.skipReason().toStdString();
    }
    const QString path = disk.path() + "/mxex2.ini";
    ASSERT_TRUE(writeNativeFile(path.toUtf8(), kStored));
    ASSERT_TRUE(disk.fillLeaving(0));
    ExtractionOptions options;
    EXPECT_EQ(errorOf([&] { SaveSettings(options, path); }), "Unable to write to " + path);
    EXPECT_EQ(readNativeFile(path.toUtf8()), kStored);
    // The language written as the window closes.
    EXPECT_EQ(errorOf([&] { SaveLanguageSetting(1033, path); }), "Unable to write to " + path);
    EXPECT_EQ(readNativeFile(path.toUtf8()), kStored);
    EXPECT_EQ(nativeEntries(disk.path().toUtf8()), (QList<QByteArray>{".filler", "mxex2.ini"}));

    disk.emptyFiller();
    SaveLanguageSetting(1033, path);
    EXPECT_EQ(LoadLanguageSetting(path), 1033) << "with room again, the write goes through";
}

TEST(SettingsWrite, ReadOnlyDiskReportsThePath) {
    SmallDisk disk(64 * 1024, true);
    if (!disk.mounted()) {
        GTEST_SKIP() << disk.skipReason().toStdString();
    }
    const QString path = disk.path() + "/mxex2.ini";
    ExtractionOptions options;
    EXPECT_EQ(errorOf([&] { SaveSettings(options, path); }), "Unable to write to " + path);
    EXPECT_TRUE(nativeEntries(disk.path().toUtf8()).isEmpty());
}

// A configuration folder whose name is not UTF-8 (a home folder from an older system) holds the
// user's own file: the language written at close changes its one line and keeps the rest.
TEST(SettingsWrite, FileUnderAFolderNamedInOtherBytesKeepsItsLines) {
    NativeTempDir dir;
    const QByteArray folder = dir.bytes() + "/conf\xE9";
    ASSERT_EQ(::mkdir(folder.constData(), 0700), 0);
    const QByteArray stored = kStored + "; kept by hand\r\n[Form]\r\nlanguage=1049\r\n";
    ASSERT_TRUE(writeNativeFile(folder + "/mxex2.ini", stored));
    const QString path = decodeNativePath(folder + "/mxex2.ini");
    EXPECT_EQ(LoadLanguageSetting(path), 1049);
    SaveLanguageSetting(1036, path);
    QByteArray expected = stored;
    EXPECT_EQ(readNativeFile(folder + "/mxex2.ini"), expected.replace("1049", "1036"));
}

// A value the file cannot hold on one line is refused whole: nothing is written, and the message
// names the option, its line breaks shown as stand-ins.
TEST(SettingsWrite, LineBreakInAValueIsRefusedWithItsName) {
    NativeTempDir dir;
    const QString path = dir.path() + "/mxex2.ini";
    ASSERT_TRUE(writeNativeFile(path.toUtf8(), kStored));
    ExtractionOptions options;
    options.setText(OptionField::FrameNumberEdit, "7\r8\n9");
    EXPECT_EQ(errorOf([&] { SaveSettings(options, path); }),
              QString("The settings were not saved: the option FrameNumberEdit holds a line "
                      "break, which the settings file cannot carry:\n7\uFFFD8\uFFFD9"));
    EXPECT_EQ(readNativeFile(path.toUtf8()), kStored);
}

}  // namespace
}  // namespace mx::test
