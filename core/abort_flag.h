#pragma once

#include <atomic>

namespace mx {

// The process-wide abort request: set by Esc in the main window (or Ctrl-C in the console
// tool), cleared only at the start of a batch run, polled once per job and before every
// capture. Atomic so that a signal handler may set it.
extern std::atomic<bool> AbortFlag;

}  // namespace mx
