#include <gtest/gtest.h>

TEST(ResampleBuild, Links) { SUCCEED(); }
