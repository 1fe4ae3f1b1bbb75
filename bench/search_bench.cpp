// Times "Add Folder": one folder search for the seven video masks, each match appended to a job
// list, letting window messages through after every entry, or at most every 5 ms when
// "throttled" is given. Prints the best of several runs.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "joblist/file_search.h"
#include "joblist/job_list.h"

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: search_bench <folder> [runs] [every|throttled]\n");
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;

    mx::TFileSearch search;
    mx::JobList jobs;
    const bool throttled = argc > 3 && std::strcmp(argv[3], "throttled") == 0;
    const auto pump = [] { QCoreApplication::processEvents(); };
    search.setMessagePump(throttled ? mx::throttledPump(pump, 5) : pump);
    search.setOnFileFind(
        [&jobs](const QString& path, const mx::TSearchRec& info) { jobs.add(path + info.name); });
    search.setSearchFile(folder + QLatin1Char('/') + QLatin1String(mx::VideoMaskList));

    qint64 best = -1;
    for (int run = 0; run < runs; ++run) {
        jobs.clear();
        QElapsedTimer timer;
        timer.start();
        search.Execute();
        const qint64 elapsed = timer.nsecsElapsed();
        if (best < 0 || elapsed < best) {
            best = elapsed;
        }
    }
    std::printf("matches=%d seconds=%.6f\n", jobs.count(), double(best) / 1e9);
    return 0;
}
