#include "core/CallerEntry.h"

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
      PhoneBook().Register(*caller.Row);
      caller.InPhoneBook = caller.Registered = true;
    } else if (valid) {
      LogFmt(llError, "電話番号登録件数が %d 件に達しているため登録できません。",
             AppSettings.PhoneLimit);
    }
  }
  step = TCallStep::UpdateLastIncoming;
  PhoneBook().RaiseLastIncomingDate(number, when);
  return caller;
}
