#include "runtime/values/text.h"

#include <gtest/gtest.h>

#include <cstring>

#include "runtime/values/block.h"

namespace {

// A text constant as a prepared image holds it: IsDynamic 0.
struct StaticText {
  TArrayHeader Header;
  char16_t Units[3];
};

std::u16string Str(const TArrayHeader* text) {
  return USTR_ToNative(text);
}
PArrayHeader Text(const std::u16string& s) {
  return USTR_FromBuffer(s.data(), uint32_t(s.size()));
}

TEST(Text, SetLengthFollowsTheCapacityRuleAndKeepsTheTerminator) {
  PArrayHeader t = USTR_New(31);
  EXPECT_EQ(t->TrueElemCount, 32u);
  for (uint32_t i = 0; i < 31; ++i) USTR_Chars(t)[i] = u'a';
  ASSERT_TRUE(USTR_SetLength(&t, 32));  // the terminator needs a 33rd unit
  EXPECT_EQ(t->TrueElemCount, 64u);
  ASSERT_TRUE(USTR_SetLength(&t, 3));
  EXPECT_EQ(t->TrueElemCount, 32u);
  EXPECT_EQ(t->ElemCount, 4u);
  EXPECT_EQ(USTR_Chars(t)[3], 0);  // written over the old 'a'
  UA_Free(&t);

  t = USTR_New(0);  // dynamic, so that a caller may write its terminator
  EXPECT_EQ(t->IsDynamic, kDynamic);
  EXPECT_EQ(t->ElemCount, 1u);
  EXPECT_EQ(USTR_Clone(t), USTR_Empty());
  UA_Free(&t);
}

TEST(Text, StaticTextsAreSharedAndCopiedBeforeAnyWrite) {
  const std::pair<PArrayHeader, std::u16string> builtIns[] = {{USTR_Empty(), u""},
                                                              {USTR_Blank(), u" "},
                                                              {USTR_FullStop(), u"."},
                                                              {USTR_TwoQuotes(), u"\"\""}};
  for (const auto& [text, expected] : builtIns) {
    EXPECT_EQ(text->IsDynamic, 0u);
    EXPECT_EQ(text->ElemCount, expected.size() + 1);
    EXPECT_EQ(Str(text), expected);
    EXPECT_EQ(USTR_Chars(text)[expected.size()], 0);
  }
  EXPECT_EQ(USTR_FromBuffer(u"x", 0), USTR_Empty());
  EXPECT_EQ(USTR_Copy(USTR_Blank(), 1, 5), USTR_Empty());

  StaticText constant = {{2, 3, 3, 0}, {u'h', u'i', 0}};
  EXPECT_EQ(USTR_Clone(&constant.Header), &constant.Header);
  PArrayHeader slot = &constant.Header;
  ASSERT_TRUE(USTR_Append2(&slot, USTR_FullStop(), nullptr));
  EXPECT_EQ(Str(slot), u"hi.");
  EXPECT_EQ(Str(&constant.Header), u"hi");
  UA_Free(&slot);

  // The built-ins live in read-only storage: writing one would fault.
  slot = USTR_Empty();
  ASSERT_TRUE(USTR_AddPathDelim(&slot));
  EXPECT_EQ(Str(slot), u"\\");
  UA_Free(&slot);
  slot = USTR_Blank();
  ASSERT_TRUE(USTR_Quote(&slot));
  EXPECT_EQ(Str(slot), u"\" \"");
  UA_Free(&slot);
}

TEST(Text, SizeFailuresGiveNullAndKeepTheCallersText) {
  EXPECT_EQ(USTR_New(UINT32_MAX), nullptr);
  EXPECT_EQ(USTR_New(0x40000000u), nullptr);  // 2 GiB of units
  PArrayHeader t = Text(u"keep");
  PArrayHeader before = t;
  EXPECT_FALSE(USTR_SetLength(&t, UINT32_MAX));
  // A part that claims more than 32-bit arithmetic allows is refused before
  // any of it is read.
  TArrayHeader huge = {2, 0x7FFFFFF0u, 0x7FFFFFF0u, 0};
  EXPECT_FALSE(USTR_Append2(&t, &huge, nullptr));
  EXPECT_EQ(t, before);
  EXPECT_EQ(Str(t), u"keep");
  UA_Free(&t);
}

TEST(Text, AppendMayAppendTheTextToItselfWhileItMoves) {
  std::u16string part = u"a" + std::u16string(19, u'x');
  PArrayHeader t = Text(part);
  ASSERT_TRUE(USTR_Append2(&t, t, t));  // 60 units: the block is reallocated
  EXPECT_EQ(t->TrueElemCount, 64u);
  EXPECT_EQ(Str(t), part + part + part);
  UA_Free(&t);
}

TEST(Text, QuoteAndPathDelimiterAddOnlyWhatIsMissing) {
  const std::pair<std::u16string, std::u16string> quoted[] = {
      {u"", u"\"\""},         {u"\"", u"\"\""},       {u"abc", u"\"abc\""},
      {u"\"abc", u"\"abc\""}, {u"abc\"", u"\"abc\""}, {u"\"abc\"", u"\"abc\""}};
  for (const auto& [input, expected] : quoted) {
    PArrayHeader t = Text(input);
    ASSERT_TRUE(USTR_Quote(&t));
    EXPECT_EQ(Str(t), expected);
    EXPECT_EQ(USTR_Chars(t)[expected.size()], 0);
    UA_Free(&t);
  }
  const std::pair<std::u16string, std::u16string> delimited[] = {
      {u"C:", u"C:\\"}, {u"a/", u"a/"}, {u"a\\", u"a\\"}};
  for (const auto& [input, expected] : delimited) {
    PArrayHeader t = Text(input);
    ASSERT_TRUE(USTR_AddPathDelim(&t));
    EXPECT_EQ(Str(t), expected);
    UA_Free(&t);
  }
}

TEST(Text, CompareAndFind) {
  struct Case {
    std::u16string A, B;
    int Cased, NoCase;
  };
  const Case compares[] = {{u"abc", u"abcd", -1, -1},    {u"abc", u"abc", 0, 0},
                           {u"B", u"a", -1, 1},          {u"\xE000", u"a", 1, 1},
                           {u"\u00E9", u"\u00C9", 1, 0}, {u"\u0431", u"\u0411", 1, 0}};
  for (const Case& c : compares) {
    uint32_t la = uint32_t(c.A.size()), lb = uint32_t(c.B.size());
    EXPECT_EQ(USTR_Compare(c.A.data(), la, c.B.data(), lb), c.Cased);
    EXPECT_EQ(USTR_CompareNoCase(c.A.data(), la, c.B.data(), lb), c.NoCase);
  }

  struct Search {
    std::u16string Needle, Haystack;
    uint32_t Start;
    int32_t Cased, NoCase;
  };
  const Search searches[] = {{u"", u"", 0, -1, -1},
                             {u"", u"abc", 0, -1, -1},
                             {u"abcd", u"abc", 0, -1, -1},
                             {u"b", u"abcabc", 2, 4, 4},
                             {u"bc", u"abcabc", 5, -1, -1},
                             {u"a", u"abc", 4, -1, -1},
                             {u"aab", u"aaab", 0, 1, 1},
                             {u"BC", u"abc", 0, -1, 1},
                             {std::u16string(u"\0b", 2), std::u16string(u"a\0b", 3), 0, 1, 1}};
  for (const Search& s : searches) {
    uint32_t ln = uint32_t(s.Needle.size()), lh = uint32_t(s.Haystack.size());
    EXPECT_EQ(USTR_Find(s.Needle.data(), ln, s.Haystack.data(), s.Start, lh), s.Cased);
    EXPECT_EQ(USTR_FindNoCase(s.Needle.data(), ln, s.Haystack.data(), s.Start, lh), s.NoCase);
  }
}

TEST(Text, AnsiConversionRoundTripsThroughTheCodePage) {
  const uint8_t bytes[] = {'a', 0x80, 0xE9, 0};
  PArrayHeader block = BB_FromBuffer(bytes, 4);
  PArrayHeader text = USTR_FromBB(block);
  EXPECT_EQ(Str(text), std::u16string(u"a\u20AC\u00E9\0", 4));  // 0x80 is the euro sign
  PArrayHeader back = BB_FromUSTR(text);
  ASSERT_EQ(BB_Length(back), 4u);
  EXPECT_EQ(std::memcmp(UA_Data(back), bytes, 4), 0);
  UA_Free(&back);
  UA_Free(&text);
  UA_Free(&block);

  text = Text(u"x\u0411");  // Cyrillic: no byte for it in the code page
  back = BB_FromUSTR(text);
  ASSERT_EQ(BB_Length(back), 2u);
  EXPECT_EQ(UA_Data(back)[1], '?');
  EXPECT_EQ(UA_Data(back)[3], 0);
  UA_Free(&back);
  UA_Free(&text);
  EXPECT_EQ(USTR_FromBB(BB_Empty()), USTR_Empty());
  EXPECT_EQ(BB_FromUSTR(USTR_Empty()), BB_Empty());
}

TEST(Text, SliceAndCopyTakeWhatIsThere) {
  PArrayHeader t = Text(u"hello");
  PArrayHeader part = UA_Slice(t, vtUnicodeString, 1, 3);
  EXPECT_EQ(part->ElemCount, 4u);  // three units and the terminator
  EXPECT_EQ(Str(part), u"ell");
  EXPECT_EQ(USTR_Chars(part)[3], 0);
  UA_Free(&part);
  part = USTR_Copy(t, 3, UINT32_MAX);
  EXPECT_EQ(Str(part), u"lo");
  UA_Free(&part);
  EXPECT_EQ(UA_Slice(t, vtUnicodeString, 5, 1), nullptr);  // the terminator is no item
  UA_Free(&t);
}

}  // namespace
