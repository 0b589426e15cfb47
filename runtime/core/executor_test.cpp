#include "runtime/core/executor.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "base/status.h"
#include "runtime/commands/commands.h"
#include "runtime/core/dispatch.h"
#include "runtime/core/fault_guard.h"
#include "runtime/core/variables.h"
#include "tests/support/box_recorder.h"
#include "tests/support/command_codes.h"
#include "tests/support/loaded_image.h"

namespace {

std::u16string Signature() {
  return kRuntimeSignature;
}

std::u16string ErrorText(int code, const char* offset) {
  std::string s =
      "Error in script\n\nError code=" + std::to_string(code) + "\nOffset in bytecode=" + offset;
  return std::u16string(s.begin(), s.end());
}

Bytes OneSection(void (*write)(CodeWriter&)) {
  ImageBuilder b;
  CodeWriter w(b.Add("GCS", 1));
  write(w);
  return b.Build();
}

TEST(Executor, SmallestImageRunsAndReturns0) {
  BoxRecorder boxes;
  LoadedImage l(SmallestImage());
  EXPECT_EQ(l.Run(), kStatusOk);
  EXPECT_TRUE(boxes.Boxes().empty());
}

TEST(Executor, NonZeroExitShowsTheErrorBoxUnderPolicy1) {
  BoxRecorder boxes;
  LoadedImage l(OneSection([](CodeWriter& w) { w.Cmd(kExit).Byte(7); }));
  EXPECT_EQ(l.Run(), 7u);
  std::vector<RecordedBox> shown = boxes.Boxes(1);
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].caption, Signature());
  EXPECT_EQ(shown[0].text, ErrorText(7, "18"));
  EXPECT_EQ(l.context.ScriptErrorCode, 7);
  EXPECT_EQ(l.context.Error_At, 24u);
}

TEST(Executor, Policy0StopsSilently) {
  BoxRecorder boxes;
  LoadedImage l(OneSection([](CodeWriter& w) { w.Cmd(kExit).Byte(7); }));
  l.context.ActionAfterError = kErrorPolicyStop;
  EXPECT_EQ(l.Run(), 7u);
  EXPECT_TRUE(boxes.Boxes().empty());
}

TEST(Executor, ExitWithoutParameterOrDefaultReturns0) {
  LoadedImage a(OneSection([](CodeWriter& w) { w.Cmd(kExit).End(); }));
  EXPECT_EQ(a.Run(), kStatusOk);
  LoadedImage b(OneSection([](CodeWriter& w) { w.Cmd(kExit).Default(); }));
  EXPECT_EQ(b.Run(), kStatusOk);
}

TEST(Executor, ExitCodeComesFromAVariable) {
  LoadedImage l(OneSection([](CodeWriter& w) {
    w.Cmd(kGlobalsAlloc).Byte(1).End();
    w.Cmd(kSetDWORD).Byte(0).DWord(0xDEADBEEF);
    w.Cmd(kExit).Var(0);
  }));
  l.context.ActionAfterError = kErrorPolicyStop;
  EXPECT_EQ(l.Run(), 0xDEADBEEFu);
  EXPECT_EQ(l.context.StackFrames.Count, 0u);  // exit released the frames
}

TEST(Executor, UnusableExitCodeFailsWith102AfterReleasingFrames) {
  LoadedImage l(OneSection([](CodeWriter& w) {
    w.Cmd(kExit).Ext(1.0L);
    w.Cmd(kExit).Byte(3);
  }));
  l.context.ActionAfterError = kErrorPolicyIgnore;  // ignore errors: the second exit runs
  EXPECT_EQ(l.Run(), 3u);
}

TEST(Executor, ErrorHandlerGetsControlWithTheReturnPosition) {
  // GCS: a count with a default marker fails (102); the handler exits.
  ImageBuilder b;
  CodeWriter w(b.Add("GCS", 1));
  w.Cmd(kGlobalsCount).Default();
  const uint32_t after = w.Here();
  w.Cmd(kExit).Byte(1);
  CodeWriter(b.Add("ERR", 1)).Cmd(kExit).Byte(9);
  LoadedImage l(b.Build());
  l.context.ActionAfterError = kErrorPolicyCallHandler;
  l.context.OnErrorGoto = b.OffsetOf("ERR");
  EXPECT_EQ(l.Run(), 9u);
  ASSERT_GE(l.context.CallStack.Count, 1u);
  EXPECT_EQ(l.context.CallStack.Items[0], b.OffsetOf("GCS") + after);
}

TEST(Executor, Policy2WithoutHandlerAndOtherPoliciesSkipTheFailure) {
  for (uint32_t policy : {2u, 3u, 0xFFFFFFFFu}) {
    BoxRecorder boxes;
    LoadedImage l(OneSection([](CodeWriter& w) {
      w.Cmd(kFramePop).Cmd(kFramePop);  // the second pop has no frame: 1003
      w.Cmd(kExit).Byte(0);
    }));
    l.context.ActionAfterError = policy;
    EXPECT_EQ(l.Run(), kStatusOk) << policy;
    EXPECT_TRUE(boxes.Boxes().empty());
  }
}

TEST(Executor, HandlerThatStopsReadingEarlyIsSteppedOver) {
  // The unusable first parameter makes GlobalsAlloc return before it reads
  // the second; the run must go on at the next instruction, not inside this one.
  LoadedImage l(OneSection([](CodeWriter& w) {
    w.Cmd(kGlobalsAlloc).Ext(2.0L).DWord(0x0000000F);
    w.Cmd(kExit).Byte(5);
  }));
  l.context.ActionAfterError = kErrorPolicyIgnore;
  EXPECT_EQ(l.Run(), 5u);
}

TEST(Executor, ZeroCodeShowsItsBoxThenTheErrorBox) {
  BoxRecorder boxes;
  LoadedImage l(OneSection([](CodeWriter& w) { w.Cmd(0); }));
  EXPECT_EQ(l.Run(), kStatusZeroCommandCode);
  std::vector<RecordedBox> shown = boxes.Boxes(2);
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_EQ(shown[0].caption, u"ERROR");
  EXPECT_EQ(shown[0].text, u"Zero cmdcode at offs=18");
  EXPECT_EQ(shown[1].text, ErrorText(103, "18"));
}

TEST(Executor, SectionsMustExistAndHoldCode) {
  ImageBuilder b;
  b.Add("DAT", 0).assign(4, 0);
  CodeWriter(b.Add("GCS", 1)).Cmd(kExit).Byte(0);
  LoadedImage l(b.Build());
  EXPECT_EQ(l.Run("DAT"), kStatusNotCodeSection);
  EXPECT_EQ(l.Run("NOPE"), kStatusNoSuchSection);
  EXPECT_EQ(l.Run(nullptr), kStatusOk);  // null means "GCS"

  LoadedImage empty(ImageBuilder().Build(false));
  EXPECT_EQ(empty.Run(), kStatusNoSuchSection);
}

TEST(Executor, RunningOffTheEndOfASectionStops) {
  ImageBuilder b;
  CodeWriter(b.Add("GCS", 1)).Cmd(kFramePush);
  CodeWriter(b.Add("NEXT", 1)).Cmd(kExit).Byte(0);  // must not be reached by falling through
  for (uint32_t policy : {0u, 1u, 2u, 3u}) {
    BoxRecorder boxes;
    LoadedImage l(b.Build());
    l.context.ActionAfterError = policy;
    EXPECT_EQ(l.Run(), kStatusRanOffCode) << policy;
    EXPECT_EQ(l.context.Error_At, b.OffsetOf("GCS"));
    EXPECT_EQ(boxes.Boxes(policy == 1 ? 1 : 0).size(), policy == 1 ? 1u : 0u);
  }
}

TEST(Executor, JumpsLandOnlyOnInstructionStarts) {
  ImageBuilder b;
  CodeWriter w(b.Add("GCS", 1));
  w.Cmd(kFramePush).Cmd(kExit).Byte(4);
  CodeWriter(b.Add("B", 1)).Cmd(kExit).Byte(6);
  LoadedImage l(b.Build());
  l.StandAt(b.OffsetOf("GCS"));
  const uint32_t gcs = b.OffsetOf("GCS");
  EXPECT_EQ(JumpTo(&l.context, gcs + 5), kStatusBadJumpTarget);  // inside the exit
  EXPECT_EQ(JumpTo(&l.context, 0xFFFFFFF0u), kStatusBadJumpTarget);
  EXPECT_EQ(JumpTo(&l.context, 0), kStatusBadJumpTarget);
  EXPECT_EQ(l.context.IP, gcs);
  EXPECT_EQ(CallTo(&l.context, gcs + 5), kStatusBadJumpTarget);
  EXPECT_EQ(l.context.CallStack.Count, 0u);  // nothing pushed for a refused call

  ASSERT_EQ(CallTo(&l.context, b.OffsetOf("B")), kStatusOk);
  EXPECT_EQ(l.context.CodeStart, b.OffsetOf("B"));
  EXPECT_EQ(l.context.CodeEnd, b.OffsetOf("B") + 6);
  EXPECT_EQ(l.context.CallStack.Items[0], gcs);
  l.context.ExitFlag = false;
  l.context.ActionAfterError = kErrorPolicyStop;
  EXPECT_EQ(ExecuteStep(&l.context), 6u);
}

TEST(Executor, ErrorHandlerOutsideTheCodeStopsTheRun) {
  LoadedImage l(
      OneSection([](CodeWriter& w) { w.Cmd(kFramePop).Cmd(kFramePop).Cmd(kExit).Byte(0); }));
  l.context.ActionAfterError = kErrorPolicyCallHandler;
  l.context.OnErrorGoto = 3;
  EXPECT_EQ(l.Run(), kStatusBadJumpTarget);
}

// Every family is built now; a command that is added to the table before its
// handler must be marked so that it fails loudly, and none is left so.
TEST(Executor, EveryCommandIsBuilt) {
  for (uint32_t c = 0; c < kCommandCount; ++c) {
    EXPECT_NE(kDispatchTable[c].Handler, &CmdNotBuilt) << "command " << c;
  }
}

// A command the build cannot run (a Windows-only command in the portable
// build) fails with its own status, and a policy that goes on steps over its
// parameters to the next instruction.
TEST(Executor, CommandsThisBuildCannotRunFailLoudlyAndAreSteppedOver) {
  uint32_t code = 0;
  for (uint32_t c = 1; c < kCommandCount && code == 0; ++c) {
    if (kDispatchTable[c].Handler == &CmdNotInThisBuild && kDispatchTable[c].ParamCount == 1) {
      code = c;
    }
  }
  if (code == 0) GTEST_SKIP() << "this build runs every command";
  ImageBuilder b;
  CodeWriter(b.Add("GCS", 1)).Cmd(code).DWord(12345).Cmd(kExit).Byte(2);
  LoadedImage l(b.Build());
  l.context.ActionAfterError = kErrorPolicyStop;
  EXPECT_EQ(l.Run(), kStatusNotInThisBuild);
  LoadedImage ignoring(b.Build());
  ignoring.context.ActionAfterError = kErrorPolicyIgnore;
  EXPECT_EQ(ignoring.Run(), 2u);
}

TEST(Executor, FramesAndReferences) {
  LoadedImage s(OneSection([](CodeWriter& w) {
    w.Cmd(kGlobalsAlloc).Byte(2).End();            // globals 0, 1
    w.Cmd(kFramePush);                             // frame 1
    w.Cmd(kLocalsAlloc).Byte(2).Byte(1);           // two locals; first's reference into global 1
    w.Cmd(kSetDWORD).DWord(0x80000001).Word(777);  // local 1
    w.Cmd(kGlobalsCount).Byte(0);                  // 2 into global 0
    w.Cmd(kFramePop);
    w.Cmd(kSetDWORD).DWord(0x80000001).Word(5);  // frame 0 is the last frame again: global 1
    w.Cmd(kExit).Byte(0);
  }));
  s.StandAt(uint32_t(s.context.SectionIndex[0].SectionPtr - s.context.ScriptStart));
  for (int i = 0; i < 4; ++i) ASSERT_EQ(ExecuteStep(&s.context), kStatusOk) << i;
  EXPECT_EQ(ResolveVar(&s.context, 1)->VarType, vtDWORD);
  EXPECT_EQ(ResolveVar(&s.context, 1)->AsDWORD, 0x80000000u);  // reference of the first local
  EXPECT_EQ(ResolveVar(&s.context, 0x80000001)->AsDWORD, 777u);
  ASSERT_EQ(ExecuteStep(&s.context), kStatusOk);
  EXPECT_EQ(ResolveVar(&s.context, 0)->AsDWORD, 2u);
  ASSERT_EQ(ExecuteStep(&s.context), kStatusOk);  // pop
  EXPECT_EQ(ResolveVar(&s.context, 0x80000001), ResolveVar(&s.context, 1));
  EXPECT_EQ(ResolveVar(&s.context, 0x80000002), nullptr);
  ASSERT_EQ(ExecuteStep(&s.context), kStatusOk);
  EXPECT_EQ(ResolveVar(&s.context, 1)->AsDWORD, 5u);
}

TEST(Executor, FreeVarsPastTheFrameLength) {
  LoadedImage l(OneSection([](CodeWriter& w) {
    w.Cmd(kGlobalsAlloc).Byte(3).End();
    w.Cmd(kGlobalsFree).Byte(5);
    w.Cmd(kExit).Byte(0);
  }));
  l.StandAt(uint32_t(l.context.SectionIndex[0].SectionPtr - l.context.ScriptStart));
  ASSERT_EQ(ExecuteStep(&l.context), kStatusOk);
  EXPECT_EQ(l.context.StackFrames.Items[0].Count, 3u);
  l.context.ActionAfterError = kErrorPolicyIgnore;
  EXPECT_EQ(ExecuteStep(&l.context), kStatusVarCountError);
  EXPECT_EQ(l.context.StackFrames.Items[0].Count, 0u);
}

TEST(Executor, AllocationOfZeroVariablesFails) {
  LoadedImage l(OneSection([](CodeWriter& w) { w.Cmd(kGlobalsAlloc).Byte(0).End(); }));
  l.context.ActionAfterError = kErrorPolicyStop;
  EXPECT_EQ(l.Run(), kStatusVarCountError);
}

TEST(Executor, AContextRunsAgainAfterExit) {
  LoadedImage l(OneSection([](CodeWriter& w) {
    w.Cmd(kGlobalsAlloc).Byte(1).End();
    w.Cmd(kExit).Byte(0);
  }));
  EXPECT_EQ(l.Run(), kStatusOk);
  EXPECT_EQ(l.Run(), kStatusOk);
}

TEST(FaultGuard, ExceptionsBecomeStatus104AndTheProcessGoesOn) {
  TScriptContext context{};
  EXPECT_EQ(RunGuarded([](TScriptContext*) -> TStatus { throw std::runtime_error("x"); }, &context),
            kStatusException);
  EXPECT_EQ(RunGuarded([](TScriptContext*) -> TStatus { return 42; }, &context), 42u);
}

#ifdef _WIN32
TEST(FaultGuard, AccessViolationBecomesStatus104) {
  TScriptContext context{};
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(RunGuarded(
                  [](TScriptContext* c) -> TStatus {
                    volatile uint32_t* bad = reinterpret_cast<uint32_t*>(c->ScriptStart + 16);
                    return *bad;
                  },
                  &context),
              kStatusException);
  }
  EXPECT_EQ(RunGuarded([](TScriptContext*) -> TStatus { return 7; }, &context), 7u);
}
#endif

}  // namespace
