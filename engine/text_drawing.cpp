#include "engine/text_drawing.h"

#include <QFontDatabase>
#include <QGuiApplication>
#include <QPainter>
#include <QScreen>
#include <algorithm>
#include <cmath>

namespace mx {
namespace {

constexpr const char* kTahomaPath = "/usr/share/wine/fonts/tahoma.ttf";

void registerTahomaOnce() {
    static const bool registered = [] {
        return QFontDatabase::addApplicationFont(QString::fromLatin1(kTahomaPath)) >= 0;
    }();
    Q_UNUSED(registered);
}

double screenDpi() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->logicalDotsPerInchY() : 96.0;
}

}  // namespace

QFont tahomaFont(int points) {
    registerTahomaOnce();
    QFont font(QStringLiteral("Tahoma"));
    // A character height in pixels as the platform computes it from points, rounded.
    font.setPixelSize(std::max(1, static_cast<int>(std::lround(points * screenDpi() / 72.0))));
    font.setBold(false);
    font.setItalic(false);
    font.setUnderline(false);
    font.setStyleStrategy(QFont::NoAntialias);
    return font;
}

void drawTextAt(QPainter& painter, int x, int y, const QString& text, const QColor& color) {
    painter.save();
    painter.setBackgroundMode(Qt::TransparentMode);
    painter.setPen(color);
    // QPainter places text on its baseline; the caller gives the top of the character cell.
    painter.drawText(x, y + painter.fontMetrics().ascent(), text);
    painter.restore();
}

}  // namespace mx
