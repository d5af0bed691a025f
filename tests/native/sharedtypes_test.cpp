#include "shared/sharedtypes.h"

#include <gtest/gtest.h>

TEST(ShortString, CutsAt255AndZeroesTheRest) {
  struct Case { size_t len; uint8_t stored; };
  for (Case c : {Case{0, 0}, Case{1, 1}, Case{254, 254}, Case{255, 255}, Case{300, 255}}) {
    ShortString s;
    std::memset(&s, 0xAA, sizeof s);
    s.Set(std::string(c.len, 'x'));
    EXPECT_EQ(s.Len, c.stored);
    EXPECT_EQ(s.Str(), std::string(c.stored, 'x'));
    for (size_t i = c.stored; i < sizeof s.Chars; ++i) ASSERT_EQ(s.Chars[i], 0) << c.len;
  }
}
