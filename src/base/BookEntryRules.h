#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// The limits of a phone-book entry: the same for the book on this PC (its
// import, edit window and new callers) and for the office's wire, so that
// whatever one PC's book holds can travel to every other. Characters are
// Unicode code points of UTF-8.
inline constexpr size_t MaxNumberChars = 20;
inline constexpr size_t MaxEntryTextChars = 1000;
// The most entries (or deleted numbers) one edit of the book holds, and
// the most bytes of their texts; a larger import or delete travels as
// several edits. Even written out with every byte escaped, such an edit
// stays well below the 16 MB a shared message may have.
inline constexpr size_t MaxEditEntries = 10000;
inline constexpr size_t MaxEditTextBytes = 2 * 1024 * 1024;

// Why a number cannot name an entry, in Japanese; "" when it can: it is
// empty, longer than MaxNumberChars, not UTF-8, or holds a control character.
std::string NumberProblem(std::string_view number);
// Why a name, memo or command (called `label` in the answer) cannot be
// stored; "" when it can: longer than MaxEntryTextChars, not UTF-8, or
// holding NUL (which the database cuts).
std::string EntryTextProblem(std::string_view label, std::string_view text);

struct TEntryTexts {
  std::string_view Number, OwnerName, Memo1, Memo2, Memo3, Command;
};
// The first problem of an entry's fields, naming the field; "" for none.
std::string EntryProblem(const TEntryTexts& entry);
