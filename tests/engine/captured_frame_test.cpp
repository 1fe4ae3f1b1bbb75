#include <gtest/gtest.h>

#include <QtEndian>

#include "engine/captured_frame.h"
#include "engine/engine_fakes.h"

namespace mx::test {
namespace {

QRgb pattern(int x, int y) {
    return qRgb(10 * x + 1, 20 * y + 2, 100 + x + y);
}

void expectPattern(const QImage& image, int width, int height) {
    ASSERT_EQ(image.size(), QSize(width, height));
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            ASSERT_EQ(image.pixel(x, y), pattern(x, y)) << x << "," << y;
        }
    }
}

void setHeaderField32(QByteArray& dib, int offset, qint32 value) {
    qToLittleEndian<qint32>(value, dib.data() + offset);
}

TEST(CapturedFrame, ReadsPixelsFromTheEndOfTheBufferInEveryLayout) {
    // 32 bits, bottom-up, with masks between header and pixels that must be skipped.
    auto frame = frameFromDib(makeDib(5, 3, 32, pattern, 12));
    ASSERT_TRUE(frame);
    expectPattern(frame->image, 5, 3);
    EXPECT_FALSE(frame->topDown);
    EXPECT_EQ(frame->headerPart.size(), 52);

    // Top-down.
    frame = frameFromDib(makeDib(5, -3, 32, pattern));
    ASSERT_TRUE(frame);
    expectPattern(frame->image, 5, 3);
    EXPECT_TRUE(frame->topDown);

    // 24 bits with rows padded to 4 bytes (15 -> 16), and with packed rows.
    for (bool packed : {false, true}) {
        frame = frameFromDib(makeDib(5, 3, 24, pattern, 0, packed));
        ASSERT_TRUE(frame) << packed;
        expectPattern(frame->image, 5, 3);
        EXPECT_EQ(frame->bitsPerPixel, 24);
        EXPECT_EQ(frame->bmpFileBytes().size(), 14 + 40 + 16 * 3) << "saved rows are always padded";
    }
}

TEST(CapturedFrame, HeadersThatDoNotFitTheBufferGiveNoPicture) {
    const QByteArray good = makeDib(4, 4, 32, pattern);
    EXPECT_TRUE(frameFromDib(good));
    EXPECT_FALSE(frameFromDib(good.left(39)));
    EXPECT_FALSE(frameFromDib(good.left(good.size() - 1))) << "one byte short";

    struct Case {
        qint32 width;
        qint32 height;
    };
    // Products that overflow 32 bits (65536 x 65536 x 4 wraps to 0) or 64 bits never read
    // outside the buffer.
    for (const Case& c : {Case{65536, 65536}, Case{0x7fffffff, 0x7fffffff},
                          Case{0x7fffffff, INT32_MIN}, Case{0, 4}, Case{-4, 4}, Case{4, 0}}) {
        QByteArray dib = good;
        setHeaderField32(dib, 4, c.width);
        setHeaderField32(dib, 8, c.height);
        EXPECT_FALSE(frameFromDib(dib)) << c.width << " x " << c.height;
    }
}

TEST(CapturedFrame, UnsupportedFormatsGiveNoPicture) {
    QByteArray planes = makeDib(4, 4, 32, pattern);
    qToLittleEndian<quint16>(2, planes.data() + 12);
    EXPECT_FALSE(frameFromDib(planes));

    for (quint16 bits : {1, 8, 16, 48}) {
        QByteArray dib = makeDib(4, 4, 32, pattern);
        qToLittleEndian<quint16>(bits, dib.data() + 14);
        EXPECT_FALSE(frameFromDib(dib)) << bits;
    }
    QByteArray compressed = makeDib(4, 4, 32, pattern);
    qToLittleEndian<quint32>(4, compressed.data() + 16);  // a JPEG-compressed DIB
    EXPECT_FALSE(frameFromDib(compressed));
}

TEST(CapturedFrame, BmpOfAnUntouchedFrameIsTheCapturedDibUnderAFileHeader) {
    const QByteArray dib = makeDib(5, 3, 32, pattern, 12);
    const auto frame = frameFromDib(dib);
    ASSERT_TRUE(frame);
    const QByteArray bmp = frame->bmpFileBytes();
    ASSERT_EQ(bmp.size(), 14 + dib.size());
    EXPECT_EQ(bmp.left(2), "BM");
    EXPECT_EQ(qFromLittleEndian<quint32>(bmp.constData() + 2), quint32(bmp.size()));
    EXPECT_EQ(qFromLittleEndian<quint32>(bmp.constData() + 10), 14u + 52u);
    EXPECT_EQ(bmp.mid(14), dib);
}

TEST(CapturedFrame, BmpOfADrawnFrameKeepsTheCapturedFormat) {
    for (int height : {3, -3}) {
        auto frame = frameFromDib(makeDib(5, height, 24, pattern));
        ASSERT_TRUE(frame);
        frame->image.setPixel(0, 0, qRgb(255, 255, 255));
        frame->drawnOn = true;
        const QByteArray bmp = frame->bmpFileBytes();
        EXPECT_EQ(qFromLittleEndian<quint16>(bmp.constData() + 14 + 14), 24);
        EXPECT_EQ(qFromLittleEndian<qint32>(bmp.constData() + 14 + 8), height);
        QImage readBack;
        ASSERT_TRUE(readBack.loadFromData(bmp, "BMP"));
        EXPECT_EQ(readBack.pixel(0, 0), qRgb(255, 255, 255));
        EXPECT_EQ(readBack.pixel(4, 2), pattern(4, 2));
    }
}

}  // namespace
}  // namespace mx::test
