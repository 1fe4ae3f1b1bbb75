#pragma once

#include <QString>
#include <functional>

namespace mx {

class BatchHost;
class JobList;

// What "Start extract" does: clears the log and the AbortFlag, calls `loadSettings`, logs
// "Start extract", then for each row of `jobs` in order sets the overall progress, the caption
// and title "<percent>% MoxelbyExtractor", logs "open-<path>", stops there when the AbortFlag
// is set, hands the path to `extractFile`, shows "<number> <path>" in the status bar and lets
// pending messages through. It ends with the overall position at the row reached, "Aborted."
// when the AbortFlag is set, and "Extract complete.". Nothing is caught: an exception from
// `loadSettings` or `extractFile` ends the run at once, without the closing rows.
void BatchRun(BatchHost& host, const JobList& jobs, const std::function<void()>& loadSettings,
              const std::function<void(const QString& path)>& extractFile);

}  // namespace mx
