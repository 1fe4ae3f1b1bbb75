#include <gtest/gtest.h>

#include <random>

#include "core/native_path.h"

namespace mx {
namespace {

TEST(NativePath, EveryByteStringRoundTrips) {
    const QByteArray fixed[] = {
        "plain.avi",
        "caf\xE9.avi",            // Latin-1 e-acute
        "\xC3\xA9t\xC3\xA9.mp4",  // valid UTF-8
        "\xED\xB2\x80",           // UTF-8 of a surrogate: not valid, escaped bytewise
        "\xC0\xAF",               // overlong "/"
        "\xF4\x90\x80\x80",       // above U+10FFFF
        "\xF0\x9F\x8E\xA5 clip",  // a code point beyond the BMP
        "\xE2\x82",               // cut sequence at the end
        QByteArray("a\x00"
                   "b",
                   3),
    };
    for (const QByteArray& bytes : fixed) {
        EXPECT_EQ(encodeNativePath(decodeNativePath(bytes)), bytes) << bytes.toHex().constData();
    }
    std::mt19937 random(7);
    for (int round = 0; round < 2000; ++round) {
        QByteArray bytes(int(random() % 12), '\0');
        for (char& c : bytes) {
            c = char(random() % 4 == 0 ? random() % 0x80 : 0x80 + random() % 0x80);
        }
        ASSERT_EQ(encodeNativePath(decodeNativePath(bytes)), bytes) << bytes.toHex().constData();
    }
}

TEST(NativePath, TextDecodesAsTextAndOnlyForeignBytesAreEscaped) {
    EXPECT_EQ(decodeNativePath("\xC3\xA9t\xC3\xA9"), QString::fromUtf8("\xC3\xA9t\xC3\xA9"));
    EXPECT_FALSE(hasEscapedBytes(decodeNativePath("\xF0\x9F\x8E\xA5")));

    const QString latin = decodeNativePath("caf\xE9.avi");
    ASSERT_EQ(latin.size(), 8);
    EXPECT_EQ(latin[3].unicode(), 0xDCE9);
    EXPECT_TRUE(hasEscapedBytes(latin));
    EXPECT_EQ(displayPath(latin), QString::fromUtf8("caf\xEF\xBF\xBD.avi"));
    EXPECT_EQ(displayPath(QStringLiteral("clip.avi")), QStringLiteral("clip.avi"));
}

TEST(NativePath, TextFromElsewhereEncodesAsUtf8) {
    const QString typed = QString::fromUtf8("\xD0\x9A\xD0\xBB\xD0\xB8\xD0\xBF/\xF0\x9F\x8E\xA5");
    EXPECT_EQ(encodeNativePath(typed), typed.toUtf8());
    // A lone surrogate no decoding made has no bytes: it is written as U+FFFD.
    EXPECT_EQ(encodeNativePath(QString(QChar(0xD800))), QByteArray("\xEF\xBF\xBD"));
}

}  // namespace
}  // namespace mx
