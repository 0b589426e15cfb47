#include "runtime/core/variables.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

#include "base/status.h"
#include "runtime/values/block.h"
#include "runtime/values/list.h"
#include "runtime/values/text.h"

namespace {

// A bare context with frames only: the variable layer needs nothing else.
struct Frames {
  TScriptContext context{};
  ~Frames() {
    ReleaseFrames(&context);
    GrowArrayFree(context.CallStack);
  }
  TScriptContext* c() { return &context; }
  uint32_t Alloc(uint32_t n, bool global = true) {
    uint32_t first = 0;
    EXPECT_EQ(AllocVars(&context, n, global, &first), 0u);
    return first;
  }
};

TEST(Variables, LocalReferencesAddressFrame0WhileItIsTheOnlyFrame) {
  Frames f;
  f.Alloc(2);
  EXPECT_EQ(ResolveVar(f.c(), 0x80000000), ResolveVar(f.c(), 0));
  EXPECT_EQ(ResolveVar(f.c(), 0x80000002), nullptr);
}

TEST(Variables, LocalFramesComeAndGo) {
  Frames f;
  f.Alloc(1);
  PushFrame(f.c());
  EXPECT_EQ(f.Alloc(2, false), 0u);
  EXPECT_NE(ResolveVar(f.c(), 0x80000001), nullptr);
  EXPECT_EQ(Var_StoreUnicodeString(f.c(), 0x80000001, u"local", 5), 0u);
  EXPECT_EQ(PopFrame(f.c()), 0u);  // releases the text (ASan: no leak)
  EXPECT_EQ(ResolveVar(f.c(), 0x80000001), nullptr);
  EXPECT_EQ(Var_StoreDWORD(f.c(), 0x80000001, 1), kStatusNoSuchVariable);
  EXPECT_EQ(PopFrame(f.c()), 0u);
  EXPECT_EQ(PopFrame(f.c()), kStatusNoFrame);
  EXPECT_EQ(FreeVars(f.c(), 1, true), kStatusNoFrame);
}

TEST(Variables, AllocationPushesFrame0AndRefusesZero) {
  Frames f;
  uint32_t first = 7;
  EXPECT_EQ(AllocVars(f.c(), 0, true, &first), kStatusVarCountError);
  EXPECT_EQ(first, kNoVariable);
  EXPECT_EQ(f.Alloc(3), 0u);
  EXPECT_EQ(f.context.StackFrames.Count, 1u);
  EXPECT_EQ(f.Alloc(2), 3u);
  EXPECT_EQ(AllocVars(f.c(), 0x7FFFFFFF, true, &first), kStatusOutOfMemory);
  EXPECT_EQ(f.context.StackFrames.Items[0].Count, 5u);
}

TEST(Variables, FreeMoreThanTheFrameHoldsEmptiesIt) {
  Frames f;
  f.Alloc(3);
  Var_StoreUnicodeString(f.c(), 2, u"x", 1);
  EXPECT_EQ(FreeVars(f.c(), 5, true), kStatusVarCountError);
  EXPECT_EQ(f.context.StackFrames.Items[0].Count, 0u);
}

TEST(Variables, TypedReads) {
  Frames f;
  f.Alloc(3);
  Var_StoreFloat(f.c(), 0, 1.5L);
  Var_StoreInteger(f.c(), 1, -1);
  uint32_t d;
  int64_t i = 0;
  TExtended e;
  EXPECT_EQ(GetVarDWORD(f.c(), 0, &d), kStatusBadVarKindForNumber);
  EXPECT_EQ(GetVarDWORD(f.c(), 9, &d), kStatusNoSuchVariable);
  EXPECT_EQ(GetVarDWORD(f.c(), 1, &d), 0u);
  EXPECT_EQ(d, 0xFFFFFFFFu);
  Var_StoreDWORD(f.c(), 1, 0xFFFFFFFF);
  EXPECT_EQ(GetVarInt64(f.c(), 1, &i), 0u);
  EXPECT_EQ(i, 4294967295);
  EXPECT_EQ(GetVarExtended(f.c(), 1, &e), 0u);
  EXPECT_EQ(e, 4294967295.0L);
  EXPECT_EQ(GetVarDWORDOrFirst(f.c(), 2, &d), kStatusWrongKind);  // uninitialised
  EXPECT_EQ(GetVarDWORDOrFirst(f.c(), 9, &d), kStatusWrongKind);
}

TEST(Variables, FirstOfADWORDArray) {
  Frames f;
  f.Alloc(1);
  PArrayHeader empty = UA_New(0, 4);
  StoreArrayRef(f.c(), 0, empty, vtDWORDArray);
  uint32_t d;
  EXPECT_EQ(GetVarDWORDOrFirst(f.c(), 0, &d), kStatusIndexOutOfRange);
  PArrayHeader two = nullptr;
  UA_AddDWORDs(&two, 0x1234, 2);
  EXPECT_EQ(StoreArrayRef(f.c(), 0, two, vtDWORDArray), 0u);  // frees the empty one
  EXPECT_EQ(GetVarDWORDOrFirst(f.c(), 0, &d), 0u);
  EXPECT_EQ(d, 0x1234u);
  uint32_t span = 0;
  EXPECT_NE(VarItemSpan(f.c(), 0, 1, &span), nullptr);
  EXPECT_EQ(span, 1u);
  EXPECT_EQ(VarItemPtr(f.c(), 0, 2), nullptr);
}

TEST(Variables, EmptyTextIsTheStaticOne) {
  Frames f;
  f.Alloc(1);
  EXPECT_EQ(Var_StoreUnicodeString(f.c(), 0, u"", 0), 0u);
  TZorvatVariable* v = ResolveVar(f.c(), 0);
  EXPECT_EQ(v->VarType, vtUnicodeString);
  EXPECT_EQ(v->UA, USTR_Empty());
  EXPECT_EQ(UA_ItemCount(v->UA, vtUnicodeString), 0u);
}

TEST(Variables, OverwritingAListFreesItsItems) {
  Frames f;
  f.Alloc(1);
  ASSERT_EQ(Var_InitBBL(f.c(), 0), 0u);
  ASSERT_EQ(Var_AddItemBBL(f.c(), 0, "abc", 3), 0u);
  ASSERT_EQ(Var_AddItemBBL(f.c(), 0, "", 0), 0u);
  EXPECT_EQ(xL_Count(ResolveVar(f.c(), 0)->UA), 2u);
  EXPECT_EQ(Var_StoreDWORD(f.c(), 0, 5), 0u);  // ASan would report the leaked blocks
  EXPECT_EQ(ResolveVar(f.c(), 0)->VarType, vtDWORD);
}

TEST(Variables, ListItemsNeedAListOfTheRightKind) {
  Frames f;
  f.Alloc(2);
  Var_StoreDWORD(f.c(), 0, 77);
  EXPECT_EQ(Var_AddItemUStrL(f.c(), 0, u"x", 1), kStatusWrongKind);
  EXPECT_EQ(ResolveVar(f.c(), 0)->AsDWORD, 77u);
  EXPECT_EQ(Var_AddItemUStrL(f.c(), 5, u"x", 1), kStatusNoSuchVariable);
  ASSERT_EQ(Var_InitUStrL(f.c(), 1), 0u);
  EXPECT_EQ(Var_AddItemBBL(f.c(), 1, "x", 1), kStatusWrongKind);
  ASSERT_EQ(Var_AddItemUStrL(f.c(), 1, u"zero-terminated", -1), 0u);
  ASSERT_EQ(Var_AddItemUStrL(f.c(), 1, u"ignored", 0), 0u);
  PArrayHeader list = ResolveVar(f.c(), 1)->UA;
  EXPECT_EQ(USTR_Length(xL_Item(list, 0)), 15u);
  EXPECT_EQ(xL_Item(list, 1), USTR_Empty());
}

TEST(Variables, AStoreMayCopyFromTheVariablesOwnValue) {
  Frames f;
  f.Alloc(1);
  Var_StoreUnicodeString(f.c(), 0, u"abcdef", 6);
  const char16_t* own = USTR_Chars(ResolveVar(f.c(), 0)->UA);
  ASSERT_EQ(Var_StoreUnicodeString(f.c(), 0, own + 2, 3), 0u);  // ASan: no use after free
  EXPECT_EQ(USTR_Length(ResolveVar(f.c(), 0)->UA), 3u);
  EXPECT_EQ(USTR_Chars(ResolveVar(f.c(), 0)->UA)[0], u'c');
  const uint8_t* bytes = UA_Data(ResolveVar(f.c(), 0)->UA);
  ASSERT_EQ(Var_StoreBinBlock(f.c(), 0, bytes, 4), 0u);
  EXPECT_EQ(BB_Length(ResolveVar(f.c(), 0)->UA), 4u);
}

TEST(Variables, NullDataIsRefusedNotCopied) {
  Frames f;
  f.Alloc(1);
  Var_StoreDWORD(f.c(), 0, 3);
  EXPECT_EQ(Var_StoreBinBlock(f.c(), 0, nullptr, 4), kStatusOutOfMemory);
  EXPECT_EQ(Var_StoreUnicodeString(f.c(), 0, nullptr, 4), kStatusOutOfMemory);
  EXPECT_EQ(ResolveVar(f.c(), 0)->AsDWORD, 3u);
  EXPECT_EQ(Var_StoreBinBlock(f.c(), 0, nullptr, 0), 0u);  // an empty block needs no data
  ASSERT_EQ(Var_InitBBL(f.c(), 0), 0u);
  EXPECT_EQ(Var_AddItemBBL(f.c(), 0, nullptr, 1), kStatusOutOfMemory);
  EXPECT_EQ(xL_Count(ResolveVar(f.c(), 0)->UA), 0u);
}

TEST(Variables, StoringTheSameArrayAgainKeepsIt) {
  Frames f;
  f.Alloc(1);
  PArrayHeader a = nullptr;
  UA_AddInts(&a, 9, 1);
  StoreArrayRef(f.c(), 0, a, vtIntArray);
  EXPECT_EQ(StoreArrayRef(f.c(), 0, a, vtIntArray), 0u);
  EXPECT_EQ(ResolveVar(f.c(), 0)->UA->ElemCount, 1u);
  EXPECT_EQ(StoreArrayRef(f.c(), 3, a, vtIntArray), kStatusNoSuchVariable);
}

TEST(Variables, WritingACopyLeavesTheConstantIntact) {
  struct {
    TArrayHeader header;
    uint32_t items[2];
  } constant = {{4, 2, 2, 0}, {10, 20}};
  Frames f;
  f.Alloc(2);
  StoreArrayRef(f.c(), 0, &constant.header, vtDWORDArray);
  StoreArrayRef(f.c(), 1, &constant.header, vtDWORDArray);  // shared, owned by nobody
  ASSERT_EQ(MakeVarWritable(f.c(), 0), 0u);
  PArrayHeader copy = ResolveVar(f.c(), 0)->UA;
  ASSERT_NE(copy, &constant.header);
  EXPECT_FALSE(UA_IsStatic(copy));
  EXPECT_EQ(copy->ElemCount, 2u);
  reinterpret_cast<uint32_t*>(UA_Data(copy))[0] = 99;
  EXPECT_EQ(constant.items[0], 10u);
  EXPECT_EQ(ResolveVar(f.c(), 1)->UA, &constant.header);
  EXPECT_EQ(MakeVarWritable(f.c(), 0), 0u);  // already dynamic: unchanged
  EXPECT_EQ(ResolveVar(f.c(), 0)->UA, copy);
  EXPECT_EQ(MakeVarWritable(f.c(), 7), kStatusNoSuchVariable);
  Var_StoreDWORD(f.c(), 1, 0);  // releasing the shared constant frees nothing
}

// A text the runtime built is written into the variable's own block when
// that block has the capacity a new text of its length would get, and into
// a new block otherwise (a shared constant is never written).
TEST(Variables, BuiltTextsReuseABlockOfTheirOwnCapacity) {
  Frames f;
  f.Alloc(2);
  auto text = [&](uint32_t n) {
    const TZorvatVariable* v = ResolveVar(f.c(), n);
    return std::u16string(USTR_Chars(v->UA), USTR_Length(v->UA));
  };
  ASSERT_EQ(Var_StoreUnicodeString(f.c(), 0, u"abc", 3), 0u);
  const PArrayHeader first = ResolveVar(f.c(), 0)->UA;
  EXPECT_EQ(StoreBuiltText(f.c(), 0, u"12345", 5), 0u);
  EXPECT_EQ(ResolveVar(f.c(), 0)->UA, first);
  EXPECT_EQ(text(0), u"12345");
  EXPECT_EQ(StoreBuiltText(f.c(), 0, u"9", 1), 0u);  // shorter: the rest is not read
  EXPECT_EQ(ResolveVar(f.c(), 0)->UA, first);
  EXPECT_EQ(text(0), u"9");
  EXPECT_EQ(USTR_Chars(first)[1], 0);
  const std::u16string longText(100, u'x');
  EXPECT_EQ(StoreBuiltText(f.c(), 0, longText.data(), 100), 0u);  // outgrows the block
  EXPECT_EQ(text(0), longText);
  const PArrayHeader large = ResolveVar(f.c(), 0)->UA;
  EXPECT_EQ(StoreBuiltText(f.c(), 0, u"7", 1), 0u);  // would keep 128 units for 2
  EXPECT_NE(ResolveVar(f.c(), 0)->UA, large);
  EXPECT_EQ(text(0), u"7");
  // From the variable's own units, moved within the block.
  EXPECT_EQ(Var_StoreUnicodeString(f.c(), 1, u"abcdef", 6), 0u);
  EXPECT_EQ(StoreBuiltText(f.c(), 1, USTR_Chars(ResolveVar(f.c(), 1)->UA) + 2, 4), 0u);
  EXPECT_EQ(text(1), u"cdef");
  struct {
    TArrayHeader header{2, 3, 3, 0};
    char16_t units[3] = {u'h', u'i', 0};
  } constant;
  ASSERT_EQ(StoreArrayRef(f.c(), 1, &constant.header, vtUnicodeString), 0u);
  EXPECT_EQ(StoreBuiltText(f.c(), 1, u"no", 2), 0u);
  EXPECT_EQ(constant.units[0], u'h');
  EXPECT_EQ(text(1), u"no");
  EXPECT_EQ(StoreBuiltText(f.c(), 5, u"x", 1), kStatusNoSuchVariable);
}

// A library thread stores event codes into a slot of frame 0 while the script
// thread keeps moving that frame (growing it past its capacity, releasing and
// rebuilding it), stores into the same slot itself, and pushes and pops
// frames of locals. Every store must land
// in the frame as it is at that moment or find no variable (1001); under the
// sanitizers an unlocked store into a moved frame shows up as a use after
// free. The last code stored is the one the slot keeps.
TEST(Variables, StoresFromAnotherThreadSurviveFrameChanges) {
  Frames f;
  constexpr uint32_t kSlot = 0;
  f.Alloc(1);
  std::atomic<bool> churning = true;
  std::atomic<uint32_t> landed = 0;
  // As the exported store does it: under the variables' lock.
  auto libraryStore = [&](uint32_t value) {
    TVariablesLock lock;
    return Var_StoreDWORD(f.c(), kSlot, value);
  };
  std::thread library([&] {
    for (uint32_t i = 0; churning; ++i) {
      TStatus status = libraryStore(100 + i % 7);
      EXPECT_TRUE(status == 0 || status == kStatusNoSuchVariable) << status;
      if (status == 0) ++landed;
    }
    EXPECT_EQ(libraryStore(1), 0u);
  });
  for (uint32_t round = 0; round < 3000 || landed < 1000; ++round) {
    ReleaseFrames(f.c());
    f.Alloc(1);
    for (uint32_t i = 0; i < 40; ++i) f.Alloc(1);
    EXPECT_EQ(Var_StoreUnicodeString(f.c(), 40, u"moving", 6), 0u);
    EXPECT_EQ(Var_StoreDWORD(f.c(), kSlot, 7), 0u);  // the script's own store, unlocked
    PushFrame(f.c());
    f.Alloc(3, false);
    EXPECT_EQ(PopFrame(f.c()), 0u);
    EXPECT_EQ(FreeVars(f.c(), 40, true), 0u);
  }
  churning = false;
  library.join();
  uint32_t code = 0;
  EXPECT_EQ(GetVarDWORD(f.c(), kSlot, &code), 0u);
  EXPECT_EQ(code, 1u);
  EXPECT_EQ(ResolveVar(f.c(), 1), nullptr);
}

// A library thread that kept the context stores through the exported
// functions' scope: while the context is live its stores land; once it is
// released they are refused, and the record can go (the sanitizers would see a store
// into it after it was freed).
TEST(Variables, LibraryStoresStopWhenTheRunEnds) {
  auto* context = new TScriptContext{};
  uint32_t first = 0;
  ASSERT_EQ(AllocVars(context, 1, true, &first), 0u);
  MarkContextLive(context, true);
  std::atomic<uint32_t> landed = 0, refused = 0;
  std::thread library([&] {
    while (refused < 100) {
      TLibraryStoreScope scope(context);
      if (!scope.Live()) {
        ++refused;
        continue;
      }
      EXPECT_EQ(Var_StoreDWORD(context, 0, 10), 0u);
      ++landed;
    }
  });
  while (landed < 100) std::this_thread::yield();
  MarkContextLive(context, false);
  ReleaseFrames(context);
  delete context;
  library.join();
  EXPECT_EQ(refused, 100u);
}

}  // namespace

TEST(Variables, ItemPtrStopsAtTheItemCount) {
  TZorvatVariable v{};
  v.VarType = vtUnicodeString;
  v.UA = UA_New(3, 2);  // "ab" and its terminator
  EXPECT_EQ(UA_ItemPtr(&v, 0), UA_Data(v.UA));
  EXPECT_EQ(UA_ItemPtr(&v, 1), UA_Data(v.UA) + 2);
  EXPECT_EQ(UA_ItemPtr(&v, 2), nullptr);  // the terminator is not an item
  v.VarType = vtDWORD;
  EXPECT_EQ(UA_ItemPtr(&v, 0), nullptr);
  v.VarType = vtUnicodeString;
  UA_Free(&v.UA);
}
