// Section declarations and the & directives.
#include "compiler/directives.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "compiler/compile_codes.h"
#include "compiler/keywords.h"
#include "tests/support/image_builder.h"
#include "tests/support/test_harness.h"

namespace {

class Directives : public ::testing::Test {
 protected:
  void SetUp() override { UseTestCommandList(); }
  void TearDown() override { ResetKeywords(); }

  // The bytes a data directive line emits, or the failure code.
  static Bytes Data(const std::string& line) {
    Compiled c("SECTION DATA d\n" + line);
    EXPECT_EQ(c.Result(), kCompileOk) << line;
    return c.Section("d");
  }
  static uint32_t Code(const std::string& script) {
    Compiled c(script);
    return c.Result();
  }
  static uint32_t DataCode(const std::string& line) { return Code("SECTION DATA d\n" + line); }
};

TEST_F(Directives, ValuesInTheirRanges) {
  EXPECT_EQ(Data("&DB 1 -1 255 \"A\" 'B'"), HexBytes("01 FF FF 41 00 42"));
  EXPECT_EQ(Data("&db -128 $7F ; comment"), HexBytes("80 7F"));
  EXPECT_EQ(DataCode("&DB 256"), kCompileDataNumberRange);
  EXPECT_EQ(DataCode("&DB -129"), kCompileDataNumberRange);
  EXPECT_EQ(DataCode("&DB x"), kCompileBadDataNumber);
  EXPECT_EQ(DataCode("&DB !00!"), kCompileBadDataNumber);
  EXPECT_EQ(Data("&DW \"ab\" 65535 -32768"), HexBytes("61 00 62 00 FF FF 00 80"));
  EXPECT_EQ(DataCode("&DW 65536"), kCompileDataNumberRange);
  EXPECT_EQ(DataCode("&DW 'a'"), kCompileBadDataNumber);
  EXPECT_EQ(Data("&DD 4294967295 -2147483648"), HexBytes("FF FF FF FF 00 00 00 80"));
  EXPECT_EQ(DataCode("&DD 4294967296"), kCompileDataNumberRange);
  EXPECT_EQ(DataCode("&DD -2147483649"), kCompileDataNumberRange);
  EXPECT_EQ(Data("&DI -1 $7FFFFFFFFFFFFFFF"),
            HexBytes("FF FF FF FF FF FF FF FF FF FF FF FF FF FF FF 7F"));
  EXPECT_EQ(DataCode("&DI 9223372036854775808"), kCompileBadDataNumber);
  EXPECT_EQ(Data("&DF 1.5 -2"), HexBytes("00 00 00 00 00 00 00 C0 FF 3F "
                                         "00 00 00 00 00 00 00 80 00 C0"));
  EXPECT_EQ(DataCode("&DF 1.5x"), kCompileBadDataNumber);
  EXPECT_EQ(Data("&DB"), Bytes());
  EXPECT_EQ(Data("&DB 7 \"\" '' \"\""), HexBytes("07"));  // empty strings emit nothing
  EXPECT_EQ(DataCode("&DB \"abc"), kCompileUnterminatedToken);
}

TEST_F(Directives, WhereDirectivesMayStand) {
  EXPECT_EQ(Code("&DB 1"), kCompileDataInCodeSection);
  EXPECT_EQ(Code("&DD"), kCompileDataInCodeSection);
  EXPECT_EQ(Code("&BOGUS 1"), kCompileUnknownDirective);
  EXPECT_EQ(Code("\t&INCLUDE whatever.zvs"), kCompileOk);  // not expanded, ignored
  EXPECT_EQ(Code("&USES \"unterminated"), kCompileUnterminatedToken);
  Compiled icons("&ICON first.ico\n&ICON \"second one.ico\"");
  ASSERT_EQ(icons.Result(), kCompileOk);
  EXPECT_EQ(std::u16string(TextZ(icons.Raw().NewIcon)), u"second one.ico");
}

TEST_F(Directives, RenamedKeywords) {
  std::u16string keywords = u"5,&BYTES\n0,PART\n2,DATA";
  ASSERT_TRUE(ParseKeywords({keywords.data(), uint32_t(keywords.size())}));
  Compiled c("PART DATA d\n&bytes 7");
  ASSERT_EQ(c.Result(), kCompileOk);
  EXPECT_EQ(c.Section("d"), HexBytes("07"));
  EXPECT_EQ(Code("PART DATA d\n&DB 7"), kCompileUnknownDirective);
  EXPECT_EQ(Code("SECTION DATA d"), kCompileUnknownLine);
  EXPECT_EQ(Code("PART DATA d\n&DW 7"), kCompileOk);  // slot 6 keeps its default
}

TEST_F(Directives, EmbeddedFiles) {
  const std::string path = TempPath("embedded.bin");
  ASSERT_TRUE(WriteFileBytes(path, HexBytes("00 01 02 FF")));
  EXPECT_EQ(Data("&FILE \"" + path + "\" \"" + path + "\""), HexBytes("00 01 02 FF 00 01 02 FF"));
  EXPECT_EQ(Data("&FILESIZE \"" + path + "\""), HexBytes("04 00 00 00 00 00 00 00"));
  std::remove(path.c_str());
  EXPECT_EQ(DataCode("&FILE \"" + path + "\""), kCompileFileMissing);
  EXPECT_EQ(DataCode("&FILESIZE \"" + path + "\""), kCompileFileMissing);
  UnreadablePath unreadable;
  EXPECT_EQ(DataCode("&FILE \"" + unreadable.Path + "\""), kCompileFileUnreadable);
}

TEST_F(Directives, SectionDeclarations) {
  Compiled c(
      "SECTION DATA gcs\n&DB 1\nSECTION CODE Other\nFramePush\n"
      "SECTION DATA gcs\n&DB 2\nSECTION code GCS\nFramePush");
  ASSERT_EQ(c.Result(), kCompileOk);
  EXPECT_EQ(c.Section("gcs"), HexBytes("01 02"));
  EXPECT_EQ(c.Section("Other"), HexBytes("07 00 00 00"));
  EXPECT_EQ(c.Section("GCS"), HexBytes("07 00 00 00"));
  ASSERT_EQ(c.Raw().Sections.Count, 5u);
  EXPECT_EQ(c.Raw().Sections.Items[3].Flags, 0u);
  EXPECT_EQ(c.Raw().Sections.Items[4].Flags, 1u);

  EXPECT_EQ(Code("SECTION DATA lds"), kCompileReservedSection);
  EXPECT_EQ(Code("SECTION CODE JTS"), kCompileReservedSection);
  EXPECT_EQ(Code("SECTION DATA GCS"), kCompileSectionKindClash);
  EXPECT_EQ(Code("SECTION DATA x\nSECTION CODE x"), kCompileSectionKindClash);
  EXPECT_EQ(Code("SECTION TEXT x"), kCompileBadSectionDeclaration);
  EXPECT_EQ(Code("SECTION DATA"), kCompileBadSectionDeclaration);
  EXPECT_EQ(Code("SECTION DATA x y"), kCompileBadSectionDeclaration);
  // A zero byte would end the name early in the image's directory.
  EXPECT_EQ(Code(std::string("SECTION DATA 'a\0b'\n", 19)), kCompileBadSectionDeclaration);
  EXPECT_EQ(Code("SECTION DATA x ; comment"), kCompileOk);
  EXPECT_EQ(Code("SECTION DATA \"x"), kCompileUnterminatedToken);
}

}  // namespace
