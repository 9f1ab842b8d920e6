#pragma once

#include <cstdint>

#include "base/DateTime.h"

// Whole seconds from `earlier` to `later`: whole days times 86400 plus the
// difference of the times of day, milliseconds counted only when asked.
int32_t SecondsBetween(bool withMilliseconds, TDateTime later, TDateTime earlier);
