#pragma once

#include <cstdint>

#include "base/DateTime.h"

// The one source of "now" for the whole program. Tests fix it; everything
// else reads it through Now(), so dates in files and the database follow.
TDateTime Now();
// Whole days of Now().
int Today();
// Milliseconds of a clock that only runs forward and that setting the wall
// clock does not move (time since boot, suspend included): spans between
// events are measured on it, their dates taken from Now().
int64_t MonotonicMs();

// Test control: while a fixed time is set, Now() and MonotonicMs() return
// fixed values. Setting the time is a change of the wall clock and leaves
// the monotonic clock alone; advancing it is time passing and moves both.
void SetFixedNow(TDateTime value);
void AdvanceFixedNow(double days);
void ClearFixedNow();
