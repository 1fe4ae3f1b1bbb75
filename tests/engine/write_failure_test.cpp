#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QTemporaryDir>

#include "common/file_system_fixtures.h"
#include "core/abort_flag.h"
#include "core/error.h"
#include "core/native_path.h"
#include "engine/engine_fakes.h"
#include "engine/extraction_engine.h"
#include "engine/frame_schedule.h"

namespace mx::test {
namespace {

constexpr qint64 kPage = 4096;  // a tmpfs gives every file whole pages

class EngineOutputTest : public ::testing::Test {
protected:
    void SetUp() override {
        AbortFlag = false;
        resetRandomGeneratorForTesting();
        clearMethodGroups(options);
        setFlags(options,
                 {OptionField::rbFrameFile, OptionField::rbProport, OptionField::rbAutoWidth,
                  OptionField::JPGBtn, OptionField::chkAddNumber});
        options.setText(OptionField::FrameNumberEdit, QStringLiteral("5"));
    }

    // Runs the engine over `source` and returns the message it stopped with (empty when none).
    QString runFailure(const QString& source) {
        ExtractionEngine engine(host, options, media.factory());
        try {
            engine.run(source);
        } catch (const Error& e) {
            return e.message();
        }
        return QString();
    }

    FakeMedia media;
    RecordingHost host;
    ExtractionOptions options;
};

// Each saved frame is a whole JPEG: a file cut or emptied by a full disk is not one.
void expectWholeJpegs(const QByteArray& folder, const QList<QByteArray>& names) {
    for (const QByteArray& name : names) {
        const QByteArray bytes = readNativeFile(folder + '/' + name);
        EXPECT_TRUE(bytes.startsWith("\xFF\xD8") && bytes.endsWith("\xFF\xD9"))
            << name.constData() << " has " << bytes.size() << " bytes";
    }
}

TEST_F(EngineOutputTest, FullDiskStopsTheRunAtTheFrameThatDidNotFit) {
    SmallDisk disk(256 * 1024);
    if (!disk.mounted()) {
        GTEST_SKIP() << disk.skipReason().toStdString();
    }
    // Small frames (a JPEG of a few hundred bytes, well inside any write buffer): room for three.
    options.setText(OptionField::pathEdit, disk.path());
    ASSERT_TRUE(disk.fillLeaving(3 * kPage));
    EXPECT_EQ(runFailure("/video/clip.avi"),
              "Cannot write file " + disk.path() + "/clip_00004.jpg");
    const QList<QByteArray> frames{"clip_00001.jpg", "clip_00002.jpg", "clip_00003.jpg"};
    EXPECT_EQ(nativeEntries(disk.path().toUtf8()), QList<QByteArray>{".filler"} + frames);
    expectWholeJpegs(disk.path().toUtf8(), frames);
    EXPECT_FALSE(host.rows.contains("Extract complete."));

    // Large BMP frames (640 x 480 x 32 bits): the first one does not fit.
    disk.emptyFiller();
    options.setFlag(OptionField::BMPBtn, true);
    media.width = 640;
    media.height = 480;
    ASSERT_TRUE(disk.fillLeaving(64 * 1024));
    EXPECT_EQ(runFailure("/video/clip.avi"),
              "Cannot write file " + disk.path() + "/clip_00001.bmp");
    EXPECT_EQ(nativeEntries(disk.path().toUtf8()), QList<QByteArray>{".filler"} + frames);
}

TEST_F(EngineOutputTest, FullDiskStopsTheContactSheetWithItsName) {
    SmallDisk disk(256 * 1024);
    if (!disk.mounted()) {
        GTEST_SKIP() << disk.skipReason().toStdString();
    }
    clearMethodGroups(options);
    setFlags(options, {OptionField::rbMatrix, OptionField::rbProport, OptionField::rbAutoWidth});
    options.setText(OptionField::pathEdit, disk.path());
    options.setText(OptionField::CustomH, QStringLiteral("120"));
    media.width = 160;
    media.height = 120;
    for (const bool bmp : {false, true}) {
        options.setFlag(bmp ? OptionField::BMPBtn : OptionField::JPGBtn, true);
        ASSERT_TRUE(disk.fillLeaving(0));
        EXPECT_EQ(runFailure("/video/clip.avi"),
                  "Cannot write file " + disk.path() + (bmp ? "/clip.bmp" : "/clip.jpg"));
        EXPECT_EQ(nativeEntries(disk.path().toUtf8()), QList<QByteArray>{".filler"});
    }
}

TEST_F(EngineOutputTest, ReadOnlyDiskCannotCreateTheFrame) {
    SmallDisk disk(64 * 1024, true);
    if (!disk.mounted()) {
        GTEST_SKIP() << disk.skipReason().toStdString();
    }
    options.setText(OptionField::pathEdit, disk.path());
    EXPECT_EQ(runFailure("/video/clip.avi"),
              "Cannot create file " + disk.path() + "/clip_00001.jpg");
}

TEST_F(EngineOutputTest, NamesThatAreNotTextKeepTheirBytes) {
    NativeTempDir dir;
    const QByteArray folder = dir.bytes() + "/vid\xE9os";  // Latin-1, not UTF-8
    ASSERT_EQ(::mkdir(folder.constData(), 0755), 0);
    const QByteArray source = folder + "/caf\xE9 \xFF.avi";
    ASSERT_TRUE(writeNativeFile(source, QByteArray(3 * 1048576, 'v')));

    // Beside the source (chkFolder) and into a folder so named (pathEdit).
    options.setFlag(OptionField::chkFolder, true);
    options.setText(OptionField::FrameNumberEdit, QStringLiteral("2"));
    EXPECT_EQ(runFailure(decodeNativePath(source)), QString());
    EXPECT_EQ(media.openedPath, decodeNativePath(source));
    EXPECT_EQ(nativeEntries(folder),
              (QList<QByteArray>{"caf\xE9 \xFF.avi", "caf\xE9 \xFF_00001.jpg",
                                 "caf\xE9 \xFF_00002.jpg"}));
    expectWholeJpegs(folder, {"caf\xE9 \xFF_00001.jpg", "caf\xE9 \xFF_00002.jpg"});
    EXPECT_DOUBLE_EQ(sourceSizeInMb(decodeNativePath(source)), 3);

    options.setFlag(OptionField::chkFolder, false);
    options.setText(OptionField::pathEdit, decodeNativePath(dir.bytes() + "/\xE0 part"));
    ASSERT_EQ(::mkdir((dir.bytes() + "/\xE0 part").constData(), 0755), 0);
    EXPECT_EQ(runFailure(decodeNativePath(source)), QString());
    EXPECT_EQ(nativeEntries(dir.bytes() + "/\xE0 part"),
              (QList<QByteArray>{"caf\xE9 \xFF_00001.jpg", "caf\xE9 \xFF_00002.jpg"}));
}

}  // namespace
}  // namespace mx::test
