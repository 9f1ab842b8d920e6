#include "data/NumberRules.h"

#include <gtest/gtest.h>

TEST(NumberDisplayText, CodesBecomeWords) {
  EXPECT_EQ(NumberDisplayText("P"), "非通知");
  EXPECT_EQ(NumberDisplayText("O"), "表示圏外");
  EXPECT_EQ(NumberDisplayText("S"), "表示圏外");
  EXPECT_EQ(NumberDisplayText("C"), "公衆電話");
  EXPECT_EQ(NumberDisplayText("E"), "エラー");
}

TEST(NumberDisplayText, OnlyTheWholeTextIsACode) {
  EXPECT_EQ(NumberDisplayText("0312345678"), "0312345678");
  EXPECT_EQ(NumberDisplayText("p"), "p");
  EXPECT_EQ(NumberDisplayText("P1"), "P1");
  EXPECT_EQ(NumberDisplayText(" P"), " P");
  EXPECT_EQ(NumberDisplayText(""), "");
}

TEST(IsValidNumber, FirstCharacterMustBeAnAsciiDigit) {
  EXPECT_TRUE(IsValidNumber("0"));
  EXPECT_TRUE(IsValidNumber("0abc"));
  EXPECT_TRUE(IsValidNumber("9"));
  EXPECT_FALSE(IsValidNumber(""));
  EXPECT_FALSE(IsValidNumber("E"));
  EXPECT_FALSE(IsValidNumber("p"));
  EXPECT_FALSE(IsValidNumber(" 03"));
  EXPECT_FALSE(IsValidNumber("０３")); // full-width digits are not ASCII
}

TEST(NormaliseTypedNumber, KeepsDigitsOnly) {
  EXPECT_EQ(NormaliseTypedNumber("０３－１２３４（５６７８）"), "0312345678");
  EXPECT_EQ(NormaliseTypedNumber("03-1234-5678"), "0312345678");
  EXPECT_EQ(NormaliseTypedNumber("abc ｱ 電話"), "");
}

TEST(NormaliseImportNumber, IsCheckedAfterItsPunctuationGoes) {
  std::string number;
  EXPECT_TRUE(NormaliseImportNumber("(03)1234-5678", number));
  EXPECT_EQ(number, "0312345678");
  EXPECT_TRUE(NormaliseImportNumber("０３（１２３４）－５６７８", number));
  EXPECT_EQ(number, "0312345678");
  for (const char* bad : {"", "--", "03 1234", "03a1234", "０３電話", "+8131234", "P"})
    EXPECT_FALSE(NormaliseImportNumber(bad, number)) << bad;
}
