#pragma once

#include <memory>

#include "engine/video_source.h"

namespace mx {

// The video source backed by FFmpeg: exact seeks, pictures as packed bottom-up 32-bit DIBs.
std::unique_ptr<VideoSource> createFfmpegVideoSource();

}  // namespace mx
