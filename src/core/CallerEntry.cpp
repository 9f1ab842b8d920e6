#include "core/CallerEntry.h"

#include "base/Text.h"
#include "data/NumberRules.h"
#include "data/PhoneBook.h"
#include "settings/AppSettings.h"
#include "settings/Logging.h"

std::unique_ptr<TTableRow> NewCallerRow(const std::string& number, const std::string& when,
                                        const TTableRow* senderEntry) {
  auto row = std::make_unique<TTableRow>();
  if (senderEntry != nullptr)
    for (const char* key : {"owner_name", "memo1", "memo2", "memo3"})
      row->SetValue(key, senderEntry->GetValue(key));
  row->SetValue("phone_number", number);
  row->SetValue("created_date", when);
  row->SetValue("last_updated", when);
  return row;
}

bool RegisterNewCaller(const TTableRow& entry) {
  const std::string problem = TPhoneBook::Problem(entry);
  if (problem.empty()) {
    PhoneBook().Register(entry);
    return true;
  }
  LogFmt(llWarning, "着信した電話番号を電話帳に登録できません。電話番号=[%s] [詳細] %s",
         WithoutControlCharacters(entry.GetValue("phone_number")), problem);
  return false;
}

TCallerEntry RegisterCaller(const std::string& number, const std::string& when,
                            const TTableRow* senderEntry, TCallStep& step) {
  TCallerEntry caller;
  const bool valid = IsValidNumber(number);
  if (valid) {
    step = TCallStep::FindEntry;
    caller.Row = PhoneBook().Find(number);
  }
  caller.InPhoneBook = caller.Row != nullptr;
  if (!caller.Row) {
    caller.Row = NewCallerRow(number, when, senderEntry);
    if (valid && !PhoneBook().IsFull(AppSettings.PhoneLimit)) {
      step = TCallStep::AddEntry;
      caller.InPhoneBook = caller.Registered = RegisterNewCaller(*caller.Row);
    } else if (valid) {
      LogFmt(llError, "電話番号登録件数が %d 件に達しているため登録できません。",
             AppSettings.PhoneLimit);
    }
  }
  step = TCallStep::UpdateLastIncoming;
  PhoneBook().RaiseLastIncomingDate(number, when);
  return caller;
}
