#include <gtest/gtest.h>

TEST(Codec, Placeholder) { SUCCEED(); }
