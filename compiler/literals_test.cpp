// Number, text and block literals, and the tokenizer that delimits them.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "compiler/extended_float.h"
#include "compiler/number_literals.h"
#include "compiler/string_literals.h"
#include "compiler/tokenizer.h"
#include "tests/support/test_harness.h"

namespace {

TTextSpan Span(const std::u16string& s) {
  return {s.data(), uint32_t(s.size())};
}

bool Integer(const std::u16string& s, int64_t* v) {
  return ParseInteger(Span(s), v);
}

std::string Extended(const std::u16string& s) {
  uint8_t bytes[kExtendedBytes];
  if (!ParseExtended(Span(s), bytes)) return "refused";
  std::string hex;
  for (uint8_t b : bytes) {
    static const char kDigits[] = "0123456789ABCDEF";
    if (!hex.empty()) hex += ' ';
    hex += kDigits[b >> 4];
    hex += kDigits[b & 15];
  }
  return hex;
}

std::vector<std::u16string> Tokens(const std::u16string& line, TTokenResult* last) {
  std::vector<std::u16string> tokens;
  TTokenizer t = StartTokens(Span(line));
  TTextSpan token{};
  while ((*last = NextStatementToken(t, &token)) == kTokenFound) {
    tokens.emplace_back(token.Chars, token.Length);
  }
  return tokens;
}

TEST(Literals, Integers) {
  int64_t v = 0;
  EXPECT_TRUE(Integer(u"-9223372036854775808", &v));
  EXPECT_EQ(v, INT64_MIN);
  EXPECT_FALSE(Integer(u"9223372036854775808", &v));
  EXPECT_TRUE(Integer(u"$FFFFFFFFFFFFFFFF", &v));
  EXPECT_EQ(v, -1);
  EXPECT_FALSE(Integer(u"$1FFFFFFFFFFFFFFFF", &v));
  EXPECT_TRUE(Integer(u"-0x10", &v));
  EXPECT_EQ(v, -16);
  EXPECT_TRUE(Integer(u"+$a", &v));
  EXPECT_EQ(v, 10);
  for (const char16_t* bad : {u"", u"-", u"$", u"0x", u"1 ", u" 1", u"1.0", u"0x1g", u"--1"}) {
    EXPECT_FALSE(Integer(bad, &v)) << std::u16string(bad).size();
  }
}

TEST(Literals, FloatsRoundToTheNearestExtended) {
  EXPECT_EQ(Extended(u"1.5"), "00 00 00 00 00 00 00 C0 FF 3F");
  EXPECT_EQ(Extended(u"0.1"), "CD CC CC CC CC CC CC CC FB 3F");
  EXPECT_EQ(Extended(u"-0"), "00 00 00 00 00 00 00 00 00 80");
  EXPECT_EQ(Extended(u".5"), "00 00 00 00 00 00 00 80 FE 3F");
  EXPECT_EQ(Extended(u"3.14159265358979323846264338327950288"), "35 C2 68 21 A2 DA 0F C9 00 40");
  EXPECT_EQ(Extended(u"123456789012345678901234567890"), "77 F0 B9 61 FB 87 74 C7 5F 40");
  EXPECT_EQ(Extended(u"0.000000000000000000000000000001"), "32 FC 14 5E F7 5F 42 A2 9B 3F");
  EXPECT_EQ(Extended(u"18446744073709551615"), "FF FF FF FF FF FF FF FF 3E 40");
  // Ties go to the even significand.
  EXPECT_EQ(Extended(u"9223372036854775808.5"), "00 00 00 00 00 00 00 80 3E 40");
  EXPECT_EQ(Extended(u"9223372036854775809.5"), "02 00 00 00 00 00 00 80 3E 40");
  EXPECT_EQ(Extended(u"18446744073709551616.5"), "00 00 00 00 00 00 00 80 3F 40");
}

TEST(Literals, FloatRangeEnds) {
  EXPECT_EQ(Extended(u"1e4932"), "CD F6 7E 5C A9 B2 2C D7 FE 7F");
  EXPECT_EQ(Extended(u"1.18973149535723176502e4932"), "FF FF FF FF FF FF FF FF FE 7F");
  EXPECT_EQ(Extended(u"1.18973149535723176508e4932"), "refused");
  EXPECT_EQ(Extended(u"1e99999999999"), "refused");
  EXPECT_EQ(Extended(u"3.3621031431120935063e-4932"), "00 00 00 00 00 00 00 80 01 00");
  EXPECT_EQ(Extended(u"2.5e-4950"), "07 00 00 00 00 00 00 00 00 00");
  EXPECT_EQ(Extended(u"3.6451995318824746025e-4951"), "01 00 00 00 00 00 00 00 00 00");
  EXPECT_EQ(Extended(u"1.8225997659412373012e-4951"), "00 00 00 00 00 00 00 00 00 00");
  EXPECT_EQ(Extended(u"1.8225997659412373013e-4951"), "01 00 00 00 00 00 00 00 00 00");
  EXPECT_EQ(Extended(u"1e-99999999999"), "00 00 00 00 00 00 00 00 00 00");
}

TEST(Literals, FloatDigitsFarBeyondTheHalfWayPointStillCount) {
  // 1 + 2^-64 lies exactly half-way between 1 and the next value up.
  const std::u16string half = u"1.0000000000000000000542101086242752217003726400434970855712890625";
  EXPECT_EQ(Extended(half), "00 00 00 00 00 00 00 80 FF 3F");
  EXPECT_EQ(Extended(half + std::u16string(20000, u'0') + u"1"), "01 00 00 00 00 00 00 80 FF 3F");
  EXPECT_EQ(Extended(half + std::u16string(20000, u'0')), "00 00 00 00 00 00 00 80 FF 3F");
  EXPECT_EQ(Extended(u"0." + std::u16string(30000, u'0') + u"1e30001"),
            "00 00 00 00 00 00 00 80 FF 3F");
}

// A compilation keeps one set of big numbers for all its literals: large
// and small, kept and refused, in turn, must give what each gives alone.
TEST(Literals, FloatsAreTheSameWithStorageKeptBetweenThem) {
  const std::u16string literals[] = {u"1e4932",
                                     u"0.1",
                                     u"2.5e-4950",
                                     u"1.18973149535723176508e4932",
                                     u"18446744073709551616.5",
                                     u"3.14159265358979323846264338327950288",
                                     u"x",
                                     u"-0",
                                     u"1.8225997659412373013e-4951",
                                     u"123456789012345678901234567890"};
  TExtendedScratch scratch{};
  for (int pass = 0; pass < 2; ++pass) {
    for (const std::u16string& literal : literals) {
      uint8_t kept[kExtendedBytes] = {}, alone[kExtendedBytes] = {};
      const bool parsed = ParseExtended(Span(literal), kept, &scratch);
      EXPECT_EQ(parsed, ParseExtended(Span(literal), alone)) << pass;
      if (parsed) {
        EXPECT_EQ(std::memcmp(kept, alone, kExtendedBytes), 0) << pass;
      }
    }
  }
  FreeExtendedScratch(scratch);
}

TEST(Literals, FloatSyntax) {
  EXPECT_EQ(Extended(u"1E+2"), "00 00 00 00 00 00 00 C8 05 40");
  EXPECT_EQ(Extended(u"+1."), "00 00 00 00 00 00 00 80 FF 3F");
  for (const char16_t* bad : {u"", u".", u"e5", u"1e", u"1e+", u"1,5", u"inf", u"nan", u"0x1p3",
                              u"1.5 ", u"--1", u"1.2.3"}) {
    EXPECT_EQ(Extended(bad), "refused") << std::u16string(bad).size();
  }
}

TEST(Literals, DoubleQuotedEscapes) {
  auto units = [](const std::u16string& token) {
    TGrowArray<uint8_t> bytes{};
    EXPECT_TRUE(AppendDoubleQuoted(Span(token), &bytes));
    std::u16string text;
    for (uint32_t i = 0; i + 1 < bytes.Count; i += 2) {
      text += char16_t(bytes.Items[i] | bytes.Items[i + 1] << 8);
    }
    GrowArrayFree(bytes);
    return text;
  };
  EXPECT_EQ(units(u"\"a\"\"b\""), u"a\"b");
  EXPECT_EQ(units(u"\"#0041#\""), u"A#");
  EXPECT_EQ(units(u"\"##0041\""), u"#0041");
  EXPECT_EQ(units(u"\"###0041\""), u"#A");
  EXPECT_EQ(units(u"\"#04\""), u"#04");
  EXPECT_EQ(units(u"\"#00zz1\""), u"#00zz1");
  EXPECT_EQ(units(u"\"#263A\""), u"\u263A");
  EXPECT_EQ(units(u"\"\""), u"");
  // Pairs are collapsed before escapes are read: a quote inside the four
  // digits spoils the escape, one before it does not.
  EXPECT_EQ(units(u"\"#00\"\"41\""), u"#00\"41");
  EXPECT_EQ(units(u"\"\"\"#0041\""), u"\"A");
  EXPECT_EQ(units(u"\"ab\"\"\""), u"ab\"");
  EXPECT_EQ(units(u"\"\"\"\""), u"\"");
  EXPECT_EQ(units(u"\"#\"\"\""), u"#\"");
  EXPECT_EQ(units(u"\"#\""), u"#");
  TGrowArray<uint8_t> bytes{};
  EXPECT_FALSE(AppendDoubleQuoted(Span(u"\""), &bytes));  // shorter than its quotes: 1003
  EXPECT_FALSE(AppendSingleQuoted(Span(u"'"), &bytes));
  GrowArrayFree(bytes);
}

TEST(Literals, SingleQuotedAndHex) {
  auto bytesOf = [](bool (*append)(TTextSpan, TGrowArray<uint8_t>*), const std::u16string& t) {
    TGrowArray<uint8_t> bytes{};
    EXPECT_TRUE(append(Span(t), &bytes));
    Bytes out(bytes.Items, bytes.Items + bytes.Count);
    GrowArrayFree(bytes);
    return out;
  };
  EXPECT_EQ(bytesOf(AppendSingleQuoted, u"'It''s'"), Utf8("It's"));
  EXPECT_EQ(bytesOf(AppendSingleQuoted, u"'#41##42#4'"), Utf8("A#42#4"));
  EXPECT_EQ(bytesOf(AppendSingleQuoted, u"'\u00E9'"), HexBytes("E9"));
  EXPECT_EQ(bytesOf(AppendSingleQuoted, u"'#4''1'"), Utf8("#4'1"));
  EXPECT_EQ(bytesOf(AppendSingleQuoted, u"'##''#41#'"), Utf8("#'A#"));
  EXPECT_EQ(bytesOf(AppendSingleQuoted, u"''"), Bytes());
  EXPECT_EQ(bytesOf(AppendSingleQuoted, u"'\u20AC#80'"), HexBytes("80 80"));
  EXPECT_EQ(bytesOf(AppendHexBlock, u"!de AD-b e!"), HexBytes("DE AD BE"));
  TGrowArray<uint8_t> bytes{};
  EXPECT_FALSE(AppendHexBlock(Span(u"!abc!"), &bytes));
  GrowArrayFree(bytes);
}

TEST(Tokenizer, QuotedTokensEndAtAQuoteBeforeASpace) {
  TTokenResult last;
  EXPECT_EQ(
      Tokens(u"  Cmd  1\t\"a b\" 'x''y' !0A 0B! \"\" ; rest \"", &last),
      (std::vector<std::u16string>{u"Cmd", u"1", u"\"a b\"", u"'x''y'", u"!0A 0B!", u"\"\""}));
  EXPECT_EQ(last, kTokenNone);
  EXPECT_EQ(Tokens(u"\"a\"\" b\" x", &last), (std::vector<std::u16string>{u"\"a\"\" b\"", u"x"}));
  EXPECT_EQ(Tokens(u"a\"b c", &last), (std::vector<std::u16string>{u"a\"b", u"c"}));
  EXPECT_EQ(Tokens(u"x ;comment", &last), (std::vector<std::u16string>{u"x", u";comment"}));
}

TEST(Tokenizer, UnterminatedTokensEndTheLine) {
  for (const char16_t* line :
       {u"x \"abc", u"x \"a\"b", u"x \"ab\"\"", u"x '", u"x !0A", u"x \"a\"\tb", u"x \"\"\""}) {
    TTokenResult last;
    std::vector<std::u16string> tokens = Tokens(line, &last);
    EXPECT_EQ(last, kTokenUnterminated) << std::u16string(line).size();
    EXPECT_EQ(tokens.size(), 1u);
  }
}

}  // namespace
