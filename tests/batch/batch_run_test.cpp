#include <gtest/gtest.h>

#include <stdexcept>

#include "core/abort_flag.h"
#include "core/error.h"
#include "engine/batch_run.h"
#include "engine/engine_host.h"
#include "joblist/job_list.h"
#include "joblist/qt_printers.h"

namespace mx {
namespace {

// Records every call of the run, in order, as one text each.
class RecordingHost : public BatchHost {
public:
    void logMessage(const QString& text) override { events << "log " + text; }
    void setFileProgressMax(int maximum) override { events << QString("file max %1").arg(maximum); }
    void setFileProgressPos(int position) override { events << QString("file %1").arg(position); }
    void setCaptionAndTitle(const QString& text) override { events << "caption " + text; }
    void processMessages() override {
        events << "pump";
        if (onPump) {
            onPump();
        }
    }
    void clearLog() override { events << "clear"; }
    void setOverallProgressMax(int maximum) override { events << QString("max %1").arg(maximum); }
    void setOverallProgressPos(int position) override { events << QString("pos %1").arg(position); }
    void setStatusText(const QString& text) override { events << "status " + text; }

    QStringList events;
    std::function<void()> onPump;
};

struct Batch {
    Batch(std::initializer_list<const char*> paths) {
        for (const char* path : paths) {
            jobs.add(path);
        }
    }
    void run() {
        BatchRun(
            host, jobs, [this] { host.events << "load"; },
            [this](const QString& path) {
                host.events << "engine " + path;
                if (onExtract) {
                    onExtract(path);
                }
                host.setCaptionAndTitle("MoxelbyExtractor");
            });
    }
    // The rows from the first that starts with `prefix` on.
    QStringList from(const QString& prefix) const {
        const auto& e = host.events;
        const auto it =
            std::find_if(e.begin(), e.end(), [&](auto& s) { return s.startsWith(prefix); });
        return QStringList(it, e.end());
    }

    RecordingHost host;
    JobList jobs;
    std::function<void(const QString&)> onExtract;
};

TEST(BatchRun, RunsEveryJobInOrderWithProgressCaptionAndStatus) {
    Batch batch{"/v/A.avi", "/v/B.avi", "/v/C.avi"};
    AbortFlag = true;  // Esc pressed before the run has no effect on it
    batch.run();
    QStringList expected = {"clear", "load", "log Start extract", "max 3"};
    const QString names[] = {"A", "B", "C"};
    const QString percents[] = {"0", "33", "66"};
    for (int i = 0; i < 3; ++i) {
        const QString path = "/v/" + names[i] + ".avi";
        expected << QString("pos %1").arg(i) << "caption " + percents[i] + "% MoxelbyExtractor"
                 << "log open-" + path << "engine " + path << "caption MoxelbyExtractor"
                 << QString("status %1 ").arg(i + 1) + path << "pump";
    }
    expected << "pos 3"
             << "log Extract complete.";
    EXPECT_EQ(batch.host.events, expected);
}

TEST(BatchRun, AbortIsSeenAtTheNextRowOrAfterTheLast) {
    Batch second{"/A", "/B", "/C"};
    second.onExtract = [](const QString& path) { AbortFlag = path == "/B"; };
    second.run();
    EXPECT_EQ(second.from("status 2"),
              QStringList({"status 2 /B", "pump", "pos 2", "caption 66% MoxelbyExtractor",
                           "log open-/C", "pos 2", "log Aborted.", "log Extract complete."}));

    Batch last{"/A", "/B"};
    last.onExtract = [](const QString& path) { AbortFlag = path == "/B"; };
    last.run();
    EXPECT_EQ(last.from("status 2"), QStringList({"status 2 /B", "pump", "pos 2", "log Aborted.",
                                                  "log Extract complete."}));
}

TEST(BatchRun, EmptyListAndFailuresEndTheRunAsTheyShould) {
    Batch empty{};
    empty.run();
    EXPECT_EQ(empty.host.events, QStringList({"clear", "load", "log Start extract", "max 0",
                                              "pos 0", "log Extract complete."}));

    Batch failing{"/A", "/B", "/C"};
    failing.onExtract = [](const QString& path) {
        if (path == "/B") {
            throw Error("Cannot create file /out/B.jpg");
        }
    };
    EXPECT_THROW(failing.run(), Error);
    EXPECT_EQ(failing.from("log open-/B"), QStringList({"log open-/B", "engine /B"}));

    RecordingHost host;
    JobList jobs;
    jobs.add("/A");
    EXPECT_THROW(BatchRun(
                     host, jobs, [] { throw ConvertError("'x' is not a valid integer value"); },
                     [](const QString&) {}),
                 ConvertError);
    EXPECT_EQ(host.events, QStringList({"clear"}));
}

TEST(BatchRun, RowsRemovedWhileRunningAreNeverRead) {
    // The first row goes while messages are pumped after it: the rows move up, so the run
    // goes on with what is now the second row and stops at the new end.
    Batch shifted{"/A", "/B", "/C"};
    shifted.host.onPump = [&] {
        if (shifted.jobs.count() == 3) {
            shifted.jobs.remove(0);
        }
    };
    shifted.run();
    EXPECT_EQ(shifted.host.events.filter("engine"), QStringList({"engine /A", "engine /C"}));
    EXPECT_EQ(shifted.host.events.mid(shifted.host.events.size() - 2),
              QStringList({"pos 2", "log Extract complete."}));

    // The list cleared during a file: that file's status still names it.
    Batch cleared{"/A", "/B", "/C"};
    cleared.onExtract = [&](const QString&) { cleared.jobs.clear(); };
    cleared.run();
    EXPECT_EQ(cleared.from("status"),
              QStringList({"status 1 /A", "pump", "pos 1", "log Extract complete."}));
}

}  // namespace
}  // namespace mx
