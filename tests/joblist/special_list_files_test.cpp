#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "common/special_files.h"
#include "core/error.h"
#include "joblist/job_list.h"
#include "joblist/job_list_file.h"
#include "settings/extraction_options.h"

namespace mx {
namespace {

QString readError(const QString& path) {
    JobList jobs;
    ExtractionOptions options;
    try {
        readJobListFile(path, jobs, options);
    } catch (const Error& error) {
        EXPECT_EQ(jobs.count(), 0);
        return error.message();
    }
    return QStringLiteral("no error");
}

TEST(JobListFileSpecialFiles, FifosAndDevicesCannotBeOpened) {
    QTemporaryDir dir;
    const QString fifo = dir.filePath("list.mxl");
    ASSERT_TRUE(test::makeFifo(fifo));
    EXPECT_TRUE(
        test::finishesWithin([&] { EXPECT_EQ(readError(fifo), "File access denied"); }, fifo));
    EXPECT_EQ(readError("/dev/zero"), "File access denied") << "never reads for ever";
    EXPECT_EQ(readError(dir.path()), "File access denied");
}

}  // namespace
}  // namespace mx
