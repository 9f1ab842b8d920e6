#include "share/RateLimit.h"

#include "base/Clock.h"
#include "base/Text.h"
#include "settings/Logging.h"
#include "share/ShareExchange.h"

#include <algorithm>
#include <utility>

TRateLimit::TRateLimit(double capacity, double perSecond)
    : capacity_(capacity), perSecond_(perSecond) {}

double TRateLimit::LeftAt(const TBudget& budget, int64_t nowMs) const {
  return std::min(capacity_,
                  budget.Left + perSecond_ * static_cast<double>(nowMs - budget.AtMs) / 1000.0);
}

TRateLimit::TVerdict TRateLimit::Spend(const std::string& key, double cost) {
  const int64_t nowMs = MonotonicMs();
  if (budgets_.size() >= KeptSenders && budgets_.count(key) == 0) {
    ForgetFull(nowMs);
    // A flood of new senders while the kept ones are all busy.
    if (budgets_.size() >= KeptSenders)
      return std::exchange(crowded_, true) ? TVerdict::RefusedAgain : TVerdict::Refused;
    crowded_ = false;
  }
  TBudget& budget = budgets_.try_emplace(key, TBudget{capacity_, nowMs, false}).first->second;
  budget.Left = LeftAt(budget, nowMs);
  budget.AtMs = nowMs;
  if (budget.Left >= cost) {
    budget.Left -= cost;
    budget.Refused = false;
    return TVerdict::Allowed;
  }
  const TVerdict verdict = budget.Refused ? TVerdict::RefusedAgain : TVerdict::Refused;
  budget.Refused = true;
  return verdict;
}

void TRateLimit::ForgetFull(int64_t nowMs) {
  std::erase_if(budgets_,
                [&](const auto& entry) { return LeftAt(entry.second, nowMs) >= capacity_; });
}

bool RequestAllowed(TRateLimit& limit, const TShareRequest& request) {
  const TRateLimit::TVerdict verdict = limit.Spend(request.Desk, 1);
  if (verdict != TRateLimit::TVerdict::Allowed)
    LogFmt(verdict == TRateLimit::TVerdict::Refused ? llWarning : llDebug,
           "端末からの依頼が1秒あたりの上限 (%d 件) を超えたため、答えません。端末=[%s] 種類=[%s]",
           static_cast<int>(DeskRequestsPerSecond), WithoutControlCharacters(request.Desk),
           WithoutControlCharacters(request.What));
  return verdict == TRateLimit::TVerdict::Allowed;
}
