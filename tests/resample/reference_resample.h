#pragma once

#include <QImage>

#include "engine/resample_bitmap.h"

namespace mx::test {

// The kernels and the resampler written step by step from their rules: the yardstick for the
// optimised ResampleBitmap, which must give the same bytes.
float referenceKernel(ResampleFilter filter, float x);
float referenceRadius(ResampleFilter filter);
void referenceResampleBitmap(int newWidth, int newHeight, ResampleFilter filter, float radius,
                             const QImage& source, QImage& target);

}  // namespace mx::test
