#include "DataTestFolder.h"
#include "base/CodePage.h"
#include "data/CSVReader.h"
#include "data/CsvFileLoader.h"
#include "data/CsvFileSaver.h"

namespace {

using Fields = std::vector<std::string>;

class CsvTest : public TDataTestFolder {
protected:
  // Loads bytes written as a file; the rows as field lists.
  std::vector<Fields> Load(const std::string& bytes) {
    WriteFile(Path("in.csv"), bytes);
    TCsvRows rows;
    TCsvFileLoader::Load(Path("in.csv"), rows);
    std::vector<Fields> result;
    for (int i = 0; i < rows.Count(); ++i)
      result.push_back(rows[i].Fields());
    return result;
  }
  std::string LoadError(const std::string& bytes) {
    try {
      Load(bytes);
    } catch (const Exception& e) {
      return e.Message();
    }
    return "(no exception)";
  }
  std::string Save(const std::vector<Fields>& records) {
    TCsvRows rows;
    for (const Fields& fields : records) {
      auto row = std::make_unique<TCsvRow>();
      for (const std::string& f : fields)
        row->Add(f);
      rows.Add(std::move(row));
    }
    TCsvFileSaver::Save(Path("out.csv"), rows);
    return ReadFile(Path("out.csv"));
  }
};

TEST(TCsvRow, FieldsPastTheEnd) {
  TCsvRow row;
  EXPECT_EQ(row.GetField(3), "");
  row.SetField(2, "c");
  EXPECT_EQ(row.Count(), 3);
  EXPECT_EQ(row.Fields(), Fields({"", "", "c"}));
  EXPECT_EQ(row.GetField(-1), "");
  EXPECT_THROW(row.SetField(-1, "x"), Exception);
}

TEST_F(CsvTest, QuotedCommasDoubledQuotesAndMidFieldQuotes) {
  EXPECT_EQ(Load("a,\"b,c\",\"say \"\"hi\"\"\"\r\n"),
            std::vector<Fields>({{"a", "b,c", "say \"hi\""}}));
  EXPECT_EQ(Load("ab\"x,y\"z\r\n"), std::vector<Fields>({{"abx,yz"}}));
  EXPECT_EQ(Load("ab\"\"c\r\n"), std::vector<Fields>({{"ab\"c"}}));
  // A quote that begins a field opens quoting even when a quote follows.
  EXPECT_EQ(Load("\"\",x,\"\"\"\"\r\n"), std::vector<Fields>({{"", "x", "\""}}));
}

TEST_F(CsvTest, LineBreaksAndEmptyLines) {
  EXPECT_EQ(Load("a\nb\rc\r\n\r\nd"), std::vector<Fields>({{"a"}, {"b"}, {"c"}, {""}, {"d"}}));
  EXPECT_EQ(Load("\"one\ntwo\",x\r\n"), std::vector<Fields>({{"one\r\ntwo", "x"}}));
  EXPECT_EQ(Load(""), std::vector<Fields>());
  EXPECT_EQ(Load(std::string("a,b\r\nc\0d,e\r\n", 13)), std::vector<Fields>({{"a", "b"}, {"c"}}));
}

TEST_F(CsvTest, Cp932OnDiskUtf8InRows) {
  EXPECT_EQ(Load(Utf8ToCp932("山田,\"表示,圏外\"\r\n")),
            std::vector<Fields>({{"山田", "表示,圏外"}}));
  // Bytes that are not CP932 become "?" instead of failing the import.
  EXPECT_EQ(Load("a\x80z,\xFD\r\n"), std::vector<Fields>({{"a?z", "?"}}));
  EXPECT_EQ(Save({{"ソ", "😀"}}), Utf8ToCp932("ソ") + ",?\r\n");
}

TEST_F(CsvTest, FieldCountLimit) {
  const std::string accepted(255, ',');
  ASSERT_EQ(Load(accepted + "\r\n")[0].size(), 256u);
  EXPECT_EQ(LoadError("x\r\n" + accepted + ",\r\n"),
            "読み込みエラー発生\r\nfield count over 256. Row:2 Col:257");
  EXPECT_EQ(LoadError(accepted + ",x\r\n"),
            "読み込みエラー発生\r\nfield count over 256. Row:1 Col:257");
}

TEST_F(CsvTest, FieldByteLimit) {
  // Two-byte CP932 characters count as two bytes.
  const std::string longest = std::string(4093, 'a') + Utf8ToCp932("あ");
  ASSERT_EQ(Load("x," + longest + "\r\n")[0][1].size(), 4093u + 3u);
  EXPECT_EQ(LoadError("x,\"" + std::string(4095, 'a') + "\"\"\"\r\n"),
            "読み込みエラー発生\r\nfield buffer orverflow. Row:1 Col:2");
  EXPECT_EQ(LoadError("r\r\n" + std::string(4096, 'a')),
            "読み込みエラー発生\r\nfield buffer orverflow. Row:2 Col:1");
}

TEST_F(CsvTest, UnclosedQuoteFailsTheWholeLoad) {
  TCsvRows rows;
  WriteFile(Path("bad.csv"), "a,b\r\nc,\"open\r\nd\r\n");
  try {
    TCsvFileLoader::Load(Path("bad.csv"), rows);
    FAIL();
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message(), "読み込みエラー発生\r\nquoted field not closed. Row:2 Col:2");
  }
  EXPECT_EQ(rows.Count(), 0);
  EXPECT_THROW(TCSVReader().Parse("\"x"), ECSVError);
}

TEST_F(CsvTest, ReaderEndsALastRecordWithoutLineBreak) {
  TCSVReader reader;
  reader.Parse("a,b\r\nc,d");
  EXPECT_EQ(reader.Records(), std::vector<Fields>({{"a", "b"}, {"c", "d"}}));
}

TEST_F(CsvTest, MissingFileCannotBeOpened) {
  const std::string path = Path("none.csv");
  TCsvRows rows;
  try {
    TCsvFileLoader::Load(path, rows);
    FAIL();
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message(), "読み込みエラー発生\r\nファイル " + path + " は開けません");
  }
  EXPECT_THROW(TCsvFileLoader::Load(folder_, rows), Exception); // a folder
}

TEST_F(CsvTest, SaverQuotesOnlyWhereNeeded) {
  EXPECT_EQ(Save({{"a,b", " lead", "trail ", "q\"q", "cr\ronly"}, {}, {"x\r\ny", ""}}),
            "\"a,b\", lead,trail ,\"q\"\"q\",\"cr\ronly\"\r\n\r\n\"x\r\ny\",\r\n");
  EXPECT_EQ(Save({}), "");
}

// Fields as saved and as loaded back: line breaks load as CR LF.
const std::vector<std::pair<std::string, std::string>> TrickyFields = {
    {"\"", "\""},     {"\"abc", "\"abc"}, {"abc\"", "abc\""},   {"a\"b", "a\"b"},
    {"\"\"", "\"\""}, {"", ""},           {"\r", "\r\n"},       {"\r\n", "\r\n"},
    {"\n", "\r\n"},   {",", ","},         {"  lead", "  lead"}, {"山田 太郎", "山田 太郎"}};

// All tricky fields in one row, then each alone in a row of its own.
std::vector<Fields> TrickyRows(bool loaded) {
  std::vector<Fields> rows(1);
  for (const auto& [saved, back] : TrickyFields) {
    rows[0].push_back(loaded ? back : saved);
    rows.push_back({loaded ? back : saved});
  }
  return rows;
}

// CP932 bytes from a UTF-8 text whose CR and LF are written as \r and \n.
std::string Cp932File(std::string text) {
  for (const auto& [escape, byte] : {std::pair("\\r", "\r"), std::pair("\\n", "\n")})
    for (size_t at = text.find(escape); at != std::string::npos; at = text.find(escape, at))
      text.replace(at, 2, byte);
  return Utf8ToCp932(text);
}

TEST_F(CsvTest, SavedFileLoadsBackTheSameRows) {
  const std::vector<Fields> records = {
      {"0312345678", "山田 太郎", "a,b", "say \"x\"", "line1\r\nline2", ""}, {""}};
  EXPECT_EQ(Load(Save(records)), records);
  EXPECT_EQ(Load(Save(TrickyRows(false))), TrickyRows(true));
}

TEST_F(CsvTest, StandardWritersFilesLoadFieldForField) {
  // The tricky rows as Python's csv module writes them, minimal quoting and
  // quote-all.
  const std::string minimal =
      R"("""","""abc","abc""","a""b","""""",,"\r","\r\n","\n",",",  lead,山田 太郎\r\n)"
      R"(""""\r\n"""abc"\r\n"abc"""\r\n"a""b"\r\n""""""\r\n""\r\n"\r"\r\n"\r\n"\r\n"\n"\r\n)"
      R"(","\r\n  lead\r\n山田 太郎\r\n)";
  const std::string quoteAll =
      R"("""","""abc","abc""","a""b","""""","","\r","\r\n","\n",",","  lead","山田 太郎"\r\n)"
      R"(""""\r\n"""abc"\r\n"abc"""\r\n"a""b"\r\n""""""\r\n""\r\n"\r"\r\n"\r\n"\r\n"\n"\r\n)"
      R"(","\r\n"  lead"\r\n"山田 太郎"\r\n)";
  EXPECT_EQ(Load(Cp932File(minimal)), TrickyRows(true));
  EXPECT_EQ(Load(Cp932File(quoteAll)), TrickyRows(true));
}

TEST_F(CsvTest, FailedSaveLeavesTheOldFile) {
  WriteFile(Path("out.csv"), "old\r\n");
  TCsvRows rows;
  const std::string unwritable = Path("no-folder/out.csv");
  try {
    TCsvFileSaver::Save(unwritable, rows);
    FAIL();
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message(), "ファイル " + unwritable + " を作成できません");
  }
  EXPECT_THROW(TCsvFileSaver::Save(folder_, rows), Exception); // a folder
  EXPECT_EQ(ReadFile(Path("out.csv")), "old\r\n");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder_), {}), 1);
}

} // namespace
