#include "compiler/statement.h"

#include <gtest/gtest.h>

#include "compiler/compile_codes.h"
#include "tests/support/test_harness.h"

namespace {

class Statement : public ::testing::Test {
 protected:
  void SetUp() override { UseTestCommandList(); }

  // The parameter bytes of a one-statement script, or the failure code.
  static Bytes Params(const std::string& line) {
    Compiled c(line);
    EXPECT_EQ(c.Result(), kCompileOk) << line;
    return c.FirstParams();
  }
  static uint32_t Code(const std::string& line) {
    Compiled c(line);
    return c.Result();
  }
};

TEST_F(Statement, PlainNumbersTakeTheirSmallestForm) {
  EXPECT_EQ(Params("PutAny 5"), HexBytes("0B 05"));
  EXPECT_EQ(Params("PutAny -128"), HexBytes("0B 80"));
  EXPECT_EQ(Params("PutAny 128"), HexBytes("0C 80 00"));
  EXPECT_EQ(Params("PutAny -129"), HexBytes("0C 7F FF"));
  EXPECT_EQ(Params("PutAny 32768"), HexBytes("07 00 80 00 00"));
  EXPECT_EQ(Params("PutAny 40000"), HexBytes("07 40 9C 00 00"));
  EXPECT_EQ(Params("PutAny 4294967295"), HexBytes("07 FF FF FF FF"));
  EXPECT_EQ(Params("PutAny -40000"), HexBytes("01 C0 63 FF FF FF FF FF FF"));
  EXPECT_EQ(Params("PutAny 5000000000"), HexBytes("01 00 F2 05 2A 01 00 00 00"));
  EXPECT_EQ(Params("PutAny $FF"), HexBytes("0C FF 00"));
  EXPECT_EQ(Params("PutAny 0x10"), HexBytes("0B 10"));
  EXPECT_EQ(Params("PutAny +7"), HexBytes("0B 07"));
  EXPECT_EQ(Params("PutAny 1.5"), HexBytes("02 00 00 00 00 00 00 00 C0 FF 3F"));
  EXPECT_EQ(Params("PutAny 1e3"), HexBytes("02 00 00 00 00 00 00 00 FA 08 40"));
  EXPECT_EQ(Code("PutAny abc"), kCompileNotANumber);
  EXPECT_EQ(Code("PutAny +1.5"), kCompileIntegerExpected);
  EXPECT_EQ(Code("PutAny -"), kCompileIntegerExpected);
}

TEST_F(Statement, PrefixedNumbersNeedTheirKind) {
  EXPECT_EQ(Params("PutInt %5"), HexBytes("01 05 00 00 00 00 00 00 00"));
  EXPECT_EQ(Params("PutInt %-1"), HexBytes("01 FF FF FF FF FF FF FF FF"));
  EXPECT_EQ(Code("PutInt %x"), kCompileIntegerExpected);
  EXPECT_EQ(Code("PutDword %5"), kCompileKindNotAllowed);
  EXPECT_EQ(Params("PutFloat *1.5"), HexBytes("02 00 00 00 00 00 00 00 C0 FF 3F"));
  EXPECT_EQ(Params("PutFloat *-2"), HexBytes("02 00 00 00 00 00 00 00 80 00 C0"));
  EXPECT_EQ(Code("PutFloat *x"), kCompileFloatExpected);
  EXPECT_EQ(Code("PutInt *1"), kCompileKindNotAllowed);
}

TEST_F(Statement, VariablesAndBit31Numbers) {
  EXPECT_EQ(Params("PutAny @7"), HexBytes("09 07 00 00 00"));
  EXPECT_EQ(Params("PutAny @_7"), HexBytes("09 07 00 00 80"));
  EXPECT_EQ(Params("PutAny @4294967295"), HexBytes("09 FF FF FF FF"));
  EXPECT_EQ(Code("PutAny @-1"), kCompileBadVariable);
  EXPECT_EQ(Code("PutAny @4294967296"), kCompileBadVariable);
  EXPECT_EQ(Code("PutAny @"), kCompileBadVariable);
  EXPECT_EQ(Code("PutAny @x"), kCompileBadVariable);
  EXPECT_EQ(Params("PutAny _5"), HexBytes("07 05 00 00 80"));
  EXPECT_EQ(Params("PutAny _2147483647"), HexBytes("07 FF FF FF FF"));
  EXPECT_EQ(Params("PutAny _-2"), HexBytes("07 FE FF FF FF"));
  EXPECT_EQ(Code("PutAny _2147483648"), kCompileBadVariable);
  EXPECT_EQ(Code("PutAny _"), kCompileBadVariable);
}

TEST_F(Statement, CharacterCodes) {
  EXPECT_EQ(Params("PutAny ~A"), HexBytes("0B 41"));
  EXPECT_EQ(Params("PutAny ~~A"), HexBytes("0C 41 00"));
  EXPECT_EQ(Params("PutAny ~~"), HexBytes("0B 7E"));
  EXPECT_EQ(Params("PutAny ~~\xE4\xB8\x80"), HexBytes("0C 00 4E"));  // U+4E00
  EXPECT_EQ(Code("PutAny ~\xE4\xB8\x80"), kCompileBadCharacter);     // no single ANSI byte
  EXPECT_EQ(Code("PutAny ~AB"), kCompileBadCharacter);
  EXPECT_EQ(Code("PutAny ~"), kCompileBadCharacter);
}

TEST_F(Statement, DateLiteral) {
  EXPECT_EQ(Params("PutInt #31.12.2020,23:59"), HexBytes("01 00 3A 72 E8 D0 DF D6 01"));
  EXPECT_EQ(Params("PutInt #1.1.1601"), HexBytes("01 00 00 00 00 00 00 00 00"));
  EXPECT_EQ(Params("PutInt #1.1.1601,0:0:1.5"), HexBytes("01 D0 59 99 00 00 00 00 00"));
  EXPECT_EQ(Code("PutInt #31.12"), kCompileBadDate);
  EXPECT_EQ(Code("PutInt #31.12.2020,"), kCompileBadDate);
  EXPECT_EQ(Code("PutInt #31.12.2020,1:2:3.4x"), kCompileBadDate);
  EXPECT_EQ(Code("PutInt #30.2.2021"), kCompileBadDate);
  // 29 February only in leap years, in both builds alike.
  EXPECT_EQ(Code("PutInt #29.2.2021"), kCompileBadDate);
  EXPECT_EQ(Code("PutInt #29.2.1900"), kCompileBadDate);
  EXPECT_EQ(Code("PutInt #29.2.2000"), kCompileOk);
  EXPECT_EQ(Code("PutInt #65537.1.2021"), kCompileBadDate);  // not cut to day 1
  EXPECT_EQ(Code("PutDword #1.1.2000"), kCompileKindNotAllowed);
}

TEST_F(Statement, TextsAndBlocksGoToLongData) {
  {
    Compiled c("PutText \"ab\"");
    ASSERT_EQ(c.Result(), kCompileOk);
    EXPECT_EQ(c.FirstParams(), HexBytes("0D 00 00 00 00"));
    EXPECT_EQ(c.Section("LDS"),
              HexBytes("02 00 00 00 03 00 00 00 03 00 00 00 00 00 00 00 61 00 62 00 00 00"));
  }
  {  // a block position without the text flag takes the text's UTF-16 bytes
    Compiled c("PutAny \"ab\"");
    EXPECT_EQ(c.FirstParams(), HexBytes("05 00 00 00 00"));
    EXPECT_EQ(c.Section("LDS"),
              HexBytes("01 00 00 00 06 00 00 00 06 00 00 00 00 00 00 00 61 00 62 00 00 00"));
  }
  {  // ... and the command's text flag makes it a text again
    Compiled c("VarAdd \"ab\" .");
    EXPECT_EQ(c.FirstParams(), HexBytes("0D 00 00 00 00 0A"));
  }
  {
    Compiled c("PutText 'a''#41'");
    EXPECT_EQ(c.FirstParams(), HexBytes("05 00 00 00 00"));
    EXPECT_EQ(c.Section("LDS"), HexBytes("01 00 00 00 05 00 00 00 05 00 00 00 00 00 00 00 "
                                         "61 27 41 00 00"));
  }
  {
    Compiled c("PutBlock !0A 0b!");
    EXPECT_EQ(c.Section("LDS"),
              HexBytes("01 00 00 00 04 00 00 00 04 00 00 00 00 00 00 00 0A 0B 00 00"));
  }
  {
    Compiled c("PutBlock !!");
    EXPECT_EQ(c.Section("LDS"), HexBytes("01 00 00 00 02 00 00 00 02 00 00 00 00 00 00 00 00 00"));
  }
  EXPECT_EQ(Code("PutBlock !0A0!"), kCompileOddHexDigits);
  EXPECT_EQ(Code("PutText !00!"), kCompileKindNotAllowed);
  EXPECT_EQ(Code("PutInt \"a\""), kCompileKindNotAllowed);
  EXPECT_EQ(Code("PutInt 'a'"), kCompileKindNotAllowed);
}

TEST_F(Statement, EqualLiteralsShareOneItem) {
  Compiled c("PutText \"same\"\nPutText \"other\"\nPutText \"same\"\nPutTextOrBlock \"other\"");
  ASSERT_EQ(c.Result(), kCompileOk);
  Bytes gcs = c.Section("GCS");
  ASSERT_EQ(gcs.size(), 4u * 9);
  EXPECT_EQ(Bytes(gcs.begin() + 4, gcs.begin() + 9), Bytes(gcs.begin() + 22, gcs.begin() + 27));
  EXPECT_NE(Bytes(gcs.begin() + 4, gcs.begin() + 9), Bytes(gcs.begin() + 13, gcs.begin() + 18));
  // The text-or-block position takes the UTF-16 bytes as a block: a new item.
  EXPECT_EQ(c.Section("LDS").size(), (16u + 10) + (16u + 12) + (16u + 12));
}

TEST_F(Statement, DefaultAndEndMarkers) {
  EXPECT_EQ(Params("Exit $"), HexBytes("00"));
  EXPECT_EQ(Code("PutInt $"), kCompileDefaultNotAllowed);
  EXPECT_EQ(Code("PutInt ."), kCompileEndNotAllowed);
  EXPECT_EQ(Params("Pair 1 ."), HexBytes("0B 01 0A"));
  EXPECT_EQ(Params("Pair 1 2"), HexBytes("0B 01 0B 02"));
  EXPECT_EQ(Params("Switch 1 ^x .\n^x"), HexBytes("0B 01 07 34 00 00 00 0A"));
  EXPECT_EQ(Params("FramePush"), Bytes());
}

TEST_F(Statement, ParameterCountErrors) {
  EXPECT_EQ(Code("Pair 1"), kCompileTooFewParams);
  EXPECT_EQ(Code("Pair 1 2 3"), kCompileTooManyParams);
  EXPECT_EQ(Code("Pair 1 . 2"), kCompileTooManyParams);
  EXPECT_EQ(Code("Switch 1 2"), kCompileTooFewParams);
  EXPECT_EQ(Code("FramePush 1"), kCompileTooManyParams);
  EXPECT_EQ(Params("Pair 1 2 ; a comment"), HexBytes("0B 01 0B 02"));
}

TEST_F(Statement, BadLinesReportTheirLine) {
  Compiled c("PutAny 1\n\n  ; comment\nNonsense 1\nPutAny 2");
  EXPECT_EQ(c.Result(), kCompileUnknownLine);
  EXPECT_EQ(c.ErrLine(), 4u);
  EXPECT_EQ(c.ErrModule(), kMainScriptModule);
  EXPECT_EQ(Code("PutAny \"abc"), kCompileUnterminatedToken);
  EXPECT_EQ(Code("PutAny \"a\"b"), kCompileUnterminatedToken);
  EXPECT_EQ(Code("^"), kCompileUnknownLine);
  EXPECT_EQ(Code("putany 1"), kCompileOk);  // names are compared without case
}

}  // namespace
