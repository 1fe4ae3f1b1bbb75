#include <gtest/gtest.h>

TEST(EngineBuild, Links) { SUCCEED(); }
