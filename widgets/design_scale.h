#pragma once

#include <QFont>
#include <QRect>
#include <QSize>
#include <QString>
#include <functional>

class QWidget;

namespace mx {

// Window layouts are designed at 106 pixels per inch; these scale a design value to the
// screen's logical resolution.
double designScale();
int scaled(int designPixels);
QRect scaled(const QRect& designRect);
QSize scaled(const QSize& designSize);
// The windows' font: the design face (Tahoma) at a character height of 12 design pixels; the
// application's face where Tahoma is not installed.
QFont designFont();
// Registers the design face with the application's font database; true when it is known.
// Cheap after the first call.
bool registerDesignFace();
// The face designFont() uses.
QString designFamily();
// Tests measure the windows at a given resolution instead of the screen's; 0 restores the
// screen's.
void setDesignDpiForTesting(double dpi);
// Places a child at a design rectangle relative to its parent.
void placeAt(QWidget* widget, int left, int top, int width, int height);
// Centres a top-level window, its frame included, on the primary screen's available area. The
// frame a window manager adds is known only once the window is mapped, so call this as the
// window is shown: it places the window at once and again when the frame has come. `fit`, when
// given, runs before each placement (to size the window by its frame).
void centreOnScreen(QWidget* window, std::function<void()> fit = {});

}  // namespace mx
