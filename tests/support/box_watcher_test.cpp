// The watcher finds real message boxes under Wine, reads exactly what they
// say and presses the button it was told to, in this process and (through
// zv_box_watcher.exe) in another.
#include "tests/support/box_watcher.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/test_process.h"

namespace {

// A box can take a few hundred milliseconds to appear under Wine.
constexpr DWORD kBoxMs = 15000;

// Stands behind the watcher under test, so that a box it fails to answer
// ends the test with a failure instead of hanging it.
TBoxWatchOptions SafetyNet() {
  TBoxWatchOptions options;
  options.Answer = IDCANCEL;
  options.DelayMs = kBoxMs;
  return options;
}

TEST(BoxWatcher, RecordsCaptionAndTextAndAnswersAsTold) {
  for (int answer : {IDYES, IDNO}) {
    BoxWatcher safetyNet(SafetyNet());
    BoxWatcher watcher(answer);
    int pressed = MessageBoxW(nullptr, L"First line\nSecond line", L"Zorvat watcher test",
                              MB_YESNO | MB_ICONQUESTION);
    EXPECT_EQ(pressed, answer);
    ASSERT_TRUE(watcher.WaitForBoxes(1, kBoxMs));
    std::vector<TRecordedBox> boxes = watcher.Boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].Caption, L"Zorvat watcher test");
    EXPECT_EQ(boxes[0].Text, L"First line\nSecond line");
    EXPECT_EQ(boxes[0].ProcessId, GetCurrentProcessId());
    EXPECT_EQ(boxes[0].Button, answer);
    EXPECT_TRUE(safetyNet.Boxes().empty());
  }
}

TEST(BoxWatcher, RecordsEachOfSeveralBoxesOnce) {
  BoxWatcher safetyNet(SafetyNet());
  BoxWatcher watcher(IDOK);
  EXPECT_EQ(MessageBoxW(nullptr, L"one", L"First", MB_OK), IDOK);
  EXPECT_EQ(MessageBoxW(nullptr, L"two", L"Second", MB_OKCANCEL), IDOK);
  ASSERT_TRUE(watcher.WaitForBoxes(2, kBoxMs));
  watcher.Stop();
  std::vector<TRecordedBox> boxes = watcher.Boxes();
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[0].Caption, L"First");
  EXPECT_EQ(boxes[0].Text, L"one");
  EXPECT_EQ(boxes[1].Caption, L"Second");
  EXPECT_EQ(boxes[1].Text, L"two");
}

TEST(BoxWatcher, PressesAButtonTheBoxHasWhenTheChosenOneIsMissing) {
  BoxWatcher safetyNet(SafetyNet());
  BoxWatcher watcher(IDYES);
  EXPECT_EQ(MessageBoxW(nullptr, L"only OK here", L"No Yes button", MB_OK), IDOK);
  ASSERT_TRUE(watcher.WaitForBoxes(1, kBoxMs));
  EXPECT_EQ(watcher.Boxes()[0].Button, IDOK);
}

TEST(BoxWatcher, LeavesBoxesWithOtherCaptionsAlone) {
  BoxWatcher safetyNet(SafetyNet());
  TBoxWatchOptions wanted;
  wanted.Answer = IDNO;
  wanted.Caption = L"Wanted";
  BoxWatcher watcher(wanted);
  TBoxWatchOptions others;
  others.Caption = L"Unwanted";
  others.CaptionContains = true;
  BoxWatcher otherWatcher(others);
  EXPECT_EQ(MessageBoxW(nullptr, L"not for it", L"Unwanted box", MB_YESNOCANCEL), IDCANCEL);
  EXPECT_EQ(MessageBoxW(nullptr, L"for it", L"Wanted", MB_YESNO), IDNO);
  ASSERT_TRUE(watcher.WaitForBoxes(1, kBoxMs));
  watcher.Stop();
  ASSERT_EQ(watcher.Boxes().size(), 1u);
  EXPECT_EQ(watcher.Boxes()[0].Text, L"for it");
  ASSERT_EQ(otherWatcher.Boxes().size(), 1u);
  EXPECT_EQ(otherWatcher.Boxes()[0].Caption, L"Unwanted box");
}

TEST(BoxWatcher, IsQuietWhenNoBoxAppearsAndStopsCleanly) {
  BoxWatcher watcher;
  EXPECT_FALSE(watcher.WaitForBoxes(1, 200));
  watcher.Stop();
  watcher.Stop();
  EXPECT_TRUE(watcher.Boxes().empty());
}

TEST(BoxWatcherProgram, WritesCaptionAndEscapedTextThenAnswers) {
  BoxWatcher safetyNet(SafetyNet());
  TempFile out(L"zv-box-watcher");
  TestProcess watcher;
  ASSERT_TRUE(watcher.Start(
      FixtureProgram(L"zv_box_watcher.exe"),
      {L"--out", out.Path(), L"--answer", L"no", L"--caption", L"Zorvat watcher program", L"--pid",
       std::to_wstring(GetCurrentProcessId()), L"--time-limit", L"60000"}));
  int pressed = MessageBoxW(nullptr, L"first line\r\nsecond\tcolumn \\ end",
                            L"Zorvat watcher program", MB_YESNO);
  EXPECT_EQ(pressed, IDNO);
  ASSERT_TRUE(watcher.WaitForExit(kBoxMs));
  EXPECT_EQ(watcher.ExitCode(), 0u);
  EXPECT_EQ(
      ReadLines(out.Path()),
      std::vector<std::string>{"Zorvat watcher program\tfirst line\\nsecond\\tcolumn \\ end"});
  EXPECT_TRUE(safetyNet.Boxes().empty());
}

TEST(BoxWatcherProgram, StopsAtItsTimeLimitWhenNoBoxComes) {
  TempFile out(L"zv-box-watcher-idle");
  TestProcess watcher;
  ASSERT_TRUE(
      watcher.Start(FixtureProgram(L"zv_box_watcher.exe"),
                    {L"--out", out.Path(), L"--caption", L"Never shown", L"--time-limit", L"300"}));
  ASSERT_TRUE(watcher.WaitForExit(kBoxMs));
  EXPECT_EQ(watcher.ExitCode(), 1u);
  EXPECT_TRUE(ReadLines(out.Path()).empty());

  TestProcess confused;
  ASSERT_TRUE(confused.Start(FixtureProgram(L"zv_box_watcher.exe"), {L"--answer", L"maybe"}));
  ASSERT_TRUE(confused.WaitForExit(kBoxMs));
  EXPECT_EQ(confused.ExitCode(), 2u);
}

}  // namespace
