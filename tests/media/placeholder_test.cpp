#include <gtest/gtest.h>

TEST(MediaBuild, Links) { SUCCEED(); }
