// The quick code must change nothing but speed. Every script test, and a
// script made of the shapes the quick routines take and of every way they
// hand an instruction back to its handler, runs twice in step: through the
// quick code, and the plain way with each instruction read by its command's
// handler. After every step both runs must stand at the same place with the
// same status, Error_At, call stack and variables. A run that ends is then
// made again whole by the executor's loop, both ways: the loop goes from
// record to record as the routines hand them back, which single steps do
// not.
#include "runtime/core/quick_code.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "base/bytes.h"
#include "base/status.h"
#include "compiler/compilation.h"
#include "runtime/core/image.h"
#include "runtime/core/variables.h"
#include "tests/support/box_recorder.h"
#include "tests/support/command_codes.h"
#include "tests/support/loaded_image.h"
#include "tests/support/script_state.h"

namespace {

namespace fs = std::filesystem;

// Steps after which a script that still runs is judged as far as it got.
constexpr uint64_t kMaxSteps = 3000000;
// Variables are compared after every step at first, then now and then: some
// scripts build values of many kilobytes and loop for long.
constexpr uint64_t kEveryStepUntil = 20000;

class QuickCode : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    ASSERT_EQ(InitializeCompilerTables(u"" ZORVAT_COMMAND_LIST_DIR "/Commands.txt"), 0);
  }
};

// A run of "GCS" one step at a time, as the executor makes it.
struct TSteppedRun {
  LoadedImage loaded;
  bool started = false;

  TSteppedRun(const Bytes& image, bool quick, uint32_t policy) : loaded(image) {
    TScriptContext& c = loaded.context;
    if (loaded.prepared != kStatusOk) return;
    if (!quick) FreeQuickCode(&c.Prepared->Quick);
    c.ActionAfterError = policy;
    const TSection* gcs = FindImageSection(&c, "GCS");
    if (gcs == nullptr || (gcs->SectionFlag & kCodeSectionFlag) == 0 || gcs->SectionLength == 0) {
      return;
    }
    c.IP = c.CodeStart = SectionOffset(&c, gcs);
    c.CodeEnd = c.CodeStart + gcs->SectionLength;
    started = PushFrame(&c) == kStatusOk;
  }
};

// Calls visit(command code, offset, record) for every instruction of the
// image as preparation found it.
template <typename Visit>
void ForEachRecord(const Bytes& image, Visit visit) {
  LoadedImage loaded(image);
  ASSERT_EQ(loaded.prepared, kStatusOk);
  const TQuickCode& quick = loaded.context.Prepared->Quick;
  for (uint32_t at = 0; at < loaded.context.ScriptLength; ++at) {
    if (QuickIndexAnywhere(quick, at) == kNoQuickInstr) continue;
    visit(LoadU32(loaded.image.data() + at), at, *QuickInstrAt(quick, at));
  }
}

// Runs the image whole through the executor's loop both ways.
void CompareWholeRuns(const Bytes& image, uint32_t policy, const std::string& name) {
  LoadedImage quick(image), plain(image);
  ASSERT_EQ(quick.prepared, kStatusOk);
  FreeQuickCode(&plain.context.Prepared->Quick);
  quick.context.ActionAfterError = plain.context.ActionAfterError = policy;
  const TStatus plainStatus = plain.Run();
  EXPECT_EQ(quick.Run(), plainStatus) << name << ", whole run";
  const TScriptContext& q = quick.context;
  const TScriptContext& p = plain.context;
  EXPECT_EQ(q.IP, p.IP) << name << ", whole run";
  EXPECT_EQ(q.ScriptErrorCode, p.ScriptErrorCode) << name << ", whole run";
  EXPECT_EQ(q.Error_At, p.Error_At) << name << ", whole run";
  EXPECT_EQ(q.CallStack.Count, p.CallStack.Count) << name << ", whole run";
  EXPECT_EQ(DescribeVariables(q), DescribeVariables(p)) << name << ", whole run";
}

// Runs the image both ways in step, then whole if it ended; returns the
// steps taken.
uint64_t CompareRuns(const Bytes& image, uint32_t policy, const std::string& name) {
  TSteppedRun quick(image, true, policy), plain(image, false, policy);
  if (!quick.started || !plain.started) return 0;
  TScriptContext& q = quick.loaded.context;
  TScriptContext& p = plain.loaded.context;
  uint64_t steps = 0;
  while (!p.ExitFlag && steps < kMaxSteps) {
    const uint32_t at = p.IP;
    if (steps < kEveryStepUntil || steps % 1000 == 0) {
      EXPECT_EQ(DescribeVariables(q), DescribeVariables(p)) << name << " before the step at " << at;
    }
    const TStatus plainStatus = ExecuteStep(&p);
    EXPECT_EQ(ExecuteStep(&q), plainStatus) << name << " at " << at;
    ++steps;
    EXPECT_EQ(q.IP, p.IP) << name << " after the step at " << at;
    EXPECT_EQ(q.ScriptErrorCode, p.ScriptErrorCode) << name << " at " << at;
    EXPECT_EQ(q.Error_At, p.Error_At) << name << " at " << at;
    EXPECT_EQ(q.ExitFlag, p.ExitFlag) << name << " at " << at;
    EXPECT_EQ(q.CallStack.Count, p.CallStack.Count) << name << " at " << at;
    if (::testing::Test::HasFailure()) break;  // one divergence is reported once
  }
  if (p.ExitFlag && !::testing::Test::HasFailure()) CompareWholeRuns(image, policy, name);
  return steps;
}

class QuickCodeScripts : public QuickCode, public ::testing::WithParamInterface<fs::path> {};

TEST_P(QuickCodeScripts, RunsAsThePlainWay) {
  const fs::path& path = GetParam();
  BoxRecorder boxes(1);  // a box shown on error is answered, not printed
  const Bytes image = CompileScriptFile(path);
  ASSERT_FALSE(image.empty()) << path << " does not compile";
  CompareRuns(image, kErrorPolicyShowBox, path.filename().string());
}

INSTANTIATE_TEST_SUITE_P(Scripts, QuickCodeScripts,
                         ::testing::ValuesIn(ScriptTestFiles(ZORVAT_SCRIPTS_DIR)),
                         [](const ::testing::TestParamInfo<fs::path>& info) {
                           return ScriptTestName(info.param);
                         });

// Every shape a quick routine takes, each next to the cases it hands back to
// the command's handler: a target or operand of another kind, a missing
// variable, a failing operation, a target that holds an array, omitted case
// values and default addresses, calls through a branch, and a jump to a
// position that is no instruction, which ends the run.
const char kShapes[] =
    "GlobalsAlloc 8 .\n"
    "SetInt 0 5\n"
    "SetInt 1 @0\n"
    "SetFloat 2 1.5\n"
    "SetDWORD 4 7\n"
    "IntToDigitsText 0 3 .\n"
    "VarAdd 0 .\n"
    "VarSub 0 @1 .\n"
    "VarMul 0 -3 .\n"
    "VarAdd 0 $ .\n"
    "VarAdd 0 9000000000 .\n"
    "VarAdd 4 5000000000 .\n"
    "VarShl 4 33 .\n"
    "VarXor 4 @0 .\n"
    "VarMax 0 @4 .\n"
    "VarMin 4 -1 .\n"
    "VarAdd 2 .\n"
    "VarAdd 0 @2 .\n"
    "VarAdd 0 @3 .\n"
    "VarAdd 3 .\n"
    "VarAdd 9 .\n"
    "VarAdd 0 @9 .\n"
    "VarDiv 0 0 .\n"
    "VarMod 4 @7 .\n"
    "VarDiv 0 -1 .\n"
    "VarAdd 0 1 2 .\n"
    "CompareInt 5 @0 @1\n"
    "CompareInt 5 3 @4\n"
    "CompareInt 5 @2 1\n"
    "CompareInt 9 1 2\n"
    "CompareInt 3 1 1\n"
    "SetInt 3 @4\n"
    "SetInt 9 1\n"
    "SetInt 6 @2\n"
    "SetInt 1 2\n"
    "Switch 1 $ ^no $ ^no 2 ^yes ^no .\n"
    "^no\n"
    "Exit 1\n"
    "^yes\n"
    "Switch 1 5 ^no 6 $ .\n"
    "Switch 1 5 ^no $ .\n"
    "Switch 1 5 ^no .\n"
    "Switch 9 1 ^no .\n"
    "Switch 2 1 ^no .\n"
    "SwitchGosub 1 2 ^sub 3 ^no .\n"
    "Gosub ^sub\n"
    "FramePush\n"
    "LocalsAlloc 2 .\n"
    "LocalsAlloc 0 .\n"
    "SetInt _1 @0\n"
    "VarAdd _1 @_1 .\n"
    "CompareInt 5 @_1 @_0\n"
    "FramePop\n"
    "Goto 1\n"
    "Exit 0\n"
    "^sub\n"
    "VarAdd 7 .\n"
    "Return\n";

TEST_F(QuickCode, ShapesAndTheirWayBackToTheHandler) {
  const Bytes image = CompileScriptText(kShapes);
  ASSERT_FALSE(image.empty());
  // Which instructions took a quick routine: every one above whose target,
  // count or selector is written as a number, and whose other parameters are
  // numbers, variables or omitted.
  uint32_t chosen = 0;
  ForEachRecord(image, [&](uint32_t code, uint32_t at, const TQuickInstr& instr) {
    const bool hot =
        code != kSetFloat && code != kSetDWORD && code != kIntToDigitsText && code != kExit;
    // "VarAdd 0 1 2 ." has two operands: the handler reads it.
    const bool twoOperands = code == kVarAdd && image[at + 6] == ptByte && image[at + 8] == ptByte;
    EXPECT_EQ(HasQuickRoutine(instr), hot && !twoOperands) << "at " << at << ", command " << code;
    if (HasQuickRoutine(instr)) ++chosen;
  });
  EXPECT_EQ(chosen, 49u);  // counted by hand from the lines above
  BoxRecorder boxes(1);
  for (uint32_t policy : {kErrorPolicyStop, kErrorPolicyIgnore}) {
    const uint64_t steps = CompareRuns(image, policy, "shapes, policy " + std::to_string(policy));
    // Ignoring errors, the run goes through every line to the jump that ends it.
    if (policy == kErrorPolicyIgnore) EXPECT_GT(steps, 50u);
  }
}

// The pairs the run loop runs as one (a frame and its locals, a frame and
// the return, a comparison or a counter step and the branch on it, a step
// and a call, two numbers stored), each also where one half cannot take its
// common path: a frame that grows or holds a text, a branch on another
// variable, a missing one or a float, a target or operand that is a float,
// and a second half that fails (its error is its own, not the first's). The
// run ends inside a subroutine with a jump to no instruction, which leaves
// its frame in place (Exit would release every frame), so that the locals a
// fused pair allocated are compared too.
const char kPairs[] =
    "GlobalsAlloc 6 .\n"
    "SetInt 0 3\n"
    "SetFloat 4 1.5\n"
    "SetInt 5 1\n"
    "SetInt 3 @4\n"
    "VarSub 4 1 .\n"
    "Gosub ^leaf\n"
    "VarAdd 5 @5 .\n"
    "Gosub ^leaf\n"
    "Gosub ^sub\n"
    "Gosub ^sub\n"
    "Gosub ^text\n"
    "CompareInt 1 @0 6\n"
    "Switch 1 4294967295 ^less .\n"
    "Exit 1\n"
    "^less\n"
    "CompareInt 1 @0 0\n"
    "Switch 2 0 ^no $ ^no .\n"
    "CompareInt 1 @4 0\n"
    "Switch 1 7 ^no .\n"
    "CompareInt 1 5 @0\n"
    "Switch 9 1 ^no .\n"
    "SetInt 5 0\n"
    "^count\n"
    "VarAdd 5 .\n"
    "Switch 5 4 ^counted ^count .\n"
    "^counted\n"
    "VarSub 4 1 .\n"
    "Switch 4 0 ^no .\n"
    "VarAdd 5 @0 .\n"
    "Switch 5 9 ^deep ^no .\n"
    "^no\n"
    "Exit 2\n"
    "^deep\n"
    "Gosub ^stay\n"
    "^sub\n"
    "FramePush\n"
    "LocalsAlloc 2 .\n"
    "SetInt _0 @0\n"
    "VarAdd 0 1 .\n"
    "FramePop\n"
    "Return\n"
    "^text\n"
    "FramePush\n"
    "LocalsAlloc 1 .\n"
    "IntToDigitsText 0 _0 .\n"
    "FramePop\n"
    "Return\n"
    "^stay\n"
    "FramePush\n"
    "LocalsAlloc 3 .\n"
    "SetInt _2 @5\n"
    "Goto 1\n"
    "^leaf\n"
    "Return\n";

TEST_F(QuickCode, FusedPairsAndTheirWayBack) {
  const Bytes image = CompileScriptText(kPairs);
  ASSERT_FALSE(image.empty());
  uint32_t fused = 0;
  ForEachRecord(image, [&](uint32_t, uint32_t, const TQuickInstr& instr) {
    if (instr.Run != instr.RunOne) ++fused;
  });
  // Three frames with locals, two returns, four comparisons, three steps and
  // a branch, two steps and a call, two numbers stored.
  EXPECT_EQ(fused, 15u);
  BoxRecorder boxes(1);
  for (uint32_t policy : {kErrorPolicyStop, kErrorPolicyIgnore}) {
    CompareRuns(image, policy, "pairs, policy " + std::to_string(policy));
  }
  // Ignoring errors, the run ends where the script ends it, inside ^stay.
  LoadedImage whole(image);
  whole.context.ActionAfterError = kErrorPolicyIgnore;
  EXPECT_EQ(whole.Run(), kStatusBadJumpTarget);
  EXPECT_EQ(whole.context.StackFrames.Count, 2u);
  EXPECT_EQ(whole.context.StackFrames.Items[1].Count, 3u);
}

}  // namespace

namespace {

// A multi-way branch of 120 cases is decoded as well; the match is the
// 51st, and both ways take it.
TEST_F(QuickCode, ABranchOfManyCases) {
  std::string source = "GlobalsAlloc 2 .\nSetInt 1 150\nSwitch 1";
  for (int value = 100; value < 220; ++value) {
    source += " " + std::to_string(value) + (value == 150 ? " ^hit" : " ^miss");
  }
  source += " .\n^miss\nExit 1\n^hit\nExit 0\n";
  const Bytes image = CompileScriptText(source);
  ASSERT_FALSE(image.empty());
  uint32_t switches = 0;
  ForEachRecord(image, [&](uint32_t code, uint32_t, const TQuickInstr& instr) {
    if (code != kSwitch) return;
    ++switches;
    EXPECT_TRUE(HasQuickRoutine(instr));
    EXPECT_EQ(instr.CaseCount, 120u);
  });
  EXPECT_EQ(switches, 1u);
  EXPECT_EQ(CompareRuns(image, kErrorPolicyStop, "many cases"), 4u);
}

}  // namespace
