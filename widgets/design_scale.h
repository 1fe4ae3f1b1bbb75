#pragma once

#include <QFont>
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
// The windows' font: the application's face at a character height of 12 design pixels.
QFont designFont();
// Places a child at a design rectangle relative to its parent.
void placeAt(QWidget* widget, int left, int top, int width, int height);

}  // namespace mx
