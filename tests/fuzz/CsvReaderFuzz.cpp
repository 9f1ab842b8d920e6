// The CSV state machine on any bytes: it either raises ECSVError or gives
// records within its limits.
#include "FuzzSupport.h"
#include "data/CSVReader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TCSVReader reader;
  try {
    reader.Parse(AsText(data, size));
  } catch (const ECSVError&) {
    return 0;
  }
  for (const TCSVReader::TRecord& record : reader.Records()) {
    Check(!record.empty() && record.size() <= static_cast<size_t>(TCSVReader::MaxFields));
    for (const std::string& field : record)
      Check(field.size() <= TCSVReader::MaxFieldBytes);
  }
  return 0;
}
