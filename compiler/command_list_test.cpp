// The command-list file and the keyword file.
#include "compiler/command_list.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "compiler/compilation.h"
#include "compiler/keywords.h"
#include "tests/support/image_builder.h"
#include "tests/support/test_harness.h"

namespace {

int32_t Parse(const std::string& text) {
  return ParseCommandList(reinterpret_cast<const uint8_t*>(text.data()), uint32_t(text.size()));
}

const TCmdInfo* Find(const std::u16string& name) {
  return FindCommand({name.data(), uint32_t(name.size())});
}

std::u16string Str(const TCompilerText& t) {
  return std::u16string(TextZ(t), t.Count);
}

std::u16string Keyword(uint32_t slot) {
  TTextSpan k = KeywordText(slot);
  return std::u16string(k.Chars, k.Length);
}

class CommandListFile : public ::testing::Test {
 protected:
  void TearDown() override {
    FreeCommandList();
    ResetKeywords();
  }
};

TEST_F(CommandListFile, FieldsAndParameterDescriptions) {
  ASSERT_EQ(Parse("$1F,2,3,First, 9,+d[5](x),  #e[6]{7}`d`'x,y' trailing,![0x8]{z}\r\n"
                  "12,3,?,NAME,7\n"
                  "13,,3,$,Unicode,,8\n"),
            0);
  const TCmdInfo* first = Find(u"first");
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first->CmdCode, 31u);
  EXPECT_EQ(first->CmdGroupCode, 2u);
  EXPECT_EQ(first->MaxParamCount, 3u);
  EXPECT_EQ(first->DescrIdx, 9u);
  EXPECT_FALSE(first->CompileToUnicodeStrings);
  ASSERT_EQ(first->MinParamCount, 3u);
  ASSERT_EQ(first->ParamInfo.Count, 3u);
  const TParamInfo& p0 = first->ParamInfo.Items[0];
  EXPECT_EQ(p0.PType, KindBit(ptInteger));
  EXPECT_TRUE(p0.MayBeDefault);
  EXPECT_FALSE(p0.MayBeEnd);
  EXPECT_EQ(Str(p0.InputMethod), u"x");
  EXPECT_EQ(p0.DescriptionIndex, 5);
  EXPECT_EQ(p0.DataControlsIndex, -1);
  // Quotes keep a comma inside the field; what is left after the parts is
  // ignored.
  const TParamInfo& p1 = first->ParamInfo.Items[1];
  EXPECT_EQ(p1.PType, KindBit(ptDWORD));
  EXPECT_TRUE(p1.MayBeEnd);
  EXPECT_EQ(Str(p1.InputMethod), u"#");
  EXPECT_EQ(p1.DescriptionIndex, 6);
  EXPECT_EQ(Str(p1.DefaultValue), u"d");
  EXPECT_EQ(p1.DataControlsIndex, 7);
  const TParamInfo& p2 = first->ParamInfo.Items[2];
  EXPECT_EQ(p2.PType, KindBit(ptBinBlock));
  EXPECT_EQ(Str(p2.InputMethod), u"!");
  EXPECT_EQ(p2.DescriptionIndex, 8);
  EXPECT_EQ(p2.DataControlsIndex, -1);

  const TCmdInfo* name = Find(u"NaMe");
  ASSERT_NE(name, nullptr);
  EXPECT_EQ(name->MaxParamCount, kOpenEndedParams);
  EXPECT_EQ(name->MinParamCount, 0u);
  EXPECT_TRUE(Find(u"unicode")->CompileToUnicodeStrings);
  EXPECT_EQ(Find(u"Unicod"), nullptr);
}

TEST_F(CommandListFile, InvalidLinesAreNumbered) {
  EXPECT_EQ(Parse(""), 1);
  EXPECT_EQ(Parse("1,1,1,A,0,#[0]\n\n2,1,1,B,0,#[0]\n"), 2);  // a blank line has no fields
  EXPECT_EQ(Parse("1,1,1,A,0,#[0]\n2,1,1,B,0,#\n"), 2);       // no [n] part
  EXPECT_EQ(Parse("1,1,1,A,0,#x[0]\n"), 1);                   // unknown flag
  EXPECT_EQ(Parse("1,1,1,A,0,#[z]\n"), 1);
  EXPECT_EQ(Parse("1,1,1,A\n"), 1);
  EXPECT_EQ(Parse("1 ,1,1,A,0\n"), 1);  // blanks at a field's end are kept
  EXPECT_EQ(Parse("1,1,x,A,0\n"), 1);
  EXPECT_EQ(Parse("1,1,1,A,y\n"), 1);
  EXPECT_EQ(Parse("0,0,0,A,0\n1,0,0,B,0,[1]\n2,0,0,C,0,[2],(\n"), 3);
  EXPECT_EQ(::CommandList().Count, 0u);  // a failed load leaves the list empty
  EXPECT_EQ(LoadCommandList(ToU16(TempPath("no_such_command_list.txt")).c_str()), -1);
}

// Every name of a long list in any letter case, names that only start like
// one, a name given twice, and a second list that replaces the first.
TEST_F(CommandListFile, NamesAreFoundInAnyCaseAndOnlyWhole) {
  std::string text;
  for (int i = 0; i < 400; ++i) text += std::to_string(i) + ",1,0,Cmd" + std::to_string(i) + ",0\n";
  text += "900,1,0,Twice,0\n901,1,0,TWICE,0\n902,1,0,\xC9t\xE9,0\n";
  ASSERT_EQ(Parse(text), 0);
  for (int i = 0; i < 400; ++i) {
    const std::u16string n = ToU16(std::to_string(i));
    ASSERT_NE(Find(u"cmd" + n), nullptr) << i;
    EXPECT_EQ(Find(u"cmd" + n)->CmdCode, uint32_t(i));
    EXPECT_EQ(Find(u"CMD" + n), Find(u"Cmd" + n));
  }
  EXPECT_EQ(Find(u"Cmd"), nullptr);
  EXPECT_EQ(Find(u"Cmd4000"), nullptr);
  EXPECT_EQ(Find(u"Cmd1 "), nullptr);
  EXPECT_EQ(Find(u""), nullptr);
  const TCmdInfo* twice = Find(u"twice");
  ASSERT_NE(twice, nullptr);
  EXPECT_TRUE(twice->CmdCode == 900 || twice->CmdCode == 901);
  EXPECT_EQ(Find(u"TWICE"), twice);
  EXPECT_EQ(Find(u"TwIcE"), twice);
  ASSERT_NE(Find(u"\u00E9T\u00C9"), nullptr);
  EXPECT_EQ(Find(u"\u00E9T\u00C9")->CmdCode, 902u);

  ASSERT_EQ(Parse("7,1,0,Other,0\n"), 0);
  EXPECT_EQ(Find(u"cmd1"), nullptr);
  EXPECT_EQ(Find(u"twice"), nullptr);
  ASSERT_NE(Find(u"OTHER"), nullptr);
  EXPECT_EQ(Find(u"OTHER")->CmdCode, 7u);
}

TEST_F(CommandListFile, KeywordsFromTheFileBesideTheCommandList) {
  const std::string commands = TempPath("cmds.txt");
  const std::string keywords = TempPath("CompilerKeywords.txt");
  // The keyword file lies in the folder of the command-list file.
  const std::string folder = commands.substr(0, commands.find_last_of("\\/") + 1);
  const std::string keywordFile = folder + "CompilerKeywords.txt";
  ASSERT_TRUE(WriteFileBytes(commands, Utf8("1,1,0,A,0\n")));
  Bytes utf16 = HexBytes("FF FE 35 00 2C 00 26 00 42 00 59 00 54 00 45 00 53 00");  // 5,&BYTES
  ASSERT_TRUE(WriteFileBytes(keywordFile, utf16));
  EXPECT_EQ(InitializeCompilerTables(ToU16(commands).c_str()), 0);
  for (uint32_t slot = 0; slot < 5; ++slot) EXPECT_EQ(Keyword(slot), u"") << slot;
  EXPECT_EQ(Keyword(5), u"&BYTES");
  EXPECT_EQ(Keyword(6), u"&DW");
  EXPECT_EQ(Keyword(12), u"&ICON");
  EXPECT_FALSE(KeywordEquals({u"", 0}, 0));

  ASSERT_TRUE(WriteFileBytes(keywordFile, Utf8("0,section\n1 x\n")));
  EXPECT_EQ(InitializeCompilerTables(ToU16(commands).c_str()), -1);
  EXPECT_EQ(Keyword(5), u"&BYTES");  // an invalid file changes nothing
  EXPECT_NE(::CommandList().Count, 0u);
  std::remove(commands.c_str());
  std::remove(keywordFile.c_str());
  EXPECT_EQ(InitializeCompilerTables(ToU16(commands).c_str()), -1);
}

TEST_F(CommandListFile, KeywordLines) {
  std::u16string thirteen;
  for (int i = 0; i < 13; ++i) thirteen += u"0,Sect\r\n";
  ASSERT_TRUE(ParseKeywords({thirteen.data(), uint32_t(thirteen.size())}));
  EXPECT_EQ(Keyword(0), u"Sect");
  for (uint32_t slot = 1; slot < kKeywordCount; ++slot) EXPECT_EQ(Keyword(slot), u"") << slot;
  std::u16string verbatim = u"3,&Embed it\n4";
  EXPECT_FALSE(ParseKeywords({verbatim.data(), uint32_t(verbatim.size())}));
  verbatim = u"3,&Embed it,too";
  ASSERT_TRUE(ParseKeywords({verbatim.data(), uint32_t(verbatim.size())}));
  EXPECT_EQ(Keyword(3), u"&Embed it,too");
  EXPECT_EQ(Keyword(0), u"");
  EXPECT_EQ(Keyword(4), u"&FILESIZE");
  EXPECT_TRUE(KeywordEquals({u"&embed IT,TOO", 13}, 3));
}

}  // namespace
