#pragma once

#include "base/DateTime.h"

// The one source of "now" for the whole program. Tests fix it; everything
// else reads it through Now(), so dates in files and the database follow.
TDateTime Now();
// Whole days of Now().
int Today();

// Test control: while a fixed time is set, Now() returns it.
void SetFixedNow(TDateTime value);
void AdvanceFixedNow(double days);
void ClearFixedNow();
