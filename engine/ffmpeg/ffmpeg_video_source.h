#pragma once

#include <cstdint>
#include <memory>

#include "engine/video_source.h"

namespace mx {

// The video source backed by FFmpeg. The picture at time T is the last frame whose
// presentation time (counted from the stream's first frame) is at or before T: the first frame
// before the start, the last one after the end. Pictures are packed bottom-up 32-bit BI_RGB
// DIBs with bytes B, G, R, 255, turned as the container's display matrix asks.
// A plan of captures (VideoSource::planCaptures) is decoded on two decoders at once when that
// pays; the pictures are the same either way.
std::unique_ptr<VideoSource> createFfmpegVideoSource();

// For tests: every plan of two captures or more goes to two decoders, whether it pays or not.
void setSplitEveryPlanForTesting(bool on);
// For tests: how many plans have gone to two decoders in this process.
int plansSplitForTesting();
// For tests: the bytes frames decoded ahead may hold, in place of the share of memory; 0 for
// that share again.
void setAheadBudgetForTesting(int64_t bytes);
// For tests: the most bytes frames decoded ahead held at once since the last call.
int64_t peakHeldAheadForTesting();
// For tests: how many pictures searches asked for off their plan in this process.
int offPlanPicturesForTesting();
// For tests: how many frames the decoders of this process have given out.
int64_t framesDecodedForTesting();

}  // namespace mx
