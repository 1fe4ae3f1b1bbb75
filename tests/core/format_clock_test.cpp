#include <gtest/gtest.h>

#include "core/format_clock.h"

namespace mx {
namespace {

TEST(FormatClock, RoundsHalfToEvenAndGrowsHours) {
    const std::pair<double, const char*> cases[] = {
        {0, "00:00:00"},      {9, "00:00:09"},       {10, "00:00:10"},    {0.5, "00:00:00"},
        {1.5, "00:00:02"},    {2.5, "00:00:02"},     {59.5, "00:01:00"},  {3599.4, "00:59:59"},
        {3600, "01:00:00"},   {3725, "01:02:05"},    {35999, "09:59:59"}, {36000, "10:00:00"},
        {359999, "99:59:59"}, {360000, "100:00:00"}, {95.48, "00:01:35"},
    };
    for (const auto& [seconds, text] : cases) {
        EXPECT_EQ(FormatClock(seconds), QString::fromLatin1(text)) << seconds;
    }
}

TEST(FormatGeneral, ShortestTextUpToFifteenDigits) {
    EXPECT_EQ(formatGeneral(95.48), "95.48");
    EXPECT_EQ(formatGeneral(0), "0");
    EXPECT_EQ(formatGeneral(1), "1");
    EXPECT_EQ(formatGeneral(18662400.0 / 8640320.0), "2.15992000296285");
    EXPECT_EQ(formatGeneral(4.77), "4.77");
}

}  // namespace
}  // namespace mx
