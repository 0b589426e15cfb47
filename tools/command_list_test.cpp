#include "tools/command_list.h"

#include <gtest/gtest.h>

#include <cctype>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "runtime/core/dispatch.h"
#include "runtime/core/image.h"

namespace {

std::string ReadFile(const std::string& name) {
  std::ifstream in(std::string(ZORVAT_COMMAND_LIST_DIR) + "/" + name, std::ios::binary);
  std::stringstream content;
  content << in.rdbuf();
  return content.str();
}

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::stringstream in(text);
  for (std::string line; std::getline(in, line, '\n');) lines.push_back(line);
  return lines;
}

// The field split of the command-list file: commas separate fields, commas
// inside a quoted run do not, leading blanks are skipped, empty fields dropped.
std::vector<std::string> SplitFields(const std::string& line) {
  std::vector<std::string> fields;
  std::string field;
  char quote = 0;
  auto finish = [&] {
    size_t start = field.find_first_not_of(" \r\n");
    if (start != std::string::npos) fields.push_back(field.substr(start));
    field.clear();
  };
  for (char c : line) {
    if (quote == 0 && c == ',') {
      finish();
      continue;
    }
    if (c == quote) {
      quote = 0;
    } else if (quote == 0 && (c == '\'' || c == '"')) {
      quote = c;
    }
    field += c;
  }
  finish();
  return fields;
}

bool IsNumber(const std::string& text) {
  return !text.empty() && text.size() < 10 &&
         std::all_of(text.begin(), text.end(), [](char c) { return std::isdigit(c) != 0; });
}

bool IsPrintableAscii(const std::string& text) {
  return std::all_of(text.begin(), text.end(),
                     [](char c) { return c == '\n' || (c >= 32 && c < 127); });
}

std::map<int, std::string> ReadDescriptions() {
  std::map<int, std::string> texts;
  for (const std::string& line : SplitLines(ReadFile("CommandDescriptions.txt"))) {
    size_t comma = line.find(',');
    EXPECT_NE(comma, std::string::npos) << line;
    if (comma == std::string::npos) continue;
    EXPECT_TRUE(IsNumber(line.substr(0, comma))) << line;
    EXPECT_LT(comma + 1, line.size()) << "empty description: " << line;
    EXPECT_TRUE(texts.emplace(std::stoi(line.substr(0, comma)), line.substr(comma + 1)).second)
        << "index given twice: " << line;
  }
  return texts;
}

// Checks one parameter description, FLAGS[n]`default`, and returns its flags.
std::string CheckParam(const std::string& field, const std::map<int, std::string>& texts,
                       std::set<int>* used) {
  size_t open = field.find('[');
  size_t close = field.find(']');
  std::string flags = field.substr(0, open);
  EXPECT_TRUE(open != std::string::npos && close != std::string::npos && open < close) << field;
  if (open == std::string::npos || close == std::string::npos || open > close) return flags;
  EXPECT_EQ(flags.find_first_not_of("+*!#$den"), std::string::npos) << field;
  std::string index = field.substr(open + 1, close - open - 1);
  EXPECT_TRUE(IsNumber(index) && texts.count(std::stoi(index)) == 1) << field;
  if (IsNumber(index)) used->insert(std::stoi(index));
  std::string rest = field.substr(close + 1);
  EXPECT_TRUE(rest.empty() || (rest.size() > 2 && rest.front() == '`' && rest.back() == '`' &&
                               rest.find_first_of("`()[]{}", 1) == rest.size() - 1))
      << field;
  return flags;
}

TEST(CommandListFile, HasOneWellFormedLinePerCommandWithTheDispatchCounts) {
  std::string content = ReadFile("Commands.txt");
  std::map<int, std::string> texts = ReadDescriptions();
  ASSERT_FALSE(content.empty());
  EXPECT_TRUE(IsPrintableAscii(content));
  std::vector<std::string> lines = SplitLines(content);
  ASSERT_EQ(lines.size(), 363u);
  std::set<std::string> names;
  std::set<int> used;
  for (uint32_t code = 1; code <= 363; ++code) {
    const std::string& line = lines[code - 1];
    std::vector<std::string> fields = SplitFields(line);
    ASSERT_GE(fields.size(), 5u) << line;
    EXPECT_EQ(fields[0], std::to_string(code)) << line;
    EXPECT_TRUE(IsNumber(fields[1])) << line;
    uint32_t count = kDispatchTable[code].ParamCount;
    bool openEnded = count == kOpenEnded;
    if (openEnded) {
      EXPECT_TRUE(fields[2] == "?" || fields[2] == "$") << line;
    } else {
      EXPECT_EQ(fields[2], std::to_string(count)) << line;
    }
    std::string upper;
    for (char c : fields[3])
      upper += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    EXPECT_TRUE(names.insert(upper).second) << "name given twice: " << line;
    EXPECT_TRUE(IsNumber(fields[4]) && texts.count(std::stoi(fields[4])) == 1) << line;
    if (IsNumber(fields[4])) used.insert(std::stoi(fields[4]));
    if (!openEnded)
      EXPECT_EQ(fields.size() - 5, count) << "one description per parameter: " << line;
    for (size_t i = 5; i < fields.size(); ++i) {
      std::string flags = CheckParam(fields[i], texts, &used);
      bool blockAndText =
          flags.find('!') != std::string::npos && flags.find('$') != std::string::npos;
      EXPECT_FALSE(blockAndText && fields[2] != "$")
          << "a double-quoted literal would compile to a block: " << line;
    }
  }
  EXPECT_EQ(used.size(), texts.size()) << "descriptions that no line refers to";
}

TEST(CommandListFile, KeywordFileHoldsTheThirteenDefaults) {
  const char* kDefaults[] = {"SECTION", "CODE", "DATA", "&FILE",    "&FILESIZE", "&DB",  "&DW",
                             "&DD",     "&DI",  "&DF",  "&INCLUDE", "&USES",     "&ICON"};
  std::vector<std::string> lines = SplitLines(ReadFile("CompilerKeywords.txt"));
  ASSERT_EQ(lines.size(), 13u);
  for (size_t i = 0; i < lines.size(); ++i) {
    EXPECT_EQ(lines[i], std::to_string(i) + "," + kDefaults[i]);
  }
}

const std::vector<TFamilyRow> kFamilies = {{7, "Fam", "Family"}};

bool Build(const std::vector<TCommandRow>& rows, TCommandTable* table, std::string* error) {
  return BuildCommandTable(kFamilies, rows, table, error);
}

TEST(CommandTable, WritesFixedPositionsWithSharedDescriptionIndexes) {
  std::vector<TCommandRow> rows = {
      {0, "Trap", "Fam", "0", "Portable", "Traps", ""},
      {1, "Beep", "Fam", "2", "NotBuilt", "Beeps", "$ text;#de tone `0`"},
      {2, "Join", "Fam", "OPEN_U", "Windows", "Joins", "# result;...;$ text"},
      {3, "Sum", "Fam", "OPEN", "Portable", "Sums", "# result;...;+*d operand `1`"},
  };
  TCommandTable table;
  std::string error;
  ASSERT_TRUE(Build(rows, &table, &error)) << error;
  TCommandListFiles files = WriteCommandList(table);
  EXPECT_EQ(files.CommandList,
            "1,7,2,Beep,1,$[2],#de[3]`0`\n"
            "2,7,$,Join,4,#[5]\n"
            "3,7,?,Sum,6,#[5]");
  EXPECT_EQ(files.Descriptions, "1,Beeps\n2,text\n3,tone\n4,Joins\n5,result\n6,Sums");
}

TEST(CommandTable, RefusesRowsThatWouldMisleadTheCompilerOrTheReader) {
  struct TCase {
    const char* Params;
    const char* ParamList;
    const char* Why;
  };
  const TCase kCases[] = {
      {"1", "#de count `1,2`", "a comma in a default splits the line"},
      {"1", "#de count `(x)`", "parentheses in a default become an input method"},
      {"1", "!$ name", "a double-quoted literal would compile to a block"},
      {"OPEN", "# result;...;$ text", "repeating texts need OPEN_U"},
      {"OPEN_U", "! block;...;$ text", "OPEN_U turns the block's literals into texts"},
      {"1", "#e count", "the list may end where no default exists"},
      {"2", "#de a `1`;# b", "a position after a possible end needs e"},
      {"1", "#d count", "d without a default"},
      {"1", "# count `1`", "a default without d"},
      {"2", "# count", "fewer positions than parameters"},
      {"OPEN", "# result", "an open-ended command without its repeating group"},
      {"1", "# result;...;# item", "a repeating group in a fixed command"},
      {"1", "#x count", "an unknown flag"},
      {"1", "de count `1`", "no kind flag"},
      {"1", "count", "no flags"},
      {"1", "# caf\xc3\xa9", "not ASCII"},
      {"SOME", "# count", "an unreadable count"},
  };
  for (const TCase& c : kCases) {
    TCommandTable table;
    std::string error;
    EXPECT_FALSE(
        Build({{9, "Bad", "Fam", c.Params, "Portable", "Does", c.ParamList}}, &table, &error))
        << c.Why;
    EXPECT_NE(error.find("command 9 Bad"), std::string::npos) << c.Why << ": " << error;
  }
  TCommandTable table;
  std::string error;
  EXPECT_FALSE(Build({{9, "Bad", "Other", "0", "Portable", "Does", ""}}, &table, &error));
  EXPECT_FALSE(Build({{9, "Bad", "Fam", "0", "Soon", "Does", ""}}, &table, &error));
  EXPECT_FALSE(Build({{9, "Bad", "Fam", "0", "Portable", "", ""}}, &table, &error));
}

TEST(CommandTable, ReferenceShowsRepeatingGroupsStatusAndEscapedText) {
  std::vector<TCommandRow> rows = {
      {5, "Pick", "Fam", "OPEN", "NotBuilt", "Picks a|b",
       "# selector;...;+d case `previous + 1`;# address"},
  };
  TCommandTable table;
  std::string error;
  ASSERT_TRUE(Build(rows, &table, &error)) << error;
  std::string reference = WriteCommandReference(table);
  EXPECT_NE(reference.find("## Family\n"), std::string::npos);
  EXPECT_NE(reference.find("### Pick\n\nCode 5, not built yet"), std::string::npos);
  EXPECT_NE(reference.find("Picks a\\|b."), std::string::npos);
  EXPECT_NE(reference.find("`Pick p1`, then any number of `r1 r2`, then `.`"), std::string::npos);
  EXPECT_NE(reference.find("| r1 | integer | yes |  | `previous + 1` | case |"), std::string::npos);
  EXPECT_EQ(reference.back(), '\n');
}

}  // namespace
