// A journal of pending writes of any bytes: every record read back is one a
// call from the adapter could make, its line written again reads back the
// same, and the records and refused lines account for every whole line.
#include "FuzzSupport.h"
#include "core/PendingRecord.h"

#include <algorithm>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes = AsText(data, size);
  const TPendingContent content = ParsePendingContent(bytes);
  const std::string_view text = bytes.substr(0, bytes.find('\0'));
  Check(content.End <= text.size() && (content.End == 0 || text[content.End - 1] == '\n'));
  Check(content.CutShort == (content.End < text.size()));
  const auto lines =
      static_cast<size_t>(std::count(text.begin(), text.begin() + content.End, '\n'));
  Check(content.Records.size() + content.Refused.size() == lines);
  for (const TPendingRecord& record : content.Records) {
    const TPendingContent again = ParsePendingContent(PendingRecordLine(record));
    Check(again.Records.size() == 1 && again.Refused.empty());
    Check(again.Records[0].Kind == record.Kind && again.Records[0].Seconds == record.Seconds &&
          again.Records[0].Call.Date == record.Call.Date &&
          again.Records[0].Call.Number == record.Call.Number);
  }
  return 0;
}
