#include "base/BookEntryRules.h"

#include "base/Text.h"
#include "base/Utf8Text.h"

#include <utility>

std::string NumberProblem(std::string_view number) {
  const auto chars = Utf8CharCount(number);
  if (number.empty())
    return "電話番号がありません";
  if (!chars)
    return "電話番号がUTF-8ではありません";
  if (*chars > MaxNumberChars)
    return "電話番号が " + std::to_string(MaxNumberChars) + " 文字を超えています";
  if (WithoutControlCharacters(number) != number)
    return "電話番号に制御文字があります";
  return {};
}

std::string EntryTextProblem(std::string_view label, std::string_view text) {
  const std::string name(label);
  const auto chars = Utf8CharCount(text);
  if (!chars)
    return name + "がUTF-8ではありません";
  if (*chars > MaxEntryTextChars)
    return name + "が " + std::to_string(MaxEntryTextChars) + " 文字を超えています";
  if (text.find('\0') != std::string_view::npos)
    return name + "にNUL文字があります";
  return {};
}

std::string EntryProblem(const TEntryTexts& e) {
  if (std::string problem = NumberProblem(e.Number); !problem.empty())
    return problem;
  const std::pair<const char*, std::string_view> texts[] = {{"名前", e.OwnerName},
                                                            {"メモ1", e.Memo1},
                                                            {"メモ2", e.Memo2},
                                                            {"メモ3", e.Memo3},
                                                            {"コマンド", e.Command}};
  for (const auto& [label, text] : texts)
    if (std::string problem = EntryTextProblem(label, text); !problem.empty())
      return problem;
  return {};
}
