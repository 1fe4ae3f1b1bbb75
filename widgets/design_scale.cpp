#include "widgets/design_scale.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <cmath>

namespace mx {

double designScale() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    const double dpi = screen ? screen->logicalDotsPerInchX() : 96.0;
    return dpi / 106.0;
}

int scaled(int designPixels) {
    return static_cast<int>(std::lround(designPixels * designScale()));
}

QRect scaled(const QRect& r) {
    return QRect(scaled(r.left()), scaled(r.top()), scaled(r.width()), scaled(r.height()));
}

QSize scaled(const QSize& s) {
    return QSize(scaled(s.width()), scaled(s.height()));
}

QFont designFont() {
    QFont font = QGuiApplication::font();
    font.setPixelSize(scaled(12));
    return font;
}

void placeAt(QWidget* widget, int left, int top, int width, int height) {
    widget->setGeometry(scaled(QRect(left, top, width, height)));
}

}  // namespace mx
