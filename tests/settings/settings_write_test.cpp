#include <gtest/gtest.h>

#include "common/file_system_fixtures.h"
#include "common/test_support.h"
#include "core/error.h"
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

}  // namespace
}  // namespace mx::test
