#include <gtest/gtest.h>

#include "joblist/job_list.h"
#include "joblist/qt_printers.h"

namespace mx {
namespace {

QStringList numbers(const JobList& jobs) {
    QStringList out;
    for (const JobRow& row : jobs.rows()) {
        out.append(row.number);
    }
    return out;
}

TEST(JobList, NumbersAreFixedWhenAddedAndMayRepeatAfterADelete) {
    JobList jobs;
    QStringList events;
    QObject::connect(&jobs, &JobList::rowAppended, [&](int i) { events << QString("+%1").arg(i); });
    QObject::connect(&jobs, &JobList::rowRemoved, [&](int i) { events << QString("-%1").arg(i); });
    QObject::connect(&jobs, &JobList::cleared, [&] { events << "clear"; });

    jobs.clear();  // nothing to clear: no event
    jobs.add("/v/a.avi");
    jobs.add("/v/b.avi");
    jobs.add("/v/a.avi");  // duplicates are kept
    jobs.remove(1);
    jobs.remove(-1);  // no selection
    jobs.remove(2);
    jobs.add("C:\\odd\\Path.AVI");
    EXPECT_EQ(numbers(jobs), QStringList({"1", "3", "3"}));
    EXPECT_EQ(jobs.row(1).path, "/v/a.avi");
    EXPECT_EQ(jobs.row(2).path, "C:\\odd\\Path.AVI");
    jobs.addNumbered("7", "");
    EXPECT_EQ(jobs.row(3).number, "7");
    jobs.clear();
    EXPECT_EQ(jobs.count(), 0);
    EXPECT_EQ(events, QStringList({"+0", "+1", "+2", "-1", "+2", "+3", "clear"}));
}

TEST(JobList, DropRuleLooksTheExtensionUpCaseSensitively) {
    for (const char* path : {"/v/clip.avi", "/v/clip.m", "/v/clip.mp", "/v/clip.av", "/v/clip.v",
                             "/v/clip.mp4", "/v.d/x.mpeg", "/v/clip.", "/v/.avi"}) {
        EXPECT_TRUE(isAcceptedDrop(path)) << path;
    }
    for (const char* path : {"/v/clip.AVI", "/v/clip.Avi", "/v/clip.mp3", "/v/clip", "/v.avi/clip",
                             "", "/v/clip.mkv"}) {
        EXPECT_FALSE(isAcceptedDrop(path)) << path;
    }
    const QString longPath = "/" + QString(300, QChar('d')) + "/clip.avi";
    EXPECT_TRUE(isAcceptedDrop(longPath));
    EXPECT_EQ(pathExtension("/a.b/c.tar.gz"), ".gz");
    EXPECT_EQ(pathExtension("/a.b/c"), "");
}

}  // namespace
}  // namespace mx
