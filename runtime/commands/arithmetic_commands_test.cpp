#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <memory>

#include "base/bytes.h"
#include "base/status.h"
#include "runtime/commands/commands.h"
#include "runtime/core/variables.h"
#include "runtime/values/block.h"
#include "runtime/values/list.h"
#include "runtime/values/text.h"
#include "tests/support/command_codes.h"
#include "tests/support/loaded_image.h"

namespace {

constexpr int64_t kMinInt = std::numeric_limits<int64_t>::min();
constexpr int64_t kMaxInt = std::numeric_limits<int64_t>::max();
const long double kNaN = std::numeric_limits<long double>::quiet_NaN();

// A script over global variables, run under policy 0 so that the first
// failing command stops it. Run() ends the code with a command that fails
// with 102, so a script that gets through stops with 102 and its variables
// in place; it returns the status that stopped the run.
class Script {
 public:
  explicit Script(int8_t globals) {
    if (globals > 0) W().Cmd(kGlobalsAlloc).Byte(globals).End();
  }
  CodeWriter W() { return CodeWriter(gcs_); }
  uint32_t BlockConstant(const std::string& s) {
    return AddBlockConstant(lds_, Bytes(s.begin(), s.end()));
  }
  // Loads the image; a test may then put values into variables before Run.
  TScriptContext* Load() {
    W().Cmd(kSetInt).Default().End();
    loaded_ = std::make_unique<LoadedImage>(b_.Build());
    loaded_->context.ActionAfterError = kErrorPolicyStop;
    return &loaded_->context;
  }
  TStatus Run() {
    if (!loaded_) Load();
    return loaded_->Run();
  }
  LoadedImage& Loaded() { return *loaded_; }
  const TZorvatVariable& operator[](uint32_t reference) {
    static const TZorvatVariable kMissing{};
    const TZorvatVariable* v = ResolveVar(&loaded_->context, reference);
    if (v == nullptr) ADD_FAILURE() << "no variable " << reference;
    return v != nullptr ? *v : kMissing;
  }
  std::u16string Text(uint32_t r) {
    EXPECT_EQ((*this)[r].VarType, vtUnicodeString);
    return USTR_ToNative((*this)[r].UA);
  }
  std::string Block(uint32_t r) {
    EXPECT_EQ((*this)[r].VarType, vtBinBlock);
    const TArrayHeader* block = (*this)[r].UA;
    return std::string(reinterpret_cast<const char*>(UA_Data(block)), BB_Length(block));
  }

 private:
  ImageBuilder b_;
  Bytes& lds_ = b_.Add("LDS", 0);
  Bytes& gcs_ = b_.Add("GCS", 1);
  std::unique_ptr<LoadedImage> loaded_;
};

// Global frame with `n` variables before the run, for values that no command
// of this family builds.
TScriptContext* LoadWithGlobals(Script& s, uint32_t n) {
  TScriptContext* c = s.Load();
  uint32_t first;
  PushFrame(c);
  EXPECT_EQ(AllocVars(c, n, true, &first), kStatusOk);
  return c;
}

TEST(Assignment, SetIntFloatAndBlock) {
  Script s(4);
  uint32_t abc = s.BlockConstant("abc");
  s.W().Cmd(kSetInt).Byte(0).Int(kMinInt).Cmd(kSetInt).Byte(1).End();
  s.W().Cmd(kSetFloat).Byte(2).Ext(2.5L).Cmd(kSetBlock).Byte(3).Constant(5, abc);
  s.W().Cmd(kSetFloat).Byte(0).End();  // a float must be given
  EXPECT_EQ(s.Run(), kStatusBadParam);
  EXPECT_EQ(s[0].VarType, vtInteger);
  EXPECT_EQ(s[0].AsInteger, kMinInt);
  EXPECT_EQ(s[1].AsInteger, 0);
  EXPECT_EQ(s[2].AsExtended, 2.5L);
  EXPECT_EQ(s.Block(3), "abc");

  Script e(1);
  e.W().Cmd(kSetBlock).Byte(0).End();
  e.Run();
  EXPECT_EQ(e.Block(0), "");
}

TEST(Arithmetic, DWORDTargetsWrapAndShiftModulo32) {
  Script s(10);
  auto set = [&](int8_t v, uint32_t x) { return s.W().Cmd(kSetDWORD).Byte(v).DWord(x); };
  set(0, 0xFFFFFFFF).Cmd(kVarAdd).Byte(0).Byte(1).End();
  set(1, 0).Cmd(kVarSub).Byte(1).End();  // no operand: decrement
  set(2, 0x80000001).Cmd(kVarShl).Byte(2).Byte(33).End();
  set(3, 0x80000000).Cmd(kVarShr).Byte(3).Byte(33).End();
  set(4, 0x10000).Cmd(kVarMul).Byte(4).DWord(0x10001).End();
  set(5, 5).Cmd(kVarMax).Byte(5).Byte(3).Byte(9).Byte(4).End();
  set(6, 5).Cmd(kVarMin).Byte(6).Byte(-1).Byte(3).Byte(8).End();
  set(7, 0xFFFFFFF9).Cmd(kVarDiv).Byte(7).Byte(2).End();
  set(8, 0xFFFFFFF9).Cmd(kVarMod).Byte(8).Byte(4).End();
  set(9, 0xF0F0).Cmd(kVarAnd).Byte(9).Word(-241).End();  // 0xFFFFFF0F
  s.W().Cmd(kVarOr).Byte(9).Byte(0xF).End().Cmd(kVarXor).Byte(9).DWord(0xFFFF).End();
  s.W().Cmd(kVarAdd).Byte(7).Byte(1).Byte(2).End();  // several operands
  EXPECT_EQ(s.Run(), kStatusBadParam);
  const uint32_t expected[] = {0, 0xFFFFFFFF, 2, 0x40000000, 0x10000, 9, 3, 0x7FFFFFFF, 1, 0x0FF0};
  for (uint32_t i = 0; i < 10; ++i) {
    EXPECT_EQ(s[i].VarType, vtDWORD);
    EXPECT_EQ(s[i].AsDWORD, expected[i]) << "variable " << i;
  }
}

TEST(Arithmetic, IntegerTargetsWrapAndDivideTowardsZero) {
  Script s(11);
  auto set = [&](int8_t v, int64_t x) { return s.W().Cmd(kSetInt).Byte(v).Int(x); };
  set(0, kMaxInt).Cmd(kVarAdd).Byte(0).End();  // no operand: increment
  set(1, 1).Cmd(kVarShl).Byte(1).Byte(65).End();
  set(2, -1).Cmd(kVarShr).Byte(2).Byte(65).End();  // logical
  set(3, -7).Cmd(kVarDiv).Byte(3).Byte(2).End();
  set(4, -7).Cmd(kVarMod).Byte(4).Byte(2).End();
  set(5, kMinInt).Cmd(kVarDiv).Byte(5).Byte(-1).End();
  set(6, kMinInt).Cmd(kVarMod).Byte(6).Byte(-1).End();
  set(7, -5).Cmd(kVarMax).Byte(7).Byte(-9).Byte(3).Byte(-1).End();
  set(8, -5).Cmd(kVarMin).Byte(8).Byte(3).Byte(-9).DWord(0xFFFFFFFF).End();
  set(9, kMinInt).Cmd(kVarSub).Byte(9).Byte(1).End();
  set(10, int64_t(1) << 32).Cmd(kVarMul).Byte(10).Int(int64_t(1) << 32).End();
  EXPECT_EQ(s.Run(), kStatusBadParam);
  const int64_t expected[] = {kMinInt, 2, kMaxInt, -3, -1, kMinInt, 0, 3, -9, kMaxInt, 0};
  for (uint32_t i = 0; i < 11; ++i) {
    EXPECT_EQ(s[i].VarType, vtInteger);
    EXPECT_EQ(s[i].AsInteger, expected[i]) << "variable " << i;
  }
}

TEST(Arithmetic, FloatTargetsFollowIEEEAndTheNaNRuleOfMaxAndMin) {
  Script s(6);
  auto set = [&](int8_t v, long double x) { return s.W().Cmd(kSetFloat).Byte(v).Ext(x); };
  set(0, 1.5L).Cmd(kVarAdd).Byte(0).Ext(2.25L).Byte(1).End();
  s.W().Cmd(kVarMul).Byte(0).Byte(2).End().Cmd(kVarDiv).Byte(0).Int(4).End();
  set(1, 1e4000L).Cmd(kVarMul).Byte(1).Ext(1e4000L).End();
  set(2, 5).Cmd(kVarMax).Byte(2).Ext(kNaN).Byte(3).End();
  set(3, 5).Cmd(kVarMin).Byte(3).Byte(7).Ext(kNaN).End();
  set(4, 5).Cmd(kVarMax).Byte(4).Byte(1).Byte(9).Byte(2).End();
  set(5, 5).Cmd(kVarMin).Byte(5).Byte(4).Byte(1).Byte(7).End().Cmd(kVarSub).Byte(5).End();
  EXPECT_EQ(s.Run(), kStatusBadParam);
  EXPECT_EQ(s[0].AsExtended, 2.375L);
  EXPECT_TRUE(std::isinf(s[1].AsExtended));
  EXPECT_EQ(s[2].AsExtended, 5);             // a NaN operand never wins a maximum
  EXPECT_TRUE(std::isnan(s[3].AsExtended));  // and always wins a minimum
  EXPECT_EQ(s[4].AsExtended, 9);
  EXPECT_EQ(s[5].AsExtended, 0);
}

// Runs `write` on variable 0 after `init` and expects the run to stop with
// `status` and variable 0 to hold what `init` stored.
void ExpectFailureKeepsTarget(void (*init)(CodeWriter), void (*write)(CodeWriter), TStatus status) {
  Script before(1), after(1);
  init(before.W());
  before.Run();
  init(after.W());
  write(after.W());
  EXPECT_EQ(after.Run(), status);
  EXPECT_EQ(after[0].VarType, before[0].VarType);
  EXPECT_EQ(std::memcmp(&after[0], &before[0], sizeof(TZorvatVariable)), 0);
}

TEST(Arithmetic, FailuresLeaveTheTargetUnchanged) {
  auto dword = [](CodeWriter w) { w.Cmd(kSetDWORD).Byte(0).Byte(10); };
  auto integer = [](CodeWriter w) { w.Cmd(kSetInt).Byte(0).Byte(10); };
  auto flt = [](CodeWriter w) { w.Cmd(kSetFloat).Byte(0).Ext(10); };
  auto nothing = [](CodeWriter) {};
  // Division by zero for every kind, after operations that succeeded.
  auto divideByZero = [](CodeWriter w) { w.Cmd(kVarDiv).Byte(0).Byte(2).Byte(0).Byte(5).End(); };
  ExpectFailureKeepsTarget(dword, divideByZero, kStatusDivisionByZero);
  ExpectFailureKeepsTarget(integer, divideByZero, kStatusDivisionByZero);
  ExpectFailureKeepsTarget(flt, divideByZero, kStatusDivisionByZero);
  ExpectFailureKeepsTarget(
      integer, [](CodeWriter w) { w.Cmd(kVarMod).Byte(0).Byte(0).End(); }, kStatusDivisionByZero);
  ExpectFailureKeepsTarget(
      flt, [](CodeWriter w) { w.Cmd(kVarMod).Byte(0).Byte(3).End(); }, kStatusWrongKind);
  ExpectFailureKeepsTarget(
      flt, [](CodeWriter w) { w.Cmd(kVarShl).Byte(0).End(); }, kStatusWrongKind);
  // An operand that cannot be read in the target's kind.
  ExpectFailureKeepsTarget(
      dword, [](CodeWriter w) { w.Cmd(kVarAdd).Byte(0).Byte(1).Ext(1).End(); }, kStatusWrongKind);
  ExpectFailureKeepsTarget(
      nothing, [](CodeWriter w) { w.Cmd(kVarAdd).Byte(0).Byte(1).End(); }, kStatusWrongKind);
  ExpectFailureKeepsTarget(
      nothing, [](CodeWriter w) { w.Cmd(kVarMax).Byte(3).Byte(1).End(); }, kStatusNoSuchVariable);
}

TEST(Arithmetic, IPEndsPastTheEndByteOnEveryPath) {
  ImageBuilder b;
  Bytes& code = b.Add("GCS", 1);
  CodeWriter w(code);
  const uint32_t failing = w.Here();
  w.Cmd(kVarAdd).Byte(0).Ext(1).Byte(2).End();
  const uint32_t missing = w.Here();
  w.Cmd(kVarAdd).Byte(7).Byte(1).Byte(2).End();
  const uint32_t noTarget = w.Here();
  w.Cmd(kVarAdd).End();
  const uint32_t end = w.Here();
  LoadedImage l(b.Build());
  const uint32_t base = b.OffsetOf("GCS");
  l.StandAt(base + failing + 4);
  uint32_t first;
  AllocVars(&l.context, 1, true, &first);
  Var_StoreDWORD(&l.context, 0, 5);
  EXPECT_EQ(CmdVarAdd(&l.context), kStatusWrongKind);
  EXPECT_EQ(l.context.IP, base + missing);
  l.context.IP += 4;
  EXPECT_EQ(CmdVarAdd(&l.context), kStatusNoSuchVariable);
  EXPECT_EQ(l.context.IP, base + noTarget);
  l.context.IP += 4;
  EXPECT_EQ(CmdVarAdd(&l.context), kStatusBadParam);
  EXPECT_EQ(l.context.IP, base + end);
  EXPECT_EQ(ResolveVar(&l.context, 0)->AsDWORD, 5u);
}

TEST(DigitStrings, RadixSignAndWidening) {
  Script s(20);
  s.W().Cmd(kSetInt).Byte(0).Word(-255).Cmd(kSetInt).Byte(1).Word(1295);
  s.W().Cmd(kSetDWORD).Byte(2).DWord(0xFFFFFFFF).Cmd(kSetInt).Byte(3).Int(kMinInt);
  s.W().Cmd(kIntToDigitsText).Byte(0).Byte(10).Byte(1).Byte(16);
  s.W().Cmd(kIntToDigitsText).Byte(0).Byte(11).Byte(0).Byte(16);
  s.W().Cmd(kIntToDigitsBlock).Byte(1).Byte(12).Default().Byte(2);
  s.W().Cmd(kIntToDigitsBlock).Byte(1).Byte(13).Default().Byte(36);
  s.W().Cmd(kIntToDigitsBlock).Byte(2).Byte(14).Byte(1).Byte(10);
  s.W().Cmd(kIntToDigitsBlock).Byte(2).Byte(15).Byte(1).Byte(16);
  s.W().Cmd(kIntToDigitsBlock).Byte(2).Byte(16).Byte(0).End();
  s.W().Cmd(kIntToDigitsText).Byte(3).Byte(17).End();
  s.W().Cmd(kIntToDigitsText).Byte(3).Byte(18).Byte(0).Byte(2);
  EXPECT_EQ(s.Run(), kStatusBadParam);
  EXPECT_EQ(s.Text(10), u"-FF");
  EXPECT_EQ(s.Text(11), u"FFFFFFFFFFFFFF01");
  EXPECT_EQ(s.Block(12), "10100001111");
  EXPECT_EQ(s.Block(13), "ZZ");
  EXPECT_EQ(s.Block(14), "-1");
  EXPECT_EQ(s.Block(15), "FFFFFFFF");
  EXPECT_EQ(s.Block(16), "4294967295");
  EXPECT_EQ(s.Text(17), u"-9223372036854775808");
  EXPECT_EQ(s.Text(18), u"1" + std::u16string(63, u'0'));
}

TEST(DigitStrings, RadixAndSourceErrors) {
  auto run = [](void (*write)(CodeWriter)) {
    Script s(2);
    s.W().Cmd(kSetInt).Byte(0).Byte(5);
    write(s.W());
    return s.Run();
  };
  EXPECT_EQ(run([](CodeWriter w) { w.Cmd(kIntToDigitsText).Byte(0).Byte(1).Byte(1).Byte(1); }),
            kStatusBadRadixOrKey);
  EXPECT_EQ(run([](CodeWriter w) { w.Cmd(kIntToDigitsBlock).Byte(0).Byte(1).Byte(1).Byte(37); }),
            kStatusBadRadixOrKey);
  EXPECT_EQ(run([](CodeWriter w) { w.Cmd(kIntToDigitsText).Byte(1).Byte(0).End(); }),
            kStatusWrongKind);  // uninitialised source
  EXPECT_EQ(run([](CodeWriter w) { w.Cmd(kIntToDigitsText).Byte(9).Byte(0).End(); }),
            kStatusNoSuchVariable);
}

TEST(ArrayItems, NewArraysSetAndGet) {
  Script s(9);
  s.W().Cmd(kDWORDArrayNew).Byte(0).Byte(3).Byte(7);
  s.W().Cmd(kIntArrayNew).Byte(1).Byte(2).End();  // zero-filled
  s.W().Cmd(kFloatArrayNew).Byte(2).Byte(2).Ext(1.5L);
  s.W().Cmd(kDWORDArraySet).Byte(0).Byte(1).DWord(0xDEADBEEF);
  s.W().Cmd(kIntArraySet).Byte(1).Byte(1).Int(-5).Cmd(kFloatArraySet).Byte(2).End();
  s.W().Cmd(kDWORDArrayGet).Byte(0).Byte(1).Byte(3).Cmd(kDWORDArrayGet).Byte(0).Byte(2).Byte(4);
  s.W().Cmd(kIntArrayGet).Byte(1).Byte(1).Byte(5).Cmd(kIntArrayGet).Byte(1).Byte(0).Byte(6);
  s.W().Cmd(kFloatArrayGet).Byte(2).Byte(0).Byte(7).Cmd(kFloatArrayGet).Byte(2).Byte(1).Byte(8);
  s.W().Cmd(kItemCount).Byte(0).End().Cmd(kItemCount).Byte(1).Byte(1);
  s.W().Cmd(kFloatArrayGet).Byte(2).Byte(0).End();  // into the array variable itself
  EXPECT_EQ(s.Run(), kStatusBadParam);
  EXPECT_EQ(s[3].AsDWORD, 0xDEADBEEF);
  EXPECT_EQ(s[4].AsDWORD, 7u);
  EXPECT_EQ(s[5].AsInteger, -5);
  EXPECT_EQ(s[6].AsInteger, 0);
  EXPECT_EQ(s[7].AsExtended, 0);  // set to the default value 0
  EXPECT_EQ(s[8].AsExtended, 1.5L);
  EXPECT_EQ(s[0].VarType, vtDWORD);
  EXPECT_EQ(s[0].AsDWORD, 3u);
  EXPECT_EQ(s[1].AsDWORD, 2u);
  EXPECT_EQ(s[2].VarType, vtExtended);
  EXPECT_EQ(s[2].AsExtended, 0);
}

TEST(ArrayItems, BytesAndUnitsAndTheirErrors) {
  Script s(6);
  uint32_t abc = s.BlockConstant("abc");
  s.W().Cmd(kSetBlock).Byte(0).Constant(5, abc).Cmd(kBlockSetByte).Byte(0).Byte(1).Word(0x1FF);
  s.W().Cmd(kBlockGetByte).Byte(0).Byte(1).Byte(1).Cmd(kItemCount).Byte(0).Byte(2);
  s.W().Cmd(kSetInt).Byte(3).Int(123).Cmd(kIntToDigitsText).Byte(3).Byte(3).End();
  s.W().Cmd(kTextSetUnit).Byte(3).Byte(0).DWord(0x12345).Cmd(kTextGetUnit).Byte(3).Byte(0).Byte(4);
  s.W().Cmd(kItemCount).Byte(3).Byte(5);
  s.W().Cmd(kTextGetUnit).Byte(3).Byte(3).Byte(4);  // the terminator is not an item
  EXPECT_EQ(s.Run(), kStatusIndexOutOfRange);
  EXPECT_EQ(s.Block(0),
            "a\xFF"
            "c");
  EXPECT_EQ(s[1].AsDWORD, 0xFFu);
  EXPECT_EQ(s[2].AsDWORD, 3u);
  EXPECT_EQ(s.Text(3),
            u"\x2345"
            u"23");
  EXPECT_EQ(s[4].AsDWORD, 0x2345u);
  EXPECT_EQ(s[5].AsDWORD, 3u);

  auto run = [](void (*write)(CodeWriter)) {
    Script e(2);
    e.W().Cmd(kIntArrayNew).Byte(0).Byte(2).End();
    write(e.W());
    return e.Run();
  };
  EXPECT_EQ(run([](CodeWriter w) { w.Cmd(kIntArraySet).Byte(0).Byte(2).Byte(1); }),
            kStatusIndexOutOfRange);
  EXPECT_EQ(run([](CodeWriter w) { w.Cmd(kDWORDArraySet).Byte(0).Byte(0).Byte(1); }),
            kStatusWrongKind);
  EXPECT_EQ(run([](CodeWriter w) { w.Cmd(kBlockGetByte).Byte(0).Byte(0).End(); }),
            kStatusWrongKind);
  EXPECT_EQ(run([](CodeWriter w) { w.Cmd(kIntArrayGet).Byte(0).End(); }), kStatusBadParam);
  EXPECT_EQ(run([](CodeWriter w) { w.Cmd(kTextSetUnit).Byte(5).End(); }), kStatusNoSuchVariable);
  EXPECT_EQ(run([](CodeWriter w) { w.Cmd(kBlockSetByte).Byte(1).End(); }), kStatusWrongKind);
}

TEST(ArrayItems, SettersCopySharedConstantsFirst) {
  Script s(0);
  uint32_t abc = s.BlockConstant("abc");
  s.W().Cmd(kSetBlock).Byte(0).Constant(5, abc).Cmd(kSetBlock).Byte(1).Constant(5, abc);
  s.W().Cmd(kBlockSetByte).Byte(0).Byte(0).Byte('x');
  s.W().Cmd(kDWORDArraySet).Byte(2).Byte(1).Byte(9);

  // Variable 2 holds a static DWORD array, as a constant of the image does.
  struct {
    TArrayHeader header{4, 2, 2, 0};
    uint32_t items[2] = {1, 2};
  } constant;
  TScriptContext* c = LoadWithGlobals(s, 3);
  StoreArrayRef(c, 2, &constant.header, vtDWORDArray);
  const Bytes image = s.Loaded().image;
  const PArrayHeader pooled = c->Prepared->Constants[0];
  EXPECT_EQ(s.Run(), kStatusBadParam);
  EXPECT_EQ(s.Block(0), "xbc");
  EXPECT_FALSE(UA_IsStatic(s[0].UA));
  EXPECT_EQ(s[1].UA, pooled);  // shared until written
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(UA_Data(pooled)), 3), "abc");
  EXPECT_EQ(s.Loaded().image, image);
  EXPECT_EQ(constant.items[1], 2u);
  EXPECT_FALSE(UA_IsStatic(s[2].UA));
  EXPECT_EQ(LoadU32(UA_Data(s[2].UA) + 4), 9u);
}

TEST(ArrayItems, ListItemsAreCopiedOut) {
  Script s(0);
  s.W().Cmd(kTextListGet).Byte(0).Byte(1).Byte(2).Cmd(kBlockListGet).Byte(1).Byte(0).Byte(3);
  s.W().Cmd(kBlockListGet).Byte(1).Byte(1).Byte(4).Cmd(kItemCount).Byte(1).Byte(5);
  s.W().Cmd(kTextListGet).Byte(0).Byte(0).End();  // replaces the list
  s.W().Cmd(kBlockListGet).Byte(1).Byte(2).Byte(4);
  TScriptContext* c = LoadWithGlobals(s, 6);
  Var_InitUStrL(c, 0);
  Var_AddItemUStrL(c, 0, u"one", -1);
  Var_AddItemUStrL(c, 0, u"two", -1);
  Var_InitBBL(c, 1);
  Var_AddItemBBL(c, 1, "xy", 2);
  xL_Add(&ResolveVar(c, 1)->UA, nullptr);  // an absent item reads as the empty block
  EXPECT_EQ(s.Run(), kStatusIndexOutOfRange);
  EXPECT_EQ(s.Text(0), u"one");
  EXPECT_EQ(s.Text(2), u"two");
  EXPECT_EQ(s.Block(3), "xy");
  EXPECT_EQ(s.Block(4), "");
  EXPECT_EQ(s[5].AsDWORD, 2u);

  Script e(0);
  e.W().Cmd(kBlockListGet).Byte(0).Byte(0).Byte(1);
  c = LoadWithGlobals(e, 2);
  Var_InitUStrL(c, 0);
  Var_AddItemUStrL(c, 0, u"one", -1);
  EXPECT_EQ(e.Run(), kStatusWrongKind);
}

TEST(ArrayItems, ItemCountOfScalarsFails) {
  for (void (*init)(CodeWriter) : {
           +[](CodeWriter) {},
           +[](CodeWriter w) { w.Cmd(kSetInt).Byte(0).Byte(1); },
           +[](CodeWriter w) { w.Cmd(kSetDWORD).Byte(0).Byte(1); },
           +[](CodeWriter w) { w.Cmd(kSetFloat).Byte(0).Byte(1); },
       }) {
    Script s(2);
    init(s.W());
    s.W().Cmd(kItemCount).Byte(0).Byte(1);
    EXPECT_EQ(s.Run(), kStatusNoItems);
    EXPECT_EQ(s[1].VarType, vtUninitialized);
  }
  Script m(1);
  m.W().Cmd(kItemCount).Byte(1).End();
  EXPECT_EQ(m.Run(), kStatusNoSuchVariable);
}

// Sets variables 0-3 to 10-13, then runs VarFree with `first` and `count`.
Script& RunVarFree(Script& s, int8_t first, int8_t count) {
  for (int8_t i = 0; i < 4; ++i) s.W().Cmd(kSetDWORD).Byte(i).Byte(int8_t(10 + i));
  s.W().Cmd(kVarFree).Byte(first).Byte(count);
  s.Run();
  return s;
}

std::vector<uint32_t> Kinds(Script& s) {
  std::vector<uint32_t> kinds;
  for (uint32_t i = 0; i < 4; ++i) kinds.push_back(s[i].VarType);
  return kinds;
}

TEST(VarFree, UpwardsDownwardsAndMissingVariables) {
  const uint32_t d = vtDWORD, u = vtUninitialized;
  Script up(4), down(4), past(4), below(4), zero(4);
  EXPECT_EQ(Kinds(RunVarFree(up, 1, 2)), (std::vector<uint32_t>{d, u, u, d}));
  EXPECT_EQ(Kinds(RunVarFree(down, 2, -2)), (std::vector<uint32_t>{d, u, u, d}));
  // A range that runs past the variables fails and resets nothing.
  EXPECT_EQ(Kinds(RunVarFree(past, 2, 3)), (std::vector<uint32_t>{d, d, d, d}));
  EXPECT_EQ(past.Loaded().context.ScriptErrorCode, int32_t(kStatusNoSuchVariable));
  EXPECT_EQ(Kinds(RunVarFree(below, 1, -3)), (std::vector<uint32_t>{d, d, d, d}));
  EXPECT_EQ(below.Loaded().context.ScriptErrorCode, int32_t(kStatusNoSuchVariable));
  RunVarFree(zero, 0, 0);
  EXPECT_EQ(zero.Loaded().context.ScriptErrorCode, int32_t(kStatusVarCountError));
}

}  // namespace
