#include "data/CsvFileSaver.h"

#include "base/CodePage.h"
#include "data/FileBytes.h"

#include <fmt/printf.h>
#include <unistd.h>

namespace {

void AppendField(std::string& text, const std::string& field) {
  const std::string bytes = Utf8ToCp932(field);
  if (bytes.find_first_of("\r\n,\"") == std::string::npos) {
    text += bytes;
    return;
  }
  text += '"';
  for (const char c : bytes) {
    if (c == '"')
      text += '"';
    text += c;
  }
  text += '"';
}

std::string CsvText(const TCsvRows& rows) {
  std::string text;
  for (int r = 0; r < rows.Count(); ++r) {
    const TCsvRow& row = rows[r];
    for (int f = 0; f < row.Count(); ++f) {
      if (f > 0)
        text += ',';
      AppendField(text, row.Fields()[static_cast<size_t>(f)]);
    }
    text += "\r\n";
  }
  return text;
}

bool WriteWholeFile(const std::string& fileName, const std::string& bytes) {
  // Replacing by rename would otherwise overwrite a file the user protected.
  if (::access(fileName.c_str(), F_OK) == 0 && ::access(fileName.c_str(), W_OK) != 0)
    return false;
  TPendingFile file(fileName);
  return file.Write(bytes) && file.Replace();
}

} // namespace

void TCsvFileSaver::Save(const std::string& fileName, const TCsvRows& rows) {
  if (!WriteWholeFile(fileName, CsvText(rows)))
    throw Exception(fmt::sprintf("ファイル %s を作成できません", fileName));
}
