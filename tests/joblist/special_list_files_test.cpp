#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <cstdio>

#include "common/special_files.h"
#include "common/test_support.h"
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

// A list of 200,000 paths reads in linear time.
TEST(JobListFileSize, LargeListsReadInLinearTime) {
    QTemporaryDir dir;
    QByteArray text;
    for (int i = 0; i < 200000; ++i) {
        text += "/videos/clip" + QByteArray::number(i) + ".avi\r\n";
    }
    const QString path = dir.filePath("big.mxl");
    JobList jobs;
    ExtractionOptions options;
    writeJobListFile(path, jobs, options);  // the options part as the program writes it
    ASSERT_TRUE(test::writeNativeFile(path, text + test::readFile(path)));
    QElapsedTimer timer;
    timer.start();
    EXPECT_EQ(readJobListFile(path, jobs, options).rowsAdded, 200000);
    std::printf("[ measured ] 200,000-path job list: %lld ms\n",
                static_cast<long long>(timer.elapsed()));
    EXPECT_LT(timer.elapsed(), 20000) << "ms";
}

}  // namespace
}  // namespace mx
