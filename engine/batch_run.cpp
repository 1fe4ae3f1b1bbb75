#include "engine/batch_run.h"

#include "core/abort_flag.h"
#include "engine/engine_host.h"
#include "joblist/job_list.h"

namespace mx {

void BatchRun(BatchHost& host, const JobList& jobs, const std::function<void()>& loadSettings,
              const std::function<void(const QString& path)>& extractFile) {
    host.clearLog();
    AbortFlag = false;
    loadSettings();
    host.logMessage(QStringLiteral("Start extract"));

    const int total = jobs.count();
    host.setOverallProgressMax(total);
    int index = 0;
    for (; index < total; ++index) {
        // The window stays usable while the run pumps messages, so rows may have been deleted
        // or the list cleared meanwhile. The run then ends at the list's new end; rows added
        // meanwhile are not run, as the count was fixed at the start.
        if (index >= jobs.count()) {
            break;
        }
        host.setOverallProgressPos(index);
        const qint64 percent = qint64(index) * 100 / total;
        host.setCaptionAndTitle(QString::number(percent) + QStringLiteral("% MoxelbyExtractor"));
        // A copy: the row may be gone by the time the engine returns.
        const JobRow row = jobs.row(index);
        host.logMessage(QStringLiteral("open-") + row.path);
        if (AbortFlag) {
            break;
        }
        extractFile(row.path);
        host.setStatusText(row.number + QLatin1Char(' ') + row.path);
        host.processMessages();
    }
    host.setOverallProgressPos(index);
    if (AbortFlag) {
        host.logMessage(QStringLiteral("Aborted."));
    }
    host.logMessage(QStringLiteral("Extract complete."));
}

}  // namespace mx
