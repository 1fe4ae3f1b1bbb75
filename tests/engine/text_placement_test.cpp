#include <gtest/gtest.h>

#include <QFile>
#include <QImage>
#include <QPainter>
#include <QtEndian>
#include <cmath>

#include "common/test_support.h"
#include "engine/text_drawing.h"

// Text is placed by the top of its character cell, which lies the face's Windows ascent
// (usWinAscent) above the baseline. The glyph rows are checked against that figure read from
// the font file itself.

namespace mx::test {
namespace {

constexpr const char* kTahoma = "/usr/share/wine/fonts/tahoma.ttf";

// The face's usWinAscent and unitsPerEm, read from the file's OS/2 and head tables.
bool readWinAscent(int* winAscent, int* unitsPerEm) {
    const QByteArray font = readFile(kTahoma);
    if (font.size() < 12) {
        return false;
    }
    const auto* bytes = reinterpret_cast<const uchar*>(font.constData());
    const int tables = qFromBigEndian<quint16>(bytes + 4);
    int os2 = -1;
    int head = -1;
    for (int i = 0; i < tables && 12 + 16 * (i + 1) <= font.size(); ++i) {
        const QByteArray tag = font.mid(12 + 16 * i, 4);
        const int offset = static_cast<int>(qFromBigEndian<quint32>(bytes + 12 + 16 * i + 8));
        if (tag == "OS/2") {
            os2 = offset;
        } else if (tag == "head") {
            head = offset;
        }
    }
    if (os2 < 0 || head < 0 || os2 + 76 > font.size() || head + 20 > font.size()) {
        return false;
    }
    *winAscent = qFromBigEndian<quint16>(bytes + os2 + 74);
    *unitsPerEm = qFromBigEndian<quint16>(bytes + head + 18);
    return *unitsPerEm > 0;
}

// First and last row holding a pixel of the given colour; (-1, -1) when there is none.
std::pair<int, int> inkRows(const QImage& image, QRgb colour) {
    int first = -1;
    int last = -1;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (image.pixel(x, y) == colour) {
                first = first < 0 ? y : first;
                last = y;
                break;
            }
        }
    }
    return {first, last};
}

TEST(TextPlacement, CellTopLiesTheWindowsAscentAboveTheBaseline) {
    int winAscent = 0;
    int unitsPerEm = 0;
    if (!QFile::exists(kTahoma) || !readWinAscent(&winAscent, &unitsPerEm)) {
        GTEST_SKIP() << "the Tahoma face is not installed";
    }
    // 8 points are the overlay's 11 pixels, 14 points the sheet header's 19.
    for (const int points : {8, 14}) {
        SCOPED_TRACE(points);
        const QFont font = tahomaFont(points);
        const int ascent =
            static_cast<int>(std::lround(double(font.pixelSize()) * winAscent / unitsPerEm));
        EXPECT_EQ(ascent, points == 8 ? 11 : 19);
        for (const int top : {0, 5, 17}) {
            SCOPED_TRACE(top);
            QImage image(80, 60, QImage::Format_RGB32);
            image.fill(Qt::black);
            QPainter painter(&image);
            painter.setFont(font);
            // Capitals and figures sit on the baseline: their last row is the one above it.
            drawTextAt(painter, 3, top, QStringLiteral("HE10"), Qt::white);
            painter.end();
            const auto [first, last] = inkRows(image, qRgb(255, 255, 255));
            EXPECT_EQ(last, top + ascent - 1);
            // Their height is the face's cap height, about 0.73 em, so they never reach the
            // cell's top row.
            EXPECT_NEAR(last - first + 1, 0.73 * font.pixelSize(), 1.0);
            EXPECT_GT(first, top);
        }
    }
}

TEST(TextPlacement, DescendersGoBelowTheBaselineAndNothingIsDrawnBehindTheText) {
    if (!QFile::exists(kTahoma)) {
        GTEST_SKIP() << "the Tahoma face is not installed";
    }
    const QFont font = tahomaFont(8);
    QImage image(60, 30, QImage::Format_RGB32);
    image.fill(qRgb(128, 128, 128));
    QPainter painter(&image);
    painter.setFont(font);
    drawTextAt(painter, 2, 4, QStringLiteral("Hp"), Qt::white);
    painter.end();
    const auto [first, last] = inkRows(image, qRgb(255, 255, 255));
    EXPECT_GT(first, 4);
    EXPECT_GE(last, 4 + 11);  // the descender of p
    EXPECT_LE(last, 4 + 11 + 3);
    // Transparent background: every pixel is either glyph or the grey it was.
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QRgb px = image.pixel(x, y);
            ASSERT_TRUE(px == qRgb(255, 255, 255) || px == qRgb(128, 128, 128)) << x << "," << y;
        }
    }
}

}  // namespace
}  // namespace mx::test
