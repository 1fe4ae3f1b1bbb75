#include "core/abort_flag.h"

namespace mx {

std::atomic<bool> AbortFlag{false};

}  // namespace mx
