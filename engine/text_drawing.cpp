#include "engine/text_drawing.h"

#include <QFontDatabase>
#include <QGuiApplication>
#include <QPainter>
#include <QRawFont>
#include <QScreen>
#include <QtEndian>
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

quint16 bigEndian16(const QByteArray& table, int offset) {
    return qFromBigEndian<quint16>(reinterpret_cast<const uchar*>(table.constData()) + offset);
}

// The ascent the platform of the design places text by: the face's usWinAscent (OS/2 table)
// scaled to the pixel size. Qt takes the typographic ascent instead when the face asks for
// it (Tahoma does), which lies a few pixels lower. Qt's ascent when the tables are missing.
int cellAscent(const QPainter& painter) {
    const QFont& font = painter.font();
    const QRawFont raw = QRawFont::fromFont(font);
    const QByteArray os2 = raw.isValid() ? raw.fontTable("OS/2") : QByteArray();
    const QByteArray head = raw.isValid() ? raw.fontTable("head") : QByteArray();
    constexpr int kWinAscentOffset = 74;
    constexpr int kUnitsPerEmOffset = 18;
    if (os2.size() < kWinAscentOffset + 2 || head.size() < kUnitsPerEmOffset + 2) {
        return painter.fontMetrics().ascent();
    }
    const int winAscent = bigEndian16(os2, kWinAscentOffset);
    const int unitsPerEm = bigEndian16(head, kUnitsPerEmOffset);
    if (unitsPerEm <= 0 || winAscent <= 0) {
        return painter.fontMetrics().ascent();
    }
    return static_cast<int>(std::lround(raw.pixelSize() * winAscent / unitsPerEm));
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
    painter.drawText(x, y + cellAscent(painter), text);
    painter.restore();
}

}  // namespace mx
