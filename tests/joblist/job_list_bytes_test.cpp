#include <gtest/gtest.h>

#include "common/file_system_fixtures.h"
#include "common/test_support.h"
#include "core/error.h"
#include "core/native_path.h"
#include "joblist/job_list.h"
#include "joblist/job_list_file.h"
#include "joblist/qt_printers.h"
#include "settings/extraction_options.h"

namespace mx::test {
namespace {

QString native(const QByteArray& bytes) {
    return decodeNativePath(bytes);
}

TEST(JobListFileBytes, NamesThatAreNotUtf8AreWrittenAndReadByteForByte) {
    NativeTempDir dir;
    const QByteArray listPath = dir.bytes() + "/li\xE9ste.mxl";  // the list's own name too
    const QList<QByteArray> paths{"/v/caf\xE9.avi", "/d\xE9j\xE0/\xFF\xFE clip.mpg",
                                  "/v/\xC3\xA9t\xC3\xA9.mp4", "/v/half \xE2\x82.avi"};
    JobList jobs;
    for (const QByteArray& path : paths) {
        jobs.add(native(path));
    }
    ExtractionOptions options;
    options.setText(OptionField::pathEdit, native("/out/\xE9t\xE9"));
    writeJobListFile(native(listPath), jobs, options);

    const QByteArray bytes = readNativeFile(listPath);
    EXPECT_TRUE(bytes.startsWith(paths.join("\r\n") + "\r\noptions\r\n")) << bytes.constData();
    EXPECT_TRUE(bytes.contains("\r\n/out/\xE9t\xE9\r\n"));
    EXPECT_FALSE(bytes.contains("\xEF\xBF\xBD")) << "no replacement characters";

    JobList opened;
    ExtractionOptions read;
    EXPECT_TRUE(readJobListFile(native(listPath), opened, read).optionsFound);
    ASSERT_EQ(opened.count(), paths.size());
    for (int i = 0; i < opened.count(); ++i) {
        EXPECT_EQ(encodeNativePath(opened.row(i).path), paths[i]);
    }
    EXPECT_EQ(encodeNativePath(read.pathEdit()), "/out/\xE9t\xE9");
}

TEST(JobListFileBytes, PathsTheFormatCannotCarryAreRefusedBeforeAnythingIsWritten) {
    NativeTempDir dir;
    const QString listPath = dir.path() + "/list.mxl";
    ASSERT_TRUE(writeNativeFile(listPath.toUtf8(), "old list"));
    ExtractionOptions options;
    for (const char* bad : {"/v/two\nlines.avi", "/v/cr\r.avi", "/v/end\x1A of file.avi"}) {
        JobList jobs;
        jobs.add("/v/a.avi");
        jobs.add("/v/b.avi");
        jobs.add(QString::fromUtf8(bad));
        jobs.add("/v/d.avi");
        const QString message = errorOf([&] { writeJobListFile(listPath, jobs, options); });
        EXPECT_TRUE(message.contains("row 3")) << message.toStdString();
        EXPECT_TRUE(message.contains("/v/")) << "names the path: " << message.toStdString();
        EXPECT_EQ(readNativeFile(listPath.toUtf8()), "old list");
        EXPECT_EQ(jobs.count(), 4);
        EXPECT_EQ(nativeEntries(dir.bytes()), QList<QByteArray>{"list.mxl"});
    }
    // An option text would shift every line after it just the same.
    JobList jobs;
    jobs.add("/v/a.avi");
    options.setText(OptionField::pathEdit, "/out\n/more");
    const QString message = errorOf([&] { writeJobListFile(listPath, jobs, options); });
    EXPECT_TRUE(message.contains("pathEdit")) << message.toStdString();
    EXPECT_EQ(readNativeFile(listPath.toUtf8()), "old list");
}

TEST(JobListFileBytes, FullDiskSaysSoAndKeepsTheOldList) {
    ExtractionOptions options;
    // 3 rows: a few hundred bytes (inside Qt's write buffer); 2000 rows: about 60 KiB.
    for (const int rows : {3, 2000}) {
        SmallDisk disk(256 * 1024);
        if (!disk.mounted()) {
            GTEST_SKIP() << disk.skipReason().toStdString();
        }
        const QString listPath = disk.path() + "/list.mxl";
        const QByteArray old = "/v/old.avi\r\noptions\r\n";
        ASSERT_TRUE(writeNativeFile(listPath.toUtf8(), old));
        JobList jobs;
        for (int i = 0; i < rows; ++i) {
            jobs.add(QStringLiteral("/videos/holiday/clip number %1.avi").arg(i));
        }
        ASSERT_TRUE(disk.fillLeaving(rows > 100 ? 16384 : 0));
        EXPECT_EQ(errorOf([&] { writeJobListFile(listPath, jobs, options); }),
                  "No space left on device")
            << rows;
        EXPECT_EQ(readNativeFile(listPath.toUtf8()), old) << rows;
        EXPECT_EQ(nativeEntries(disk.path().toUtf8()), (QList<QByteArray>{".filler", "list.mxl"}))
            << rows;
    }
    SmallDisk readOnly(64 * 1024, true);
    if (!readOnly.mounted()) {
        GTEST_SKIP() << readOnly.skipReason().toStdString();
    }
    JobList jobs;
    EXPECT_EQ(errorOf([&] { writeJobListFile(readOnly.path() + "/l.mxl", jobs, options); }),
              "File access denied");
}

}  // namespace
}  // namespace mx::test
