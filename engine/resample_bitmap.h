#pragma once

#include <QImage>

namespace mx {

// The kernels of the resampler, in the order of their stored index.
enum class ResampleFilter { Box, Triangle, Hermite, Bell, BSpline, Lanczos3, Mitchell };

// The kernel's value at x (single precision in and out) and its default radius.
float resampleKernel(ResampleFilter filter, float x);
float defaultResampleRadius(ResampleFilter filter);

// Scales source to newWidth x newHeight into target with a separable kernel: a horizontal pass
// into a work image, then a vertical pass, both with 8-bit fixed-point weights computed once
// per target column and row, each value divided by the sum of its own weights and clamped to
// 0..255. The first and last pixels of source and target map onto each other; a target side of
// 1 takes its one pixel from the middle of the source. Indices beyond an edge are mirrored
// (about pixel 0 on the left and top, about the boundary after the last pixel on the right and
// bottom) and then kept inside the source. A pixel whose weights all round to 0 (shrinking
// by a factor of several hundred) is black.
//
// radius 0 means the kernel's default; a radius beyond the kernel's reach adds nothing, and a
// negative one leaves every target pixel without contributors, which makes it black. Only
// the three colour bytes are resampled; the result is Format_RGB32, its fourth byte 0xFF.
// A source in another format than the 32-bit ones is converted first.
//
// An empty source leaves target untouched; a new width or height below 1 leaves it a null
// image. source and target may be the same object. Throws Error("Out of memory") when a bitmap
// cannot be allocated. Large pictures are split over the processor's cores; the result does not
// depend on that.
void ResampleBitmap(int newWidth, int newHeight, ResampleFilter filter, float radius,
                    const QImage& source, QImage& target);

}  // namespace mx
