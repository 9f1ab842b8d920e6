#include "base/CodePage.h"

#include <gtest/gtest.h>

TEST(CodePage, JapaneseRoundTrips) {
  const std::string text = "着信履歴 ﾃｽﾄ ABC ～－―";
  const std::string sjis = Utf8ToCp932(text);
  EXPECT_EQ(Cp932ToUtf8(sjis), text);
  EXPECT_EQ(Utf8ToCp932("あ"), "\x82\xA0");
  EXPECT_EQ(Utf8ToCp932("ｱ"), "\xB1");
}

TEST(CodePage, ByteLengthCountsDoubleByteCharacters) {
  EXPECT_EQ(Cp932ByteLength("メモ1"), 5u);
  EXPECT_EQ(Cp932ByteLength("ｱｲｳ"), 3u);
  EXPECT_EQ(Cp932ByteLength(std::string(20, 'x')), 20u);
  EXPECT_EQ(Cp932ByteLength(""), 0u);
}

TEST(CodePage, UnmappableCharactersBecomeOneQuestionMarkEach) {
  EXPECT_EQ(Utf8ToCp932("a😀b"), "a?b");
  EXPECT_EQ(Utf8ToCp932("한글"), "??");
  // Malformed UTF-8: a lone continuation byte and a truncated sequence.
  EXPECT_EQ(Utf8ToCp932("a\x80"
                        "b"),
            "a?b");
  EXPECT_EQ(Utf8ToCp932("a\xE3\x81"), "a?");
}

TEST(CodePage, InvalidCp932BytesBecomeQuestionMarks) {
  EXPECT_EQ(Cp932ToUtf8("a\x80"
                        "b"),
            "a?b");
  EXPECT_EQ(Cp932ToUtf8("a\xA0"
                        "b"),
            "a?b");
  EXPECT_EQ(Cp932ToUtf8("a\xFD"
                        "b"),
            "a?b");
  // A lead byte at the very end is incomplete.
  EXPECT_EQ(Cp932ToUtf8("ab\x82"), "ab?");
}

TEST(CodePage, NonMicrosoftFormsMapToMicrosoftForms) {
  // WAVE DASH is stored as the full-width tilde and read back as it.
  EXPECT_EQ(Cp932ToUtf8(Utf8ToCp932("〜")), "～");
}

TEST(CodePage, LongTextConvertsCompletely) {
  std::string text;
  for (int i = 0; i < 5000; ++i)
    text += "電話";
  EXPECT_EQ(Cp932ToUtf8(Utf8ToCp932(text)), text);
  EXPECT_EQ(Cp932ByteLength(text), 20000u);
}

TEST(CodePage, LeadBytes) {
  EXPECT_TRUE(IsCp932LeadByte(0x81));
  EXPECT_TRUE(IsCp932LeadByte(0x9F));
  EXPECT_TRUE(IsCp932LeadByte(0xE0));
  EXPECT_TRUE(IsCp932LeadByte(0xFC));
  EXPECT_FALSE(IsCp932LeadByte(0x80));
  EXPECT_FALSE(IsCp932LeadByte(0xA0));
  EXPECT_FALSE(IsCp932LeadByte(0xB1));
  EXPECT_FALSE(IsCp932LeadByte(0x41));
}
