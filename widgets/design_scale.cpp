#include "widgets/design_scale.h"

#include <QFile>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <cmath>

namespace mx {
namespace {

// Wine's metric-compatible Tahoma (Debian's fonts-wine).
constexpr char kDesignFacePath[] = "/usr/share/wine/fonts/tahoma.ttf";
const QString kDesignFace = QStringLiteral("Tahoma");

double& testDpi() {
    static double dpi = 0;
    return dpi;
}

}  // namespace

bool registerDesignFace() {
    static const bool known = [] {
        if (QFontDatabase::hasFamily(kDesignFace)) {
            return true;
        }
        return QFile::exists(QString::fromLatin1(kDesignFacePath)) &&
               QFontDatabase::addApplicationFont(QString::fromLatin1(kDesignFacePath)) >= 0;
    }();
    return known;
}

QString designFamily() {
    return registerDesignFace() ? kDesignFace : QGuiApplication::font().family();
}

void setDesignDpiForTesting(double dpi) {
    testDpi() = dpi;
}

double designScale() {
    if (testDpi() > 0) {
        return testDpi() / 106.0;
    }
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
    font.setFamily(designFamily());
    font.setPixelSize(scaled(12));
    return font;
}

void placeAt(QWidget* widget, int left, int top, int width, int height) {
    widget->setGeometry(scaled(QRect(left, top, width, height)));
}

}  // namespace mx
