#pragma once

#include <QImage>

#include "engine/resample_bitmap.h"

namespace mx::test {

// The kernels of the resampler, each from its formula; single precision in and out.
float referenceKernel(ResampleFilter filter, float x);

// The resampler written step by step from its rules: the yardstick for the optimised
// ResampleBitmap, which must give the same bytes.
void referenceResampleBitmap(int newWidth, int newHeight, ResampleFilter filter, float radius,
                             const QImage& source, QImage& target);

}  // namespace mx::test
