#include "runtime/core/fetch.h"

#include <gtest/gtest.h>

#include "base/bytes.h"
#include "runtime/core/variables.h"
#include "runtime/values/block.h"
#include "runtime/values/text.h"
#include "tests/support/command_codes.h"
#include "tests/support/loaded_image.h"

namespace {

// One instruction of the open-ended code 39 whose parameters the test
// writes (Load adds the end byte); the fetches run with IP at the first
// parameter.
struct Params {
  ImageBuilder b;
  Bytes* lds;
  CodeWriter w;
  std::unique_ptr<LoadedImage> loaded;

  Params() : lds(&b.Add("LDS", 0)), w(b.Add("GCS", 1)) { w.Cmd(kKeyStroke); }
  TScriptContext* Load(uint32_t variables = 4) {
    w.End().Cmd(kExit).Byte(0);
    loaded = std::make_unique<LoadedImage>(b.Build());
    EXPECT_EQ(loaded->prepared, 0u);
    loaded->StandAt(b.OffsetOf("GCS"));
    loaded->context.IP += 4;
    uint32_t first;
    AllocVars(&loaded->context, variables, true, &first);
    return &loaded->context;
  }
  uint32_t Start() const { return b.OffsetOf("GCS") + 4; }
};

TEST(Fetch, DWORDSignExtendsBytesAndWords) {
  Params p;
  p.w.Byte(-1).Word(int16_t(0x8000)).DWord(0xFFFFFFFF);
  TScriptContext* c = p.Load();
  TFetchStatus status = kFetchEnd;
  EXPECT_EQ(FetchDWORD(c, &status, 0), 0xFFFFFFFFu);
  EXPECT_EQ(status, kFetchValue);
  EXPECT_EQ(FetchDWORD(c, &status, 0), 0xFFFF8000u);
  EXPECT_EQ(FetchInt64(c, &status, 0), 4294967295);  // a DWORD is zero-extended
  EXPECT_EQ(c->IP, p.Start() + 2 + 3 + 5);
}

TEST(Fetch, DefaultsAndTheEndOfTheList) {
  Params p;
  p.w.Default();
  TScriptContext* c = p.Load();
  TFetchStatus status;
  EXPECT_EQ(FetchDWORD(c, &status, 42), 42u);
  EXPECT_EQ(status, kFetchDefault);
  EXPECT_EQ(FetchInt64(c, &status, -3), -3);
  EXPECT_EQ(status, kFetchEnd);
  // Fetching on after the end keeps reporting the end; nothing of the next
  // instruction is read.
  EXPECT_EQ(FetchDWORD(c, &status, 8), 8u);
  EXPECT_EQ(status, kFetchEnd);
  EXPECT_EQ(c->IP, p.Start() + 1);
}

TEST(Fetch, IntegersAndFloatsConvert) {
  Params p;
  p.w.Int(-5000000000LL).Int(0x100000007LL).Ext(2.5L);
  TScriptContext* c = p.Load();
  TFetchStatus status;
  EXPECT_EQ(FetchExtended(c, &status, 0), -5000000000.0L);
  EXPECT_EQ(FetchDWORD(c, &status, 0), 7u);  // low 32 bits
  EXPECT_EQ(FetchDWORD(c, &status, 0), 0u);  // a float is not a DWORD
  EXPECT_EQ(status, kFetchUnusable);
  EXPECT_EQ(c->IP, p.Start() + 9 + 9 + 11);  // advanced all the same
}

TEST(Fetch, VariablesAreReadByKind) {
  Params p;
  p.w.Var(0).Var(0).Var(1).Var(1).Var(2).Var(99);
  TScriptContext* c = p.Load(3);
  Var_StoreInteger(c, 0, (int64_t(1) << 32) + 5);
  Var_StoreFloat(c, 1, 1.25L);
  Var_StoreDWORD(c, 2, 0xFFFFFFFF);
  TFetchStatus status;
  EXPECT_EQ(FetchDWORD(c, &status, 0), 5u);
  EXPECT_EQ(FetchInt64(c, &status, 0), (int64_t(1) << 32) + 5);
  EXPECT_EQ(FetchDWORD(c, &status, 0), 0u);
  EXPECT_EQ(status, kFetchUnusable);
  EXPECT_EQ(FetchExtended(c, &status, 0), 1.25L);
  EXPECT_EQ(FetchExtended(c, &status, 0), 4294967295.0L);  // unsigned
  FetchDWORD(c, &status, 0);
  EXPECT_EQ(status, kFetchUnusable);  // no such variable
}

TEST(Fetch, TextConstantsComeBackThemselvesAndBlocksAreConverted) {
  Params p;
  uint32_t text = AddTextConstant(*p.lds, u"h\u20ACi");
  uint32_t block = AddBlockConstant(*p.lds, {'h', 0x80, 'i'});
  p.w.Constant(13, text).Constant(5, block).Constant(13, text);
  TScriptContext* c = p.Load();
  TFetchStatus status;
  PArrayHeader constant = FetchText(c, &status);
  EXPECT_EQ(status, kFetchValue);
  EXPECT_TRUE(UA_IsStatic(constant));
  TFetchedText converted(FetchText(c, &status));
  ASSERT_NE(converted.Get(), nullptr);
  EXPECT_FALSE(UA_IsStatic(converted.Get()));
  // The 8-bit constant reads as the same text as the UTF-16 one.
  EXPECT_EQ(USTR_Compare(USTR_Chars(constant), USTR_Length(constant), USTR_Chars(converted.Get()),
                         USTR_Length(converted.Get())),
            0);
  EXPECT_EQ(FetchText(c, &status), constant);  // the same constant, no copy
}

TEST(Fetch, TextFromVariables) {
  Params p;
  p.w.Var(0).Var(1).Var(2);
  TScriptContext* c = p.Load(3);
  Var_StoreUnicodeString(c, 0, u"abc", 3);
  Var_StoreBinBlock(c, 1, "xy", 2);
  Var_StoreDWORD(c, 2, 1);
  TFetchStatus status;
  TFetchedText clone(FetchText(c, &status));
  ASSERT_EQ(status, kFetchValue);
  EXPECT_NE(clone.Get(), ResolveVar(c, 0)->UA);  // a dynamic text is cloned
  EXPECT_EQ(USTR_Length(clone.Get()), 3u);
  TFetchedText fromBlock(FetchText(c, &status));
  EXPECT_EQ(USTR_Chars(fromBlock.Get())[1], u'y');
  EXPECT_EQ(FetchText(c, &status), nullptr);
  EXPECT_EQ(status, kFetchUnusable);
}

TEST(Fetch, ArraysMustMatchTheExpectedKind) {
  Params p;
  uint32_t block = AddBlockConstant(*p.lds, {1, 2});
  p.w.Var(0).Constant(5, block).Constant(5, block);
  TScriptContext* c = p.Load(1);
  Var_StoreUnicodeString(c, 0, u"t", 1);
  TFetchStatus status;
  EXPECT_EQ(FetchArray(c, &status, ptBinBlock), nullptr);  // a text is not a block
  EXPECT_EQ(status, kFetchUnusable);
  PArrayHeader b = FetchBinBlock(c, &status);
  ASSERT_EQ(status, kFetchValue);
  EXPECT_EQ(BB_Length(b), 2u);
  EXPECT_EQ(FetchArray(c, &status, ptDWORDArray), nullptr);
  EXPECT_EQ(status, kFetchUnusable);
}

TEST(Fetch, NothingIsReadPastTheCodeSection) {
  ImageBuilder b;
  CodeWriter(b.Add("GCS", 1)).Cmd(kExit).Byte(1);
  LoadedImage l(b.Build());
  l.StandAt(b.OffsetOf("GCS"));
  l.context.IP += 4;
  TFetchStatus status;
  EXPECT_EQ(FetchDWORD(&l.context, &status, 0), 1u);
  EXPECT_EQ(FetchDWORD(&l.context, &status, 77), 77u);
  EXPECT_EQ(status, kFetchEnd);
  EXPECT_EQ(l.context.IP, l.context.CodeEnd);
}

TEST(Fetch, CountParamsStopsAfterTheEndByte) {
  Params p;
  p.w.DWord(1).Byte(2);
  TScriptContext* c = p.Load();
  uint32_t end = 0;
  EXPECT_EQ(CountParams(c, c->IP, &end), 2u);
  EXPECT_EQ(end, p.Start() + 8);
  EXPECT_EQ(c->IP, p.Start());
}

// Preparation records the open-ended lists so that handlers need not walk
// them; what it recorded must be what a walk finds, from every parameter
// position (recorded or not), in lists of every length, across sections.
TEST(Fetch, RecordedListsAgreeWithTheWalk) {
  ImageBuilder b;
  CodeWriter w(b.Add("GCS", 1));
  std::vector<uint32_t> positions;
  auto record = [&](CodeWriter& cw) { positions.push_back(cw.Here()); };
  w.Cmd(kVarAdd);
  record(w);
  w.End();
  for (int length = 1; length < 12; ++length) {
    w.Cmd(length % 2 ? kSwitch : kTextConcat);
    for (int i = 0; i < length; ++i) {
      record(w);
      if (i % 3 == 0) w.Int(i);
      if (i % 3 == 1) w.DWord(uint32_t(i));
      if (i % 3 == 2) w.Default();
    }
    record(w);
    w.End();
  }
  w.Cmd(kExit).Byte(0);
  CodeWriter other(b.Add("SUB", 1));
  other.Cmd(kVarSub).Byte(0);
  const uint32_t otherStart = other.Here();
  other.Ext(1.5L).End();
  LoadedImage l(b.Build());
  ASSERT_EQ(l.prepared, 0u);
  l.StandAt(b.OffsetOf("GCS"));
  for (uint32_t position : positions) {
    const uint32_t at = b.OffsetOf("GCS") + position;
    uint32_t end = 0, walkedEnd = 1;
    EXPECT_EQ(CountParams(&l.context, at, &end), CountParamsByWalking(&l.context, at, &walkedEnd))
        << position;
    EXPECT_EQ(end, walkedEnd) << position;
  }
  l.StandAt(b.OffsetOf("SUB"));
  uint32_t end = 0;
  EXPECT_EQ(CountParams(&l.context, b.OffsetOf("SUB") + otherStart, &end), 1u);
  EXPECT_EQ(end, l.context.CodeEnd);
  EXPECT_EQ(CountParams(&l.context, b.OffsetOf("SUB") + 4, &end), 2u);
}

}  // namespace
