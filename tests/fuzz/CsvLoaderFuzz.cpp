// A phone-list file of any bytes: the loader either fails whole, with its
// message and without adding a row, or gives rows of valid UTF-8 in which
// every line break has become CR LF.
#include "FuzzSupport.h"
#include "data/CSVReader.h"
#include "data/CsvFileLoader.h"

namespace {

bool LineEndsAreCrLf(std::string_view field) {
  for (size_t i = 0; i < field.size(); ++i) {
    if (field[i] == '\r' && (i + 1 == field.size() || field[i + 1] != '\n'))
      return false;
    if (field[i] == '\n' && (i == 0 || field[i - 1] != '\r'))
      return false;
  }
  return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static TMemoryFile file;
  file.Write(AsText(data, size));
  TCsvRows rows;
  rows.Add(std::make_unique<TCsvRow>()); // a row already there stays alone
  try {
    TCsvFileLoader::Load(file.Path(), rows);
  } catch (const Exception& e) {
    Check(e.Message().starts_with("読み込みエラー発生\r\n"));
    Check(rows.Count() == 1);
    return 0;
  }
  for (int i = 1; i < rows.Count(); ++i) {
    const TCsvRow& row = rows[i];
    Check(row.Count() >= 1 && row.Count() <= TCSVReader::MaxFields);
    for (const std::string& field : row.Fields())
      Check(IsValidUtf8(field) && LineEndsAreCrLf(field));
  }
  return 0;
}
