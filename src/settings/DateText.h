#pragma once

#include "base/DateTime.h"

#include <string_view>

// Reads "yyyy/mm/dd" with an optional "hh:nn[:ss[.zzz]]", the form dates are
// stored in; a blank text or anything else gives `defaultValue`.
TDateTime DateTimeFromTextDef(std::string_view text, TDateTime defaultValue);
