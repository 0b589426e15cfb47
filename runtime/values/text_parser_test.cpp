#include "runtime/values/text_parser.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "runtime/values/block.h"
#include "runtime/values/list.h"
#include "runtime/values/text.h"

namespace {

typedef std::vector<std::u16string> Items;

Items TextItems(PArrayHeader list) {
  Items items;
  for (uint32_t i = 0; i < xL_Count(list); ++i) items.push_back(USTR_ToNative(xL_Item(list, i)));
  return items;
}

Items BlockItems(PArrayHeader list) {
  Items items;
  for (uint32_t i = 0; i < xL_Count(list); ++i) {
    const TArrayHeader* b = xL_Item(list, i);
    items.emplace_back(UA_Data(b), UA_Data(b) + BB_Length(b));
  }
  return items;
}

std::basic_string<uint8_t> Narrow(const std::u16string& s) {
  return std::basic_string<uint8_t>(s.begin(), s.end());
}

// Runs a text routine and a block routine on the same (ASCII) input, checks
// that both give the same items and returns them.
template <typename TextCall, typename BlockCall>
Items RunBoth(TextCall onText, BlockCall onBlock) {
  PArrayHeader texts = nullptr, blocks = nullptr;
  EXPECT_EQ(onText(&texts), 0u);
  EXPECT_EQ(onBlock(&blocks), 0u);
  Items fromText = TextItems(texts), fromBlock = BlockItems(blocks);
  EXPECT_EQ(fromText, fromBlock) << "the text and the block forms differ";
  xL_Free(&texts);
  xL_Free(&blocks);
  return fromText;
}

Items SplitBoth(const std::u16string& s, const std::u16string& delimiter, bool keepEmpty) {
  const auto bs = Narrow(s), bd = Narrow(delimiter);
  return RunBoth(
      [&](PArrayHeader* l) {
        return Split(s.data(), uint32_t(s.size()), delimiter.data(), uint32_t(delimiter.size()),
                     keepEmpty, l);
      },
      [&](PArrayHeader* l) {
        return Split(bs.data(), uint32_t(bs.size()), bd.data(), uint32_t(bd.size()), keepEmpty, l);
      });
}

Items SplitQuotedBoth(const std::u16string& s, const std::u16string& delimiter,
                      const std::u16string& quote) {
  const auto bs = Narrow(s), bd = Narrow(delimiter), bq = Narrow(quote);
  return RunBoth(
      [&](PArrayHeader* l) {
        return SplitQuoted(s.data(), uint32_t(s.size()), delimiter.data(),
                           uint32_t(delimiter.size()), quote.data(), uint32_t(quote.size()), l);
      },
      [&](PArrayHeader* l) {
        return SplitQuoted(bs.data(), uint32_t(bs.size()), bd.data(), uint32_t(bd.size()),
                           bq.data(), uint32_t(bq.size()), l);
      });
}

Items ExtractBoth(const std::u16string& s, const std::u16string& quote) {
  const auto bs = Narrow(s), bq = Narrow(quote);
  return RunBoth(
      [&](PArrayHeader* l) {
        return ExtractQuoted(s.data(), uint32_t(s.size()), quote.data(), uint32_t(quote.size()), l);
      },
      [&](PArrayHeader* l) {
        return ExtractQuoted(bs.data(), uint32_t(bs.size()), bq.data(), uint32_t(bq.size()), l);
      });
}

TEST(TextParser, CountRepeatsCountsWholeCopiesOnly) {
  const std::u16string s = u"xababab";
  const std::u16string ab = u"ab";
  EXPECT_EQ(CountRepeats(s.data(), 7, ab.data(), 1, 2), 3u);
  EXPECT_EQ(CountRepeats(s.data(), 6, ab.data(), 1, 2), 2u);  // the last copy is cut off
  EXPECT_EQ(CountRepeats(s.data(), 7, ab.data(), 0, 2), 0u);
  EXPECT_EQ(CountRepeats(s.data(), 7, ab.data(), 7, 2), 0u);  // at the end
  EXPECT_EQ(CountRepeats(s.data(), 7, ab.data(), 1, 0), 0u);  // an empty pattern
  const uint8_t bytes[] = {'"', '"', '"', 'x'};
  const uint8_t quote[] = {'"'};
  EXPECT_EQ(CountRepeats(bytes, 4, quote, 0, 1), 3u);
}

TEST(TextParser, SplitKeepsOrDropsEmptyPieces) {
  EXPECT_EQ(SplitBoth(u"a,,b", u",", false), (Items{u"a", u"b"}));
  EXPECT_EQ(SplitBoth(u"a,,b", u",", true), (Items{u"a", u"", u"b"}));
  EXPECT_EQ(SplitBoth(u"a,b,", u",", false), (Items{u"a", u"b"}));
  EXPECT_EQ(SplitBoth(u"a,b,", u",", true), (Items{u"a", u"b", u""}));
  EXPECT_EQ(SplitBoth(u",a", u",", true), (Items{u"", u"a"}));
  EXPECT_EQ(SplitBoth(u"", u",", false), Items{});
  EXPECT_EQ(SplitBoth(u"", u",", true), Items{u""});
  EXPECT_EQ(SplitBoth(u"a--b---c", u"--", true), (Items{u"a", u"b", u"-c"}));
  EXPECT_EQ(SplitBoth(u"abc", u"", true), Items{u"abc"});  // an empty delimiter never matches
}

TEST(TextParser, SplitQuotedProtectsDelimitersInsideQuotes) {
  EXPECT_EQ(SplitQuotedBoth(u"a,\"b,c\",d", u",", u"\""), (Items{u"a", u"\"b,c\"", u"d"}));
  // A doubled quote inside a quoted field does not end it.
  EXPECT_EQ(SplitQuotedBoth(u"a,\"b\"\",c\",d", u",", u"\""), (Items{u"a", u"\"b\"\",c\"", u"d"}));
  // Doubled quotes outside quotes open nothing.
  EXPECT_EQ(SplitQuotedBoth(u"x\"\"y,z", u",", u"\""), (Items{u"x\"\"y", u"z"}));
  // Runs of delimiters count as one, and nothing empty is kept.
  EXPECT_EQ(SplitQuotedBoth(u",,a,,,b,,", u",", u"\""), (Items{u"a", u"b"}));
  EXPECT_EQ(SplitQuotedBoth(u"", u",", u"\""), Items{});
  EXPECT_EQ(SplitQuotedBoth(u",,,", u",", u"\""), Items{});
  // A quote that never closes protects everything after it.
  EXPECT_EQ(SplitQuotedBoth(u"a,\"b,c", u",", u"\""), (Items{u"a", u"\"b,c"}));
  // Sequences of several units.
  EXPECT_EQ(SplitQuotedBoth(u"a<>'x<>y'<><>b", u"<>", u"'"), (Items{u"a", u"'x<>y'", u"b"}));
  EXPECT_EQ(SplitQuotedBoth(u"a<>''x<>y''<>b", u"<>", u"''"), (Items{u"a", u"''x<>y''", u"b"}));
}

TEST(TextParser, ExtractQuotedTakesTheContentOfEverySection) {
  EXPECT_EQ(ExtractBoth(u"x\"a\"\"b\"y\"c\"", u"\""), (Items{u"a\"b", u"c"}));
  EXPECT_EQ(ExtractBoth(u"\"\"", u"\""), Items{});  // an escaped quote, not a section
  EXPECT_EQ(ExtractBoth(u"\"\" \"\"", u"\""), Items{});
  EXPECT_EQ(ExtractBoth(u"\"\"\"a\"", u"\""), Items{u"\"a"});  // opening run of three
  EXPECT_EQ(ExtractBoth(u"\"a\"\"\"", u"\""), Items{u"a\""});  // closing run of three
  EXPECT_EQ(ExtractBoth(u"\"\" \"x", u"\""), Items{});         // never closed
  EXPECT_EQ(ExtractBoth(u"a\"\"b\"c\"", u"\""), Items{u"c"});
  EXPECT_EQ(ExtractBoth(u"\"\"\"\"", u"\""), Items{});
  EXPECT_EQ(ExtractBoth(u"<<a<<<<b<<", u"<<"), Items{u"a<<b"});
  EXPECT_EQ(ExtractBoth(u"\"a\"", u""), Items{});
}

}  // namespace
