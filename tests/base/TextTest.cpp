#include "base/Text.h"

#include <gtest/gtest.h>

TEST(Text, TrimRemovesBlanksAndControlCharacters) {
  EXPECT_EQ(Trim(" \t\r\n abc \x01\x1F "), "abc");
  EXPECT_EQ(TrimLeft("  a b  "), "a b  ");
  EXPECT_EQ(TrimRight("  a b  "), "  a b");
  EXPECT_EQ(Trim("\x7F"
                 "a"),
            "\x7F"
            "a"); // DEL is above 32 and stays
  EXPECT_EQ(Trim("   "), "");
  EXPECT_EQ(Trim("　全角　"), "　全角　"); // ideographic space is not trimmed
}

TEST(Text, SameTextIgnoresAsciiCase) {
  EXPECT_TRUE(SameText("Settings", "SETTINGS"));
  EXPECT_FALSE(SameText("Settings", "Setting"));
  EXPECT_TRUE(StartsWithText("MirelKT5Port", "mirel"));
}

TEST(Text, SplitKeepsEmptyParts) {
  EXPECT_EQ(SplitString("a,,b,", ','), (std::vector<std::string>{"a", "", "b", ""}));
  EXPECT_EQ(SplitString("", ','), (std::vector<std::string>{""}));
}

TEST(Text, IntegersAreDecimalOrHexAfter0x) {
  int v = 0;
  EXPECT_TRUE(TryParseInt32("42", v));
  EXPECT_EQ(v, 42);
  EXPECT_TRUE(TryParseInt32("-7", v));
  EXPECT_EQ(v, -7);
  EXPECT_TRUE(TryParseInt32("0x10", v));
  EXPECT_EQ(v, 16);
  EXPECT_TRUE(TryParseInt32("0XfF", v));
  EXPECT_EQ(v, 255);
  EXPECT_TRUE(TryParseInt32("0xFFFFFFFF", v));
  EXPECT_EQ(v, -1);
  v = 99;
  EXPECT_FALSE(TryParseInt32("0x", v));
  EXPECT_FALSE(TryParseInt32("", v));
  EXPECT_FALSE(TryParseInt32("abc", v));
  EXPECT_FALSE(TryParseInt32("12abc", v));
  EXPECT_FALSE(TryParseInt32("2147483648", v));
  EXPECT_FALSE(TryParseInt32("0x100000000", v));
  EXPECT_EQ(v, 99);
}
