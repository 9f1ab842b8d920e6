// The catch-up from the adapter's own memory whenever a session opens: the
// calls that rang while this program was not taking them.
#include "core/MainForm.h"

#include "core/CallShare.h"
#include "core/LastIncomingInfo.h"
#include "core/MemoryCatchUp.h"
#include "core/RecoveredCalls.h"
#include "data/KsoCtiDb.h"
#include "data/NumberRules.h"
#include "data/PhoneBook.h"
#include "settings/AppSettings.h"
#include "settings/Logging.h"

#include <algorithm>
#include <fmt/printf.h>

void TMainForm::StartMemoryCatchUp() {
  if (!AppSettings.MemoryCatchUp || AppClosing || !CtiDb)
    return;
  Log(llDebug, "本体メモリの着信の確認を始めます。");
  catchUp_->Start(
      MemorySession(), [this](const std::vector<TStoredCall>& calls) { MemoryCatchUpRead(calls); },
      [](const std::string& message) {
        LogFmt(llWarning, "本体メモリの着信を読み込めませんでした。\r\n[原因] %s", message);
      });
}

// Recorded silently: the calls are old, so nothing rings or pops up. A
// call shown whose row still waits (for its paint, or for the database) is
// not in the history yet: the records wait for it, or its record would
// become a second row of the same call.
void TMainForm::MemoryCatchUpRead(const std::vector<TStoredCall>& calls) {
  if (!pendingWrites_.empty() || writingPending_) {
    heldCatchUp_ = calls;
    return;
  }
  try {
    const std::vector<TRecoveredCall> changed = RecordRecoveredCalls(calls);
    const auto added = std::count_if(changed.begin(), changed.end(),
                                     [](const TRecoveredCall& c) { return c.Added; });
    LogFmt(llInfo, "本体メモリの着信を確認しました。記録=%d, 追加=%d",
           static_cast<int>(calls.size()), static_cast<int>(added));
    share_->CallsRecovered(changed);
    if (added == 0)
      return;
    deps_.Windows->IncomingListReload();
    for (const TRecoveredCall& call : changed)
      if (const auto entry = call.Added && IsValidNumber(call.Call.Number)
                                 ? PhoneBook().Find(call.Call.Number)
                                 : nullptr)
        deps_.Windows->PhoneListRowSaved(*entry);
    ShowBalloon(
        "Teloria II",
        fmt::sprintf("本体メモリから %d 件の着信を履歴に追加しました。", static_cast<int>(added)),
        TBalloonIcon::Info);
  } catch (const std::exception& e) {
    LogException(llError, "本体メモリの着信を履歴に追加できませんでした。", e);
  }
}

// The writes that held the records back are done.
void TMainForm::RecordHeldCatchUp() {
  if (!heldCatchUp_)
    return;
  Post([this, calls = std::move(*heldCatchUp_)] { MemoryCatchUpRead(calls); });
  heldCatchUp_.reset();
}
