#pragma once

#include <QColor>
#include <QFont>
#include <QString>

class QPainter;

namespace mx {

// The face "Tahoma" at the given point size for the screen's resolution (8 points are 11
// pixels at 96 dots per inch), no bold, italic or underline. The bundled metric-compatible
// face is registered on first use; without it fontconfig picks the nearest face.
QFont tahomaFont(int points);

// Draws text whose top-left corner is at (x, y), glyphs only (transparent background).
void drawTextAt(QPainter& painter, int x, int y, const QString& text, const QColor& color);

}  // namespace mx
