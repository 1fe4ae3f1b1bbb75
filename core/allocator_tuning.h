#pragma once

namespace mx {

// Every capture allocates and frees a few picture-sized buffers (8 MB each at 1080p). With the C
// library's defaults each of them is a fresh mapping whose pages the kernel must zero again, which
// cost a quarter of a run's time. Call once at program start: large blocks then come from the
// heap and are reused from capture to capture.
void tuneAllocatorForLargeFrames();

}  // namespace mx
