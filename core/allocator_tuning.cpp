#include "core/allocator_tuning.h"

#include <cstdlib>  // defines __GLIBC__ on the GNU C library

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace mx {

void tuneAllocatorForLargeFrames() {
#if defined(__GLIBC__)
    // Grow the heap in steps of 64 MB and keep that much when it shrinks, so picture buffers
    // freed at the end of one capture serve the next without new pages.
    mallopt(M_TOP_PAD, 64 * 1024 * 1024);
#endif
}

}  // namespace mx
