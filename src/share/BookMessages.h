#pragma once

#include <QJsonArray>
#include <QJsonObject>
#include <QJsonValue>
#include <cstdint>
#include <string>
#include <vector>

// The office's one phone book travels through the requests of
// ShareExchange.h to the station that holds it, under these subjects: a
// desk's edit (After: the edit, its desk and its place in that desk's
// order), the changes after a version (After: the version) and the whole
// book in pages (After: the last number of the page before).
inline constexpr const char* BookEditSubject = "book-edit";
inline constexpr const char* BookChangesSubject = "book-changes";
inline constexpr const char* WholeBookSubject = "book-whole";

// An entry as the office shares it: a desk's own command and last incoming
// date never travel.
struct TBookEntry {
  std::string Number;
  std::string OwnerName;
  std::string Memo1;
  std::string Memo2;
  std::string Memo3;
  std::string Created; // "" in a desk's edit: the book station dates it
  std::string Updated;

  bool operator==(const TBookEntry&) const = default;
};

// An edit of the book: entries saved ("save", "import", "register") or
// numbers deleted ("delete"), where and when it was made. At most
// MaxEditEntries of each. An entry or number that breaks the phone book's
// limits (BookEntryRules.h) is left out on reading and told in `Skipped`
// (its number and why), so that the rest still applies.
struct TBookChange {
  std::string Kind;
  std::vector<TBookEntry> Entries;
  std::vector<std::string> Numbers;
  std::string Station;
  std::string Edited;
  std::vector<std::string> Skipped = {};

  bool operator==(const TBookChange&) const = default;
};

// A desk's edit on its way: `Desk` names the desk's database (its station
// and a token), `Seq` its place among that database's edits.
struct TDeskEdit {
  std::string Desk;
  int64_t Seq = 0;
  TBookChange Change;
};

// A change the book station applied: the book's version it made, and the
// desk edit it came from (none for the station's own); `BookId` the book's
// random id ("" from a station that sent none).
struct TBookVersion {
  int64_t Version = 0;
  std::string Desk;
  int64_t Seq = 0;
  TBookChange Change;
  std::string BookId{};
};

// Each throws ECallMessageError saying what is wrong with anything else.
QJsonObject BookChangeJson(const TBookChange& change);
TBookChange BookChangeOf(const QJsonValue& value);
QJsonObject BookEntryJson(const TBookEntry& entry);
TBookEntry BookEntryOf(const QJsonValue& value);
QJsonObject DeskEditJson(const TDeskEdit& edit);
TDeskEdit DeskEditOf(const QJsonValue& value);
QJsonObject BookVersionJson(const TBookVersion& version);
TBookVersion BookVersionOf(const QJsonValue& value);
std::string EncodeBookVersion(const TBookVersion& version);
TBookVersion DecodeBookVersion(const std::string& payload);
// A version number in a request or an answer.
QJsonObject VersionJson(int64_t version);
int64_t VersionOf(const QJsonValue& value);
// The answer to a desk's edit: the last of that desk's edits applied.
QJsonObject SeqJson(int64_t seq);
int64_t SeqOf(const QJsonValue& value);
