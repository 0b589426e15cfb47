#include "runtime/values/unified_array.h"

#include <gtest/gtest.h>

#include <cstring>

#include "base/bytes.h"
#include "base/heap.h"

namespace {

// A static block as the image holds it: header with IsDynamic 0.
struct StaticDWORDs {
  TArrayHeader Header;
  uint32_t Items[4];
};

TEST(UnifiedArray, NewRoundsCapacityToMultiplesOf32) {
  PArrayHeader empty = UA_New(0, 8);
  ASSERT_NE(empty, nullptr);
  EXPECT_EQ(empty->ElemCount, 0u);
  EXPECT_EQ(empty->TrueElemCount, 0u);
  EXPECT_EQ(empty->IsDynamic, kDynamic);
  EXPECT_EQ(empty->ElemSize, 8u);
  UA_Free(&empty);
  EXPECT_EQ(empty, nullptr);

  PArrayHeader a = UA_New(33, 4);
  EXPECT_EQ(a->ElemCount, 33u);
  EXPECT_EQ(a->TrueElemCount, 64u);
  UA_Free(&a);
}

TEST(UnifiedArray, AppendingToEmptyArrayAllocates32) {
  PArrayHeader a = UA_New(0, 4);
  ASSERT_EQ(UA_AddDWORDs(&a, 7, 1), 0u);
  EXPECT_EQ(a->ElemCount, 1u);
  EXPECT_EQ(a->TrueElemCount, 32u);
  UA_Free(&a);
}

TEST(UnifiedArray, SetCountGrowsAndShrinksByTheCapacityRule) {
  PArrayHeader a = UA_New(100, 4);
  ASSERT_EQ(a->TrueElemCount, 128u);
  for (uint32_t i = 0; i < 100; ++i) StoreU32(UA_Data(a) + 4 * i, i);

  ASSERT_TRUE(UA_SetCount(&a, 120));  // fits: kept
  EXPECT_EQ(a->TrueElemCount, 128u);
  ASSERT_TRUE(UA_SetCount(&a, 40));  // capacity 128 > rounded 64: shrinks
  EXPECT_EQ(a->TrueElemCount, 64u);
  EXPECT_EQ(a->ElemCount, 40u);
  ASSERT_TRUE(UA_SetCount(&a, 64));  // exactly the capacity: kept
  EXPECT_EQ(a->TrueElemCount, 64u);
  ASSERT_TRUE(UA_SetCount(&a, 65));  // one more: next step of 32
  EXPECT_EQ(a->TrueElemCount, 96u);
  for (uint32_t i = 0; i < 40; ++i) EXPECT_EQ(LoadU32(UA_Data(a) + 4 * i), i);
  // Items that come back after a shrink are zero, not old data.
  EXPECT_EQ(LoadU32(UA_Data(a) + 4 * 50), 0u);
  UA_Free(&a);
}

TEST(UnifiedArray, SetCountOfStaticBlockCopiesAndLeavesConstantIntact) {
  StaticDWORDs constant = {{4, 4, 4, 0}, {1, 2, 3, 4}};
  PArrayHeader slot = &constant.Header;
  ASSERT_TRUE(UA_SetCount(&slot, 4));  // even an unchanged count copies
  ASSERT_NE(slot, &constant.Header);
  EXPECT_EQ(slot->IsDynamic, kDynamic);
  EXPECT_EQ(slot->TrueElemCount, 32u);
  EXPECT_EQ(LoadU32(UA_Data(slot) + 12), 4u);
  StoreU32(UA_Data(slot), 99);
  EXPECT_EQ(constant.Items[0], 1u);
  EXPECT_EQ(constant.Header.ElemCount, 4u);
  EXPECT_EQ(constant.Header.IsDynamic, 0u);
  UA_Free(&slot);
}

TEST(UnifiedArray, FreeLeavesStaticBlocksAlone) {
  StaticDWORDs constant = {{4, 4, 4, 0}, {1, 2, 3, 4}};
  PArrayHeader slot = &constant.Header;
  UA_Free(&slot);  // ASan would report a free of a stack block
  EXPECT_EQ(slot, nullptr);
}

TEST(UnifiedArray, SizesBeyond32BitArithmeticAreRefusedWithoutLosingData) {
  PArrayHeader a = UA_New(3, 8);
  PArrayHeader before = a;
  EXPECT_EQ(UA_Alloc(&a, 0x10000000, 8), nullptr);  // 2 GiB + 16 bytes
  EXPECT_EQ(a, before);
  EXPECT_FALSE(UA_SetCount(&a, 0xFFFFFFF0u));
  EXPECT_EQ(a, before);
  EXPECT_EQ(a->ElemCount, 3u);
  EXPECT_EQ(UA_AddInts(&a, 1, 0x7FFFFFFF), 1002u);
  EXPECT_EQ(a->ElemCount, 3u);
  EXPECT_EQ(UA_New(0x7FFFFFF0u, 1), nullptr);
  UA_Free(&a);
}

TEST(UnifiedArray, ItemCountSubtractsTerminators) {
  TArrayHeader text = {2, 1, 1, 0};   // the empty text: one zero unit
  TArrayHeader block = {1, 2, 2, 0};  // the empty block: two zero bytes
  EXPECT_EQ(UA_ItemCount(&text, vtUnicodeString), 0u);
  EXPECT_EQ(UA_ItemCount(&block, vtBinBlock), 0u);
  EXPECT_EQ(UA_ItemCount(&block, vtDWORDArray), 2u);
  EXPECT_EQ(UA_ItemCount(nullptr, vtIntArray), 0u);
}

TEST(UnifiedArray, AppendWritesCopiesAfterExistingItems) {
  PArrayHeader a = nullptr;
  ASSERT_EQ(UA_AddInts(&a, -5, 2), 0u);
  ASSERT_EQ(UA_AddInts(&a, 7, 31), 0u);
  EXPECT_EQ(a->ElemCount, 33u);
  EXPECT_EQ(a->TrueElemCount, 64u);
  EXPECT_EQ(int64_t(LoadU64(UA_Data(a))), -5);
  EXPECT_EQ(int64_t(LoadU64(UA_Data(a) + 8)), -5);
  EXPECT_EQ(int64_t(LoadU64(UA_Data(a) + 8 * 32)), 7);
  UA_Free(&a);

  ASSERT_EQ(UA_AddExts(&a, 2.5L, 3), 0u);
  EXPECT_EQ(a->ElemSize, 10u);
  EXPECT_EQ(LoadExtended(UA_Data(a) + 20), 2.5L);
  UA_Free(&a);
}

TEST(UnifiedArray, FindClampsTheRangeAndComparesWholeValues) {
  PArrayHeader a = nullptr;
  for (uint32_t v : {5u, 9u, 5u, 1u}) UA_AddDWORDs(&a, v, 1);
  EXPECT_EQ(UA_FindDWORD(a, 5, 0, 3), 0);
  EXPECT_EQ(UA_FindDWORD(a, 5, 1, 3), 2);
  EXPECT_EQ(UA_FindDWORD(a, 1, 0, 1000), 3);  // last clamped to the last item
  EXPECT_EQ(UA_FindDWORD(a, 9, 2, 1), -1);    // last < first
  EXPECT_EQ(UA_FindDWORD(a, 7, 0, 3), -1);
  EXPECT_EQ(UA_FindDWORD(nullptr, 7, 0, 3), -1);
  UA_Free(&a);

  UA_AddInts(&a, 0x100000005ll, 1);
  UA_AddInts(&a, 5, 1);
  EXPECT_EQ(UA_FindInt(a, 5, 0, 9), 1);  // both halves compared
  UA_Free(&a);

  UA_AddExts(&a, 1.0L, 1);
  UA_AddExts(&a, 0.1L, 1);
  EXPECT_EQ(UA_FindExt(a, 0.1L, 0, 9), 1);
  EXPECT_EQ(UA_FindExt(a, (long double)0.1, 0, 9), -1);  // a double is not the 80-bit value
  UA_Free(&a);
}

TEST(UnifiedArray, SliceTakesWhatIsThere) {
  PArrayHeader a = nullptr;
  for (int64_t v = 0; v < 10; ++v) UA_AddInts(&a, v, 1);
  PArrayHeader s = UA_Slice(a, vtIntArray, 7, 100);
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(s->ElemCount, 3u);
  EXPECT_EQ(int64_t(LoadU64(UA_Data(s))), 7);
  EXPECT_EQ(UA_Slice(a, vtIntArray, 10, 1), nullptr);
  EXPECT_EQ(UA_Slice(nullptr, vtIntArray, 0, 1), nullptr);
  UA_Free(&s);
  UA_Free(&a);
}

TEST(UnifiedArray, ItemByItemAppendsReallocateLogarithmicallyOften) {
  PArrayHeader a = nullptr;
  uint32_t reallocations = 0;
  uint32_t capacity = 0;
  for (int64_t i = 0; i < 100000; ++i) {
    ASSERT_EQ(UA_AddInts(&a, i, 1), 0u);
    if (a->TrueElemCount != capacity) ++reallocations;
    capacity = a->TrueElemCount;
    ASSERT_EQ(capacity % 32, 0u);
  }
  EXPECT_LE(reallocations, 25u);  // by half again from 32: about 21 steps
  EXPECT_EQ(int64_t(LoadU64(UA_Data(a) + 8 * 99999)), 99999);
  EXPECT_EQ(UA_FindInt(a, 65536, 0, 0xFFFFFFFF), 65536);
  // Setting the count keeps its own rule: the block shrinks to the rounded need.
  ASSERT_TRUE(UA_SetCount(&a, 100000));
  EXPECT_EQ(a->TrueElemCount, 100000u);
  UA_Free(&a);
}

}  // namespace

#ifdef ZORVAT_HEAP_INJECTION
// A request the heap refuses is 1002 for the caller and nothing else: the
// block keeps its items and its capacity, a constant stays shared, and the
// next request works again.
TEST(UnifiedArray, RefusedRequestsLeaveEveryArrayAsItWas) {
  PArrayHeader a = nullptr;
  ASSERT_EQ(UA_AddDWORDs(&a, 7, 40), 0u);
  const PArrayHeader before = a;

  HeapFailRequest(1);
  EXPECT_FALSE(UA_SetCount(&a, 100));
  EXPECT_TRUE(HeapFailureHit());
  HeapFailRequest(1);
  EXPECT_EQ(UA_AddDWORDs(&a, 9, 60), 1002u);
  HeapFailRequest(1);
  EXPECT_EQ(UA_Slice(a, vtDWORDArray, 0, 10), nullptr);
  HeapFailRequest(0);
  ASSERT_EQ(a, before);
  EXPECT_EQ(a->ElemCount, 40u);
  EXPECT_EQ(a->TrueElemCount, 64u);
  EXPECT_EQ(UA_FindDWORD(a, 7, 0, 39), 0);
  EXPECT_EQ(UA_FindDWORD(a, 9, 0, 39), -1);

  StaticDWORDs constant = {{4, 2, 2, 0}, {5, 6, 0, 0}};
  PArrayHeader shared = &constant.Header;
  HeapFailRequest(1);
  EXPECT_FALSE(UA_SetCount(&shared, 3));
  HeapFailRequest(0);
  EXPECT_EQ(shared, &constant.Header);
  EXPECT_EQ(constant.Header.ElemCount, 2u);

  EXPECT_EQ(UA_AddDWORDs(&a, 9, 60), 0u);
  EXPECT_EQ(UA_FindDWORD(a, 9, 0, 99), 40);
  UA_Free(&a);
}
#endif
