#include <gtest/gtest.h>

TEST(SettingsBuild, Links) { SUCCEED(); }
