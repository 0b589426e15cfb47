#include <gtest/gtest.h>

#include <map>

#include "base/status.h"
#include "runtime/core/variables.h"
#include "runtime/values/block.h"
#include "runtime/values/list.h"
#include "runtime/values/text.h"
#include "tests/support/box_recorder.h"
#include "tests/support/command_codes.h"
#include "tests/support/loaded_image.h"

namespace {

// Code with labels: Mark() records a label at the next instruction, Target()
// writes a DWORD parameter that Build() fills with the label's image offset.
struct Program {
  ImageBuilder b;
  std::map<std::string, std::pair<std::string, uint32_t>> labels;
  std::vector<std::tuple<std::string, uint32_t, std::string>> fixups;  // section, pos, label

  CodeWriter Code(const std::string& section) {
    for (const auto& s : sectionNames) {
      if (s == section) return CodeWriter(b.Section(section));
    }
    sectionNames.push_back(section);
    return CodeWriter(b.Add(section, 1));
  }
  void Mark(const std::string& section, const std::string& label) {
    labels[label] = {section, uint32_t(b.Section(section).size())};
  }
  void Target(const std::string& section, const std::string& label) {
    fixups.emplace_back(section, uint32_t(b.Section(section).size()) + 1, label);
    CodeWriter(b.Section(section)).DWord(0);
  }
  Bytes Build() {
    for (auto& [section, pos, label] : fixups) {
      auto [labelSection, labelPos] = labels.at(label);
      uint32_t target = b.OffsetOf(labelSection) + labelPos;
      Bytes& bytes = b.Section(section);
      for (int i = 0; i < 4; ++i) bytes[pos + i] = uint8_t(target >> (8 * i));
    }
    return b.Build();
  }
  std::vector<std::string> sectionNames;
};

// Runs with policy 0 so that a failing command stops silently.
TStatus RunQuietly(Program& p, const char* section = "GCS") {
  static std::unique_ptr<LoadedImage> keep;
  keep = std::make_unique<LoadedImage>(p.Build());
  keep->context.ActionAfterError = kErrorPolicyStop;
  return keep->Run(section);
}

TEST(Flow, GotoGosubAndReturn) {
  Program p;
  p.Code("GCS").Cmd(kGosub);
  p.Target("GCS", "sub");
  p.Code("GCS").Cmd(kGoto);
  p.Target("GCS", "end");
  p.Mark("GCS", "sub");
  p.Code("GCS").Cmd(kReturn);
  p.Code("GCS").Cmd(kExit).Byte(1);  // skipped by the Goto
  p.Mark("GCS", "end");
  p.Code("GCS").Cmd(kExit).Byte(0);
  EXPECT_EQ(RunQuietly(p), kStatusOk);
}

TEST(Flow, ReturnWithAnEmptyStackFails) {
  Program p;
  p.Code("GCS").Cmd(kReturn).Cmd(kExit).Byte(0);
  EXPECT_EQ(RunQuietly(p), kStatusEmptyCallStack);
}

TEST(Flow, ReturnDropStoresTheDroppedPosition) {
  Program p;
  p.Code("GCS").Cmd(kGlobalsAlloc).Byte(1).End().Cmd(kGosub);
  p.Target("GCS", "sub");
  p.Mark("GCS", "back");
  p.Code("GCS").Cmd(kExit).Byte(1);
  p.Mark("GCS", "sub");
  p.Code("GCS").Cmd(kReturnDrop).Byte(5);  // no variable 5: the stack stays
  p.Code("GCS").Cmd(kReturnDrop).Byte(0).Cmd(kReturnDrop).End();
  p.Code("GCS").Cmd(kExit).Var(0);
  Bytes image = p.Build();
  LoadedImage l(image);
  l.context.ActionAfterError = kErrorPolicyIgnore;  // go on after the failing drop
  const uint32_t back = p.b.OffsetOf("GCS") + p.labels["back"].second;
  EXPECT_EQ(l.Run(), back);  // the second drop found the stack empty and was ignored
  EXPECT_EQ(l.context.CallStack.Count, 0u);
}

// Switch on global 0 holding `selector`; the pairs are given as case values
// (or -1 for an omitted value); each branch exits with its own code. An
// unmatched switch exits with 99.
TStatus RunSwitch(uint32_t code, int64_t selector, std::vector<int64_t> cases, bool withDefault) {
  Program p;
  CodeWriter w = p.Code("GCS");
  w.Cmd(kGlobalsAlloc).Byte(1).End().Cmd(kSetDWORD).Byte(0).DWord(uint32_t(selector));
  w.Cmd(code).Byte(0);
  for (size_t i = 0; i < cases.size(); ++i) {
    if (cases[i] < 0) {
      w.Default();
    } else {
      w.Int(cases[i]);
    }
    p.Target("GCS", "case" + std::to_string(i));
  }
  if (withDefault) p.Target("GCS", "default");
  CodeWriter(p.b.Section("GCS")).End().Cmd(kExit).Byte(99);
  for (size_t i = 0; i < cases.size(); ++i) {
    p.Mark("GCS", "case" + std::to_string(i));
    p.Code("GCS").Cmd(kExit).Byte(int8_t(10 + i));
  }
  p.Mark("GCS", "default");
  p.Code("GCS").Cmd(kExit).Byte(50);
  return RunQuietly(p);
}

TEST(Flow, SwitchNumbersOmittedCasesOnFromTheLastGivenValue) {
  EXPECT_EQ(RunSwitch(kSwitch, 1, {-1, -1, -1}, false), 11u);
  EXPECT_EQ(RunSwitch(kSwitch, 0, {-1, -1, -1}, false), 10u);
  EXPECT_EQ(RunSwitch(kSwitch, 6, {5, -1}, false), 11u);
  EXPECT_EQ(RunSwitch(kSwitch, 7, {5, -1}, false), 99u);  // nothing taken: go on
  EXPECT_EQ(RunSwitch(kSwitch, 7, {5, -1}, true), 50u);
  EXPECT_EQ(RunSwitch(kSwitch, 3, {}, true), 50u);       // a lone address is the default
  EXPECT_EQ(RunSwitch(kSwitch, 5, {5, 5}, false), 10u);  // the first match wins
}

TEST(Flow, SwitchSelectorMustBeAnIntegerOrDWORDVariable) {
  Program p;
  p.Code("GCS").Cmd(kSwitch).Byte(3).End().Cmd(kExit).Byte(0);  // no variable 3
  EXPECT_EQ(RunQuietly(p), kStatusNoSuchVariable);
  Program q;
  q.Code("GCS").Cmd(kGlobalsAlloc).Byte(1).End().Cmd(kSwitch).Byte(0).End().Cmd(kExit).Byte(0);
  EXPECT_EQ(RunQuietly(q), kStatusBadVarKindForNumber);  // uninitialised
}

TEST(Flow, SwitchGosubPushesOnlyATakenBranch) {
  Program p;
  CodeWriter w = p.Code("GCS");
  w.Cmd(kGlobalsAlloc).Byte(2).End().Cmd(kSetDWORD).Byte(0).Byte(1);
  w.Cmd(kSwitchGosub).Byte(0).Default();
  p.Target("GCS", "zero");
  CodeWriter(p.b.Section("GCS")).Default();
  p.Target("GCS", "one");
  CodeWriter(p.b.Section("GCS")).End();
  p.Code("GCS").Cmd(kGlobalsCount).Byte(1).Cmd(kExit).Var(1);  // back behind the switch
  p.Mark("GCS", "zero");
  p.Code("GCS").Cmd(kExit).Byte(40);
  p.Mark("GCS", "one");
  p.Code("GCS").Cmd(kReturn);
  EXPECT_EQ(RunQuietly(p), 2u);

  // Nothing matches: nothing is pushed, and a Return then finds no frame.
  Program q;
  q.Code("GCS").Cmd(kGlobalsAlloc).Byte(1).End().Cmd(kSetDWORD).Byte(0).Byte(9);
  q.Code("GCS").Cmd(kSwitchGosub).Byte(0).Int(1);
  q.Target("GCS", "x");
  q.Mark("GCS", "x");
  CodeWriter(q.b.Section("GCS")).End().Cmd(kReturn);
  EXPECT_EQ(RunQuietly(q), kStatusEmptyCallStack);
}

TEST(Flow, ErrorHandlerReadsTheErrorAndReturnsBehindTheFailure) {
  Program p;
  CodeWriter w = p.Code("GCS");
  w.Cmd(kGlobalsAlloc).Byte(3).End().Cmd(kSetErrorHandler);
  p.Target("GCS", "handler");
  p.Code("GCS").Cmd(kSettingSet).Byte(3).Byte(2);
  p.Mark("GCS", "failing");
  p.Code("GCS").Cmd(kGlobalsCount).Default();  // 102: the handler runs
  // Back here after the handler: stop with the variables in place.
  p.Code("GCS").Cmd(kSetDWORD).Byte(2).Byte(7).Cmd(kSettingSet).Byte(3).Byte(0);
  p.Code("GCS").Cmd(kReturn);  // 1033 under policy 0
  p.Mark("GCS", "handler");
  p.Code("GCS").Cmd(kSettingGet).Byte(0).Byte(0).Cmd(kSettingGet).Byte(1).Byte(1);
  p.Code("GCS").Cmd(kReturn);
  Bytes image = p.Build();
  LoadedImage l(image);
  EXPECT_EQ(l.Run(), kStatusEmptyCallStack);
  EXPECT_EQ(ResolveVar(&l.context, 0)->AsDWORD, kStatusBadParam);
  EXPECT_EQ(ResolveVar(&l.context, 1)->AsDWORD, p.b.OffsetOf("GCS") + p.labels["failing"].second);
  EXPECT_EQ(ResolveVar(&l.context, 2)->AsDWORD, 7u);
}

TEST(Flow, ErrorHandlerMustBeAnInstruction) {
  Program p;
  p.Code("GCS").Cmd(kSetErrorHandler).DWord(3).Cmd(kExit).Byte(0);
  EXPECT_EQ(RunQuietly(p), kStatusBadJumpTarget);
}

TEST(Flow, SectionsByName) {
  Program p;
  p.b.Add("DATA", 0).assign(4, 0);
  Bytes name = {'S', 'U', 'B'};
  Bytes& lds = p.b.Add("LDS", 0);
  uint32_t sub = AddBlockConstant(lds, name);
  uint32_t data = AddBlockConstant(lds, {'D', 'A', 'T', 'A'});
  uint32_t none = AddBlockConstant(lds, {'s', 'u', 'b'});
  p.Code("GCS").Cmd(kGosubSection).Constant(5, sub).Cmd(kExit).Byte(0);
  p.Code("SUB").Cmd(kReturn);
  p.Code("G2").Cmd(kGotoSection).Constant(5, data);
  p.Code("G3").Cmd(kGotoSection).Constant(5, none);
  EXPECT_EQ(RunQuietly(p), kStatusOk);
  EXPECT_EQ(RunQuietly(p, "G2"), kStatusSectionNotCode);
  EXPECT_EQ(RunQuietly(p, "G3"), kStatusSectionNotFound);  // names are case-sensitive
}

TEST(Flow, SectionListFiltersByFlag) {
  Program p;
  p.b.Add("DATA", 0).assign(4, 0);
  p.Code("GCS").Cmd(kGlobalsAlloc).Byte(2).End();
  p.Code("GCS").Cmd(kSectionList).Byte(0).End().Cmd(kSectionList).Byte(1).Byte(1);
  p.Code("GCS").Cmd(kGlobalsCount).Default();  // stop with the variables in place
  Bytes image = p.Build();
  LoadedImage l(image);
  l.context.ActionAfterError = kErrorPolicyStop;
  ASSERT_EQ(l.Run(), kStatusBadParam);
  PArrayHeader all = ResolveVar(&l.context, 0)->UA;
  PArrayHeader code = ResolveVar(&l.context, 1)->UA;
  ASSERT_EQ(xL_Count(all), 2u);
  ASSERT_EQ(xL_Count(code), 1u);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(UA_Data(xL_Item(all, 0))), 4), "DATA");
  EXPECT_EQ(BB_Length(xL_Item(code, 0)), 3u);
}

TEST(Flow, SettingsReadAndWrite) {
  BoxRecorder boxes;  // the run ends on 1040 under the default policy, with its box
  Program p;
  CodeWriter w = p.Code("GCS");
  w.Cmd(kGlobalsAlloc).Byte(9).End();
  for (int8_t i = 3; i <= 7; ++i) w.Cmd(kSettingGet).Byte(i).Byte(i);
  w.Cmd(kSettingSet).Byte(5).Byte(0).Cmd(kSettingGet).Byte(5).Byte(8);
  w.Cmd(kSettingGet).Byte(9).Byte(0);  // 1040
  Bytes image = p.Build();
  LoadedImage l(image);
  EXPECT_EQ(l.Run(), kStatusBadSettingNumber);  // the box is answered by the recorder
  auto value = [&](uint32_t i) { return ResolveVar(&l.context, i)->AsDWORD; };
  EXPECT_EQ(value(3), 1u);
  EXPECT_EQ(value(4), 50u);
  EXPECT_EQ(value(5), 500u);
  EXPECT_EQ(value(6), 0u);
  EXPECT_EQ(value(7), 32768u);
  EXPECT_EQ(value(8), 0u);
  EXPECT_EQ(l.context.SendMsgTimeout, 0u);
}

TEST(Flow, CommandLineAndWait) {
  Program p;
  p.Code("GCS").Cmd(kGlobalsAlloc).Byte(1).End().Cmd(kWait).Byte(1).Cmd(kCommandLineGet).Byte(0);
  p.Code("GCS").Cmd(kGlobalsCount).Default();
  Bytes image = p.Build();
  LoadedImage l(image);
  l.context.ActionAfterError = kErrorPolicyStop;
  ASSERT_EQ(l.Run(), kStatusBadParam);
  TZorvatVariable* line = ResolveVar(&l.context, 0);
  ASSERT_EQ(line->VarType, vtUnicodeString);
  EXPECT_GT(USTR_Length(line->UA), 0u);
}

TEST(Message, ShowStoresTheAnswer) {
  BoxRecorder boxes(6);  // Yes
  Bytes image;
  {
    ImageBuilder b;
    Bytes& lds = b.Add("LDS", 0);
    uint32_t text = AddTextConstant(lds, u"Proceed?");
    uint32_t caption = AddTextConstant(lds, u"Question");
    CodeWriter(b.Add("GCS", 1))
        .Cmd(kGlobalsAlloc)
        .Byte(1)
        .End()
        .Cmd(kMessageShow)
        .Constant(13, text)
        .Constant(13, caption)
        .Byte(4)
        .Default()
        .Byte(0)
        .Cmd(kExit)
        .Var(0);
    image = b.Build();
  }
  LoadedImage l(image);
  l.context.ActionAfterError = kErrorPolicyStop;
  EXPECT_EQ(l.Run(), 6u);
  std::vector<RecordedBox> shown = boxes.Boxes(1);
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].caption, u"Question");
  EXPECT_EQ(shown[0].text, u"Proceed?");
}

TEST(Message, ShowWithOnlyATextUsesTheSignatureAndStoresNothing) {
  BoxRecorder boxes;
  ImageBuilder b;
  uint32_t text = AddTextConstant(b.Add("LDS", 0), u"Hello");
  CodeWriter(b.Add("GCS", 1)).Cmd(kMessageShow).Constant(13, text).End().Cmd(kExit).Byte(0);
  LoadedImage l(b.Build());
  EXPECT_EQ(l.Run(), kStatusOk);
  std::vector<RecordedBox> shown = boxes.Boxes(1);
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].caption, std::u16string(kRuntimeSignature));
}

TEST(Message, ShowWithoutATextFailsAndShowsNothing) {
  BoxRecorder boxes;
  ImageBuilder b;
  CodeWriter(b.Add("GCS", 1)).Cmd(kMessageShow).Default().End().Cmd(kExit).Byte(0);
  LoadedImage l(b.Build());
  l.context.ActionAfterError = kErrorPolicyStop;
  EXPECT_EQ(l.Run(), kStatusBadParam);
  EXPECT_TRUE(boxes.Boxes().empty());
}

TEST(Message, BeepIgnoresAnUnusableType) {
  ImageBuilder b;
  CodeWriter(b.Add("GCS", 1)).Cmd(kSoundBeep).Ext(1.0L).Cmd(kSoundBeep).End().Cmd(kExit).Byte(0);
  LoadedImage l(b.Build());
  l.context.ActionAfterError = kErrorPolicyStop;
  EXPECT_EQ(l.Run(), kStatusOk);
}

}  // namespace

// A subroutine that pushes a frame, allocates a local and calls itself
// without end stops at the frame cap with 108, whatever the error policy
// (an error handler cannot even push its own frame there), instead of
// taking memory until the process dies.
TEST(Flow, RunawayRecursionStopsAtTheFrameCap) {
  Program p;
  p.Code("GCS");
  p.Mark("GCS", "self");
  p.Code("GCS").Cmd(kFramePush).Cmd(kLocalsAlloc).Byte(1).End().Cmd(kGosub);
  p.Target("GCS", "self");
  p.Code("GCS").Cmd(kFramePop).Cmd(kReturn);
  p.Mark("GCS", "handler");
  p.Code("GCS").Cmd(kReturn);
  Bytes image = p.Build();
  const uint32_t handler = p.b.OffsetOf("GCS") + p.labels["handler"].second;
  for (uint32_t policy : {0u, 2u}) {
    BoxRecorder boxes;
    LoadedImage l(image);
    l.context.ActionAfterError = policy;
    l.context.OnErrorGoto = policy == 2 ? handler : 0;
    EXPECT_EQ(l.Run(), kStatusFrameDepth) << policy;
    EXPECT_EQ(l.context.Error_At, p.b.OffsetOf("GCS")) << policy;  // the FramePush
    EXPECT_EQ(l.context.StackFrames.Count, kMaxFrameDepth) << policy;
    EXPECT_EQ(l.context.CallStack.Count, kMaxFrameDepth - 1) << policy;
    EXPECT_TRUE(boxes.Boxes().empty());
  }
}

// Frames popped by returning subroutines lend their storage to the next
// calls: after the first descent, nested calls with locals reuse it.
TEST(Flow, FramesReuseTheirStorage) {
  LoadedImage l(SmallestImage());
  TScriptContext* c = &l.context;
  ASSERT_EQ(PushFrame(c), kStatusOk);  // globals
  uint32_t first;
  std::vector<TZorvatVariable*> storage;
  for (int depth = 0; depth < 20; ++depth) {
    ASSERT_EQ(PushFrame(c), kStatusOk);
    ASSERT_EQ(AllocVars(c, 3, false, &first), kStatusOk);
    ASSERT_EQ(Var_StoreUnicodeString(c, kLocalBit | 2, u"abc", 3), kStatusOk);
    storage.push_back(c->StackFrames.Items[c->StackFrames.Count - 1].Items);
  }
  for (int depth = 0; depth < 20; ++depth) ASSERT_EQ(PopFrame(c), kStatusOk);
  for (int depth = 0; depth < 20; ++depth) {
    ASSERT_EQ(PushFrame(c), kStatusOk);
    const TZorvatVariables& frame = c->StackFrames.Items[c->StackFrames.Count - 1];
    EXPECT_EQ(frame.Count, 0u);  // a reused frame starts empty
    ASSERT_EQ(AllocVars(c, 2, false, &first), kStatusOk);
    EXPECT_EQ(first, 0u);
    EXPECT_EQ(frame.Items, storage[depth]);
    EXPECT_EQ(ResolveVar(c, kLocalBit | 1)->VarType, vtUninitialized);
  }
  ReleaseFrames(c);
  EXPECT_EQ(c->StackFrames.Count, 0u);
  EXPECT_EQ(PopFrame(c), kStatusNoFrame);
}
