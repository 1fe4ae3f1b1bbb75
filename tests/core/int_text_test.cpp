#include <gtest/gtest.h>

#include "core/error.h"
#include "core/int_text.h"

namespace mx {
namespace {

TEST(IntText, AcceptsBlanksSignDecimalAndHexPrefixes) {
    const std::pair<const char*, int> cases[] = {
        {"5", 5},
        {"  42", 42},
        {"-3", -3},
        {"+7", 7},
        {"$1F", 31},
        {"x10", 16},
        {"X10", 16},
        {"0x1f", 31},
        {"0X1F", 31},
        {"-$10", -16},
        {"2147483647", 2147483647},
        {"-2147483648", -2147483647 - 1},
        {"$FFFFFFFF", -1},
        {"007", 7},
    };
    for (const auto& [text, value] : cases) {
        EXPECT_EQ(StrToInt(QString::fromLatin1(text)), value) << text;
    }
}

TEST(IntText, RejectsEverythingElseWithTheUserMessage) {
    for (const char* text : {"", " ", "abc", "12 ", "1,000", "1.5", "-", "$", "0x", "2147483648",
                             "$100000000", "5a", "\t5"}) {
        EXPECT_FALSE(tryStrToInt(QString::fromLatin1(text)).has_value()) << text;
    }
    try {
        StrToInt(QStringLiteral("abc"));
        FAIL() << "no error";
    } catch (const ConvertError& e) {
        EXPECT_EQ(e.message(), "'abc' is not a valid integer value");
    }
}

}  // namespace
}  // namespace mx
