#pragma once

#include <cstdint>
#include <map>
#include <string>

struct TShareRequest;

// A budget per sender (a desk) that refills with time: each holds up to
// `capacity` and regains `perSecond`, measured on the monotonic clock. What
// a sender may not spend now it may spend later; nothing queues here.
class TRateLimit {
public:
  TRateLimit(double capacity, double perSecond);

  enum class TVerdict {
    Allowed,
    Refused,      // the first refusal since the sender was last allowed: log it
    RefusedAgain, // log it quietly, if at all
  };
  // Spends `cost` of `key`'s budget when it holds that much.
  TVerdict Spend(const std::string& key, double cost);

  // Senders kept at most: beyond, those with a full budget are forgotten.
  static constexpr size_t KeptSenders = 1000;

private:
  struct TBudget {
    double Left = 0;
    int64_t AtMs = 0;
    bool Refused = false;
  };
  double LeftAt(const TBudget& budget, int64_t nowMs) const;
  void ForgetFull(int64_t nowMs);

  const double capacity_;
  const double perSecond_;
  std::map<std::string, TBudget> budgets_;
  bool crowded_ = false;
};

// A station answers each desk at most this many requests in a burst and
// this many a second on average: a tiny request may ask for a page of
// hundreds of entries.
inline constexpr double DeskRequestBurst = 200;
inline constexpr double DeskRequestsPerSecond = 50;

// Whether a desk's request may be answered now, under a limit made of the
// two above; a refusal is logged (once at the warning level while the desk
// goes on asking).
bool RequestAllowed(TRateLimit& limit, const TShareRequest& request);
