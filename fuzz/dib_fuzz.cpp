// The picture buffer the video source hands out: header fields and buffer size in any
// combination.
#include "engine/captured_frame.h"
#include "fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (const auto frame = mx::frameFromDib(mx::fuzz::inputBytes(data, size))) {
        if (!frame->image.isNull()) {
            frame->image.pixel(frame->image.width() - 1, frame->image.height() - 1);
        }
    }
    return 0;
}
