#include "runtime/values/list.h"

#include <gtest/gtest.h>

#include <string>

#include "base/status.h"
#include "runtime/values/block.h"
#include "runtime/values/text.h"

namespace {

// A text constant as a prepared image holds it: IsDynamic 0.
struct StaticText {
  TArrayHeader Header;
  char16_t Units[3];
};

std::u16string Item(const TArrayHeader* list, uint32_t i) {
  return USTR_ToNative(xL_Item(list, i));
}

std::string BlockItem(const TArrayHeader* list, uint32_t i) {
  PArrayHeader b = xL_Item(list, i);
  return std::string(reinterpret_cast<const char*>(UA_Data(b)), BB_Length(b));
}

// ASan proves the ownership rules: a leak if a dynamic item is not freed, a
// bad free if a static one is.
TEST(List, FreeReleasesDynamicItemsOnly) {
  StaticText constant = {{2, 3, 3, 0}, {u'h', u'i', 0}};
  PArrayHeader list = xL_New();
  ASSERT_EQ(UStrL_AddBuffer(&list, u"ab\0cd", -1), kStatusOk);  // up to the zero
  ASSERT_EQ(UStrL_AddBuffer(&list, u"ab\0cd", 5), kStatusOk);
  ASSERT_EQ(UStrL_AddBuffer(&list, u"ignored", 0), kStatusOk);
  EXPECT_EQ(UStrL_AddBuffer(&list, u"x", -2), kStatusOutOfMemory);
  ASSERT_TRUE(xL_Add(&list, &constant.Header));
  ASSERT_TRUE(xL_Add(&list, nullptr));
  ASSERT_EQ(xL_Count(list), 5u);
  EXPECT_EQ(Item(list, 0), u"ab");
  EXPECT_EQ(Item(list, 1), std::u16string(u"ab\0cd", 5));
  EXPECT_EQ(xL_Item(list, 2), USTR_Empty());
  xL_Free(&list);
  EXPECT_EQ(list, nullptr);

  ASSERT_EQ(BBL_AddBuffer(&list, "ab", 2), kStatusOk);  // creates the list
  ASSERT_EQ(BBL_AddBuffer(&list, "", 0), kStatusOk);
  EXPECT_EQ(xL_Item(list, 1), BB_Empty());
  xL_Free(&list);
}

TEST(List, AddCopiesFollowsTheCloneRule) {
  PArrayHeader list = nullptr;
  ASSERT_EQ(UStrL_AddCopies(&list, USTR_Blank(), 0), kStatusOk);  // creates an empty list
  ASSERT_EQ(xL_Count(list), 0u);
  PArrayHeader text = USTR_FromPWideChar(u"abc");
  ASSERT_EQ(UStrL_AddCopies(&list, USTR_Blank(), 2), kStatusOk);
  ASSERT_EQ(UStrL_AddCopies(&list, text, 33), kStatusOk);
  ASSERT_EQ(UStrL_AddCopies(&list, nullptr, 1), kStatusOk);
  ASSERT_EQ(xL_Count(list), 36u);
  EXPECT_EQ(list->TrueElemCount, 64u);
  EXPECT_EQ(xL_Item(list, 1), USTR_Blank());  // static: shared
  EXPECT_NE(xL_Item(list, 2), text);          // dynamic: a copy each
  EXPECT_NE(xL_Item(list, 2), xL_Item(list, 34));
  EXPECT_EQ(Item(list, 34), u"abc");
  EXPECT_EQ(xL_Item(list, 35), USTR_Empty());
  UA_Free(&text);
  xL_Free(&list);

  PArrayHeader block = BB_FromBuffer("xy", 2);
  ASSERT_EQ(BBL_AddCopies(&list, block, 2), kStatusOk);
  EXPECT_NE(xL_Item(list, 0), block);
  EXPECT_NE(xL_Item(list, 0), xL_Item(list, 1));
  EXPECT_EQ(BlockItem(list, 1), "xy");
  UA_Free(&block);
  xL_Free(&list);
}

TEST(List, FindMatchesByModeWithinTheClampedRange) {
  PArrayHeader list = nullptr;
  for (const char16_t* s : {u"Alpha", u"beta", u"", u"alphabet", u"ALPHA"}) {
    UStrL_AddBuffer(&list, s, -1);
  }
  struct Case {
    const char16_t* Needle;
    uint32_t First, Mode, Last;
    int32_t Found;
  };
  const Case cases[] = {{u"alpha", 0, 1, 9, -1},
                        {u"alpha", 1, 2, 9, 4},
                        {u"alpha", 0, 3, 9, 3},
                        {u"pha", 1, 4, 9, 3},
                        {u"", 0, 1, 9, 2},
                        {u"", 0, 3, 9, -1},
                        {u"ALPHA", 0, 1, UINT32_MAX, 4},  // last clamped to the last item
                        {u"ALPHA", 1, 1, 3, -1},
                        {u"beta", 2, 1, 1, -1},
                        {u"beta", 9, 1, 9, -1},
                        {u"beta", 0, 0, 9, -1},
                        {u"beta", 0, 5, 9, -1}};
  for (const Case& c : cases) {
    PArrayHeader needle = USTR_FromPWideChar(c.Needle);
    EXPECT_EQ(UStrL_Find(list, needle, c.First, c.Mode, c.Last), c.Found)
        << "mode " << c.Mode << " from " << c.First << " to " << c.Last;
    UA_Free(&needle);
  }
  xL_Free(&list);
  EXPECT_EQ(UStrL_Find(nullptr, USTR_Blank(), 0, 1, 9), -1);

  // A null block item counts as an empty block.
  ASSERT_EQ(BBL_AddBuffer(&list, "Key", 3), kStatusOk);
  ASSERT_TRUE(xL_Add(&list, nullptr));
  ASSERT_EQ(BBL_AddBuffer(&list, "monkey", 6), kStatusOk);
  PArrayHeader key = BB_FromBuffer("KEY", 3);
  EXPECT_EQ(BBL_Find(list, BB_Empty(), 0, 1, 9), 1);
  EXPECT_EQ(BBL_Find(list, BB_Empty(), 0, 3, 9), -1);
  EXPECT_EQ(BBL_Find(list, key, 0, 2, 9), 0);
  EXPECT_EQ(BBL_Find(list, key, 1, 4, 9), 2);
  EXPECT_EQ(BBL_Find(list, key, 1, 3, 9), -1);
  UA_Free(&key);
  xL_Free(&list);
}

TEST(List, SlicesOwnDuplicatesOfTheirItems) {
  StaticText constant = {{2, 3, 3, 0}, {u'h', u'i', 0}};
  PArrayHeader texts = nullptr;
  UStrL_AddBuffer(&texts, u"zero", -1);
  UStrL_AddBuffer(&texts, u"one", -1);
  xL_Add(&texts, &constant.Header);
  PArrayHeader slice = UA_Slice(texts, vtUnicodeStringList, 1, 100);
  ASSERT_EQ(xL_Count(slice), 2u);
  EXPECT_EQ(xL_Item(slice, 1), &constant.Header);  // static: shared
  EXPECT_EQ(UA_Slice(texts, vtUnicodeStringList, 3, 1), nullptr);
  xL_Free(&texts);  // the slice must not depend on the source
  EXPECT_EQ(Item(slice, 0), u"one");
  xL_Free(&slice);

  PArrayHeader blocks = nullptr;
  xL_Add(&blocks, nullptr);
  xL_Add(&blocks, BB_Blank());
  BBL_AddBuffer(&blocks, "abc", 3);
  slice = UA_Slice(blocks, vtBinBlockList, 0, 3);
  ASSERT_EQ(xL_Count(slice), 3u);
  EXPECT_EQ(xL_Item(slice, 0), BB_Empty());
  EXPECT_NE(xL_Item(slice, 1), BB_Blank());  // copied by its bytes
  EXPECT_EQ(BlockItem(slice, 1), " ");
  xL_Free(&blocks);
  EXPECT_EQ(BlockItem(slice, 2), "abc");
  xL_Free(&slice);
}

}  // namespace
