#pragma once

#include "data/TableRow.h"
#include "share/CallCatchUp.h"

#include <string>
#include <vector>

// Calls of another station recorded without being shown (caught up, or
// delivered too late to ring): each once under that station's key, with its
// outcome there, and its number registered in the phone book as a shown
// call's would be (below the limit, with that station's name and memos;
// not while an office book is followed, which the station's live call
// registers it in), all in one transaction. Returns the entries added to the phone book;
// database failures raise.
std::vector<TTableRow> RecordStationCalls(const std::string& station,
                                          const std::vector<TCallRecord>& calls);

// This PC's own calls after `after` (null: all), as the history has them,
// for a desk that asks: at most `count`, among the newest IncomingLimit, in
// the mark's order.
std::vector<TCallRecord> OwnCallsAfter(const std::optional<TCallMark>& after, int count);
