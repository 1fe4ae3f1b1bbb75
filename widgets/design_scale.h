#pragma once

#include <QRect>
#include <QSize>

class QWidget;

namespace mx {

// Window layouts are designed at 106 pixels per inch; these scale a design value to the
// screen's logical resolution.
double designScale();
int scaled(int designPixels);
QRect scaled(const QRect& designRect);
QSize scaled(const QSize& designSize);
// Places a child at a design rectangle relative to its parent.
void placeAt(QWidget* widget, int left, int top, int width, int height);

}  // namespace mx
