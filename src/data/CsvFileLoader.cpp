#include "data/CsvFileLoader.h"

#include "base/CodePage.h"
#include "data/CSVReader.h"
#include "data/FileBytes.h"

#include <fmt/printf.h>

namespace {

// The file as text lines joined again with CR LF: every line break (CR LF,
// lone CR, lone LF) becomes CR LF, the last line gets one too, and a zero
// byte ends the text.
std::string NormaliseLines(std::string_view bytes) {
  bytes = bytes.substr(0, bytes.find('\0'));
  std::string text;
  text.reserve(bytes.size() + bytes.size() / 16 + 2);
  for (size_t i = 0; i < bytes.size(); ++i) {
    const char c = bytes[i];
    if (c == '\r' || c == '\n') {
      text += "\r\n";
      if (c == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n')
        ++i;
    } else {
      text += c;
    }
  }
  if (!bytes.empty() && bytes.back() != '\r' && bytes.back() != '\n')
    text += "\r\n";
  return text;
}

std::vector<std::unique_ptr<TCsvRow>> ParseFile(const std::string& fileName) {
  std::string bytes;
  if (!ReadFileBytes(fileName, bytes))
    throw Exception(fmt::sprintf("ファイル %s は開けません", fileName));
  TCSVReader reader;
  reader.Parse(NormaliseLines(bytes));
  std::vector<std::unique_ptr<TCsvRow>> rows;
  rows.reserve(reader.Records().size());
  for (const TCSVReader::TRecord& record : reader.Records()) {
    auto row = std::make_unique<TCsvRow>();
    for (const std::string& field : record)
      row->Add(Cp932ToUtf8(field));
    rows.push_back(std::move(row));
  }
  return rows;
}

} // namespace

void TCsvFileLoader::Load(const std::string& fileName, TCsvRows& rows) {
  std::vector<std::unique_ptr<TCsvRow>> loaded;
  try {
    loaded = ParseFile(fileName);
  } catch (const std::exception& e) {
    throw Exception(std::string("読み込みエラー発生\r\n") + e.what());
  }
  for (auto& row : loaded)
    rows.Add(std::move(row));
}
