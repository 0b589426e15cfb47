// The table of meanings is held to the headers that define the codes: a code
// added to the runtime or the compiler without a meaning, or a meaning that
// says something else than the header, fails here.
#include "host/status_meanings.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>

namespace {

struct THeaderCode {
  uint32_t Code;
  std::string Comment;
};

// Enumerators "kPrefixName = N,  // comment" of a header, where the
// formatter may have put the value on a line of its own.
std::map<std::string, THeaderCode> HeaderCodes(const std::string& file, const std::string& prefix) {
  std::ifstream in(std::string(ZORVAT_SOURCE_DIR) + "/" + file);
  EXPECT_TRUE(in.good()) << file;
  std::stringstream text;
  text << in.rdbuf();
  const std::string source = text.str();
  std::map<std::string, THeaderCode> codes;
  std::regex row("(" + prefix + "\\w+)\\s*=\\s*(\\d+),[ \\t]*(?://[ \\t]*([^\\n]*))?");
  for (auto m = std::sregex_iterator(source.begin(), source.end(), row);
       m != std::sregex_iterator(); ++m) {
    codes[(*m)[1]] = {uint32_t(std::stoul((*m)[2])), (*m)[3]};
  }
  return codes;
}

// The tables use ASCII; the headers' comments may use an en dash.
std::string Ascii(std::string text) {
  for (size_t at; (at = text.find("\xE2\x80\x93")) != std::string::npos;) text.replace(at, 3, "-");
  return text;
}

void ExpectTableMatches(const TStatusMeaning* rows, size_t count,
                        const std::map<std::string, THeaderCode>& header, bool sameWords) {
  std::set<std::string> seen;
  std::set<uint32_t> codes;
  for (size_t i = 0; i < count; ++i) {
    const TStatusMeaning& row = rows[i];
    EXPECT_TRUE(codes.insert(row.Code).second) << "code " << row.Code << " twice";
    EXPECT_TRUE(seen.insert(row.Name).second) << row.Name << " twice";
    auto found = header.find(row.Name);
    if (found == header.end()) {
      ADD_FAILURE() << row.Name << " is in the table but not in the header";
      continue;
    }
    EXPECT_EQ(found->second.Code, row.Code) << row.Name;
    EXPECT_FALSE(std::string(row.Meaning).empty()) << row.Name;
    if (sameWords) {
      EXPECT_EQ(Ascii(found->second.Comment), row.Meaning) << row.Name;
    }
  }
  for (const auto& [name, code] : header) {
    EXPECT_TRUE(seen.count(name)) << name << " (" << code.Code << ") has no meaning in the table";
  }
}

TEST(StatusMeanings, EveryRuntimeStatusHasTheHeadersMeaning) {
  auto header = HeaderCodes("base/status.h", "kStatus");
  ASSERT_GT(header.size(), 90u);
  ExpectTableMatches(kRuntimeStatusMeanings, kRuntimeStatusMeaningCount, header, true);
  EXPECT_STREQ(RuntimeStatusMeaning(1011),
               "index out of range, or an item asked of an empty array");
  EXPECT_EQ(RuntimeStatusMeaning(7), nullptr);  // a script's own exit code
}

TEST(StatusMeanings, EveryCompilerCodeIsListed) {
  auto header = HeaderCodes("compiler/compile_codes.h", "kCompile");
  ASSERT_GT(header.size(), 30u);
  ExpectTableMatches(kCompileCodeMeanings, kCompileCodeMeaningCount, header, false);
}

}  // namespace
