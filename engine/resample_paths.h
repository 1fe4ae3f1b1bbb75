#pragma once

#include <QImage>

#include "engine/resample_bitmap.h"

namespace mx {

// Which inner loops ResampleBitmap runs: the processor's vector instructions where the build
// has them, or the portable integer loops. Both give the same bytes; tests hold each against
// the other.
enum class ResamplePath { Auto, Portable };

void resampleBitmapUsing(ResamplePath path, int newWidth, int newHeight, ResampleFilter filter,
                         float radius, const QImage& source, QImage& target);

}  // namespace mx
