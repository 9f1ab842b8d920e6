#include "ui/IncomingListModel.h"

#include "data/NumberRules.h"
#include "data/TableRow.h"
#include "ui/ListTexts.h"

#include <algorithm>

namespace {

enum TCallText { DateText, NumberText, NameText, AnswerText, RingText, TalkText, CallTextCount };

std::string CallText(const TTableRow& call, int which) {
  const std::string state = call.GetValue("state");
  const bool ended = state == "2";
  const bool known = state == "1" || ended;
  const bool connected = call.GetValue("connected") == "1";
  switch (which) {
  case DateText:
    return ListDateText(call.GetValue("incoming_date"));
  case NumberText:
    return NumberDisplayText(call.GetValue("phone_number"));
  case NameText:
    return call.GetValue("owner_name");
  case AnswerText:
    return known ? (connected ? "応答" : "未応答") : "";
  case RingText:
    return known && connected ? DurationText(IntOrZero(call.GetValue("offhook_seconds"))) : "";
  case TalkText:
    return ended && connected ? DurationText(IntOrZero(call.GetValue("onhook_seconds"))) : "";
  default:
    return {};
  }
}

} // namespace

std::vector<std::string> IncomingCallTexts(const TTableRow& call) {
  std::vector<std::string> texts;
  for (int which = 0; which < CallTextCount; ++which)
    texts.push_back(CallText(call, which));
  return texts;
}

bool IncomingCallMatches(const TTableRow& call, const std::string& filter) {
  for (const int which : {DateText, NumberText, NameText, AnswerText})
    if (ContainsText(CallText(call, which), filter))
      return true;
  return false;
}

void TIncomingListModel::AddCall(const TTableRow& call, int limit) {
  InsertRow(0, call.Clone());
  const int kept = std::max(0, limit);
  if (Rows().Count() > kept)
    RemoveRows(kept, Rows().Count() - 1);
}

void TIncomingListModel::RemoveCalls(const std::vector<TCallKey>& calls) {
  RemoveRowsWhere([&](const TTableRow& shown) {
    return std::find(calls.begin(), calls.end(), CallKeyOf(shown)) != calls.end();
  });
}

bool TIncomingListModel::SameRow(const TTableRow& a, const TTableRow& b) const {
  return CallKeyOf(a) == CallKeyOf(b);
}

std::string TIncomingListModel::TextOf(const TTableRow& call, int column) const {
  return CallText(call, column - 1);
}

std::string TIncomingListModel::HeadingText(int column) const {
  static const char* const headings[ColumnCount] = {
      "", "  着信日時", "  電話番号", "  名前", "応答/未応答", "応答までの時間", "通話時間"};
  return column >= 0 && column < ColumnCount ? headings[column] : "";
}

std::string TIncomingListModel::WidestText(int column) const {
  static const char* const widest[ColumnCount] = {
      WidestRowNumberText, WidestDateText,    WidestNumberText, "", "未応答",
      WidestDurationText,  WidestDurationText};
  return column >= 0 && column < ColumnCount ? widest[column] : "";
}
