#include "widgets/design_scale.h"

#include <QFile>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QScreen>
#include <QTimer>
#include <QWidget>
#include <QWindow>
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

namespace {

QMargins frameMarginsOf(const QWidget* window) {
    return window->windowHandle() ? window->windowHandle()->frameMargins() : QMargins();
}

void placeCentred(QWidget* window) {
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen) {
        return;
    }
    const QSize outer = window->size().grownBy(frameMarginsOf(window));
    const QRect area = screen->availableGeometry();
    // move() places the frame's top-left corner.
    window->move(area.left() + (area.width() - outer.width()) / 2,
                 area.top() + (area.height() - outer.height()) / 2);
}

}  // namespace

void centreOnScreen(QWidget* window, std::function<void()> fit) {
    if (fit) {
        fit();
    }
    placeCentred(window);
    const QMargins margins = frameMarginsOf(window);
    // The frame comes a moment after the window is mapped, and a window manager may have put
    // the window by rules of its own (a dialog over its parent) meanwhile.
    for (const int ms : {50, 150, 400}) {
        QTimer::singleShot(ms, window, [window, margins, fit] {
            if (frameMarginsOf(window) == margins) {
                return;
            }
            if (fit) {
                fit();
            }
            placeCentred(window);
        });
    }
}

}  // namespace mx
