// The window and window-relation commands on real windows: zv_fixture.exe in
// a process of its own (each test gives it a title of its own), and Wine's
// notepad as a program we did not write. These tests pin down what a script
// cannot easily see for itself (reference rules and their codes, exact
// values, timing); the scripts in tests/scripts/window show the rest.
#include <gtest/gtest.h>

#include <string>

#include "base/status.h"
#include "runtime/commands/window_refs_win32.h"
#include "tests/fixtures/fixture_ids.h"
#include "tests/support/window_test_scripts.h"

namespace {

std::string Narrow(const std::wstring& text) {
  return std::string(text.begin(), text.end());
}

class WindowCommands : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(UseShippedCommandList());
    ASSERT_NE(fixture_.Window(), nullptr);
    main_ = fixture_.Window();
    edit_ = GetDlgItem(main_, kIdEdit);
    ok_ = GetDlgItem(main_, kIdOk);
  }

  // Variable 0 holds the fixture window; {W}, {E} and {T} stand for the
  // window, its edit control and its title.
  std::string Script(const std::string& body) {
    return FillScript("GlobalsAlloc 16 .\nSetDWORD 0 {W}\n" + body,
                      {{"W", HandleText(main_)}, {"E", HandleText(edit_)}, {"T", Narrow(kTitle)}});
  }

  TStatus Status(const std::string& body) { return ScriptRun(Script(body)).Status(); }

  static constexpr wchar_t kTitle[] = L"Zorvat Window Test";
  FixtureProcess fixture_{kTitle, {L"--pos", L"120,130,400,300"}};
  HWND main_ = nullptr, edit_ = nullptr, ok_ = nullptr;
};

// ---- Window references ----

TEST_F(WindowCommands, SingleWindowReferences) {
  struct TCase {
    const char* Setup;
    TStatus Expected;
  } cases[] = {
      {"SetDWORD 1 {W}", kStatusOk},
      {"SetInt 1 {W}", kStatusOk},
      {"DWORDArrayNew 1 2 {W}", kStatusOk},  // the first item
      {"DWORDArrayNew 1 0 .", kStatusBadWindowRef},
      {"SetBlock 1 'x'", kStatusBadWindowRef},
      {"SetFloat 1 2.5", kStatusBadWindowRef},
  };
  for (const TCase& c : cases) {
    ScriptRun run(Script(std::string(c.Setup) + "\nWindowGetClass 1 2\n"));
    EXPECT_EQ(run.Status(), c.Expected == kStatusOk ? kRanToEnd : c.Expected) << c.Setup;
    if (c.Expected == kStatusOk) {
      EXPECT_EQ(run.Text(2), u"ZorvatFixture") << c.Setup;
    }
  }
  EXPECT_EQ(Status("WindowGetClass 40 2\n"), kStatusBadWindowRef);  // no variable 40
}

// Sizes, positions and coordinate mapping report the lookup's own codes.
TEST_F(WindowCommands, PositionCommandsReportTheLookupsOwnCodes) {
  for (const char* command :
       {"WindowGetPos", "WindowGetSize", "WindowGetClientSize", "WindowGetScreenPos",
        "WindowClientToScreen", "WindowScreenToClient"}) {
    const std::string c = command;
    EXPECT_EQ(Status("DWORDArrayNew 1 0 .\n" + c + " 1 2 3\n"), kStatusIndexOutOfRange) << c;
    EXPECT_EQ(Status("SetBlock 1 'x'\n" + c + " 1 2 3\n"), kStatusWrongKind) << c;
    EXPECT_EQ(Status(c + " 40 2 3\n"), kStatusWrongKind) << c;
  }
  // With no result variable there is nothing to read, and nothing fails.
  EXPECT_EQ(Status("SetDWORD 1 1\nWindowGetPos 1 .\nExit 0\n"), kStatusOk);
}

TEST_F(WindowCommands, WindowSetReferences) {
  EXPECT_EQ(Status("SetInt 1 {W}\nWindowShow 1 .\n"), kStatusBadWindowRef);
  EXPECT_EQ(Status("SetBlock 1 'x'\nWindowShow 1 .\n"), kStatusBadWindowRef);
  EXPECT_EQ(Status("WindowShow 40 .\n"), kStatusNoSuchVariable);
  EXPECT_EQ(Status("DWORDArrayNew 1 0 .\nWindowClose 1\nExit 0\n"), kStatusOk);
  // One gone window: a DWORD gives its own status, an array 1018 after the
  // other windows had their turn.
  EXPECT_EQ(Status("SetDWORD 1 1\nWindowClose 1\n"), kStatusMessageFailed);
  EXPECT_EQ(Status("SetDWORD 1 1\nWindowSetTopmost 1 1\n"), kStatusWindowOperationFailed);
  EXPECT_EQ(Status("DWORDArrayNew 1 2 1\nDWORDArraySet 1 1 {W}\nWindowSetTopmost 1 1\n"),
            kStatusWindowOperationFailed);
  EXPECT_TRUE(GetWindowLongW(main_, GWL_EXSTYLE) & WS_EX_TOPMOST);
  EXPECT_EQ(Status("WindowSetTopmost 0 0\nExit 0\n"), kStatusOk);
  EXPECT_FALSE(GetWindowLongW(main_, GWL_EXSTYLE) & WS_EX_TOPMOST);
}

// ---- Search ----

// What a top-level search stored.
struct TFound {
  TStatus Status;
  std::vector<uint32_t> Windows;
};

TEST_F(WindowCommands, SearchByEveryMatchMode) {
  auto find = [&](const std::string& params) {
    ScriptRun run(Script("WindowFind 1 " + params + "\n"));
    return TFound{run.Status(), run.Values(1)};
  };
  const std::vector<uint32_t> fixture = {HandleValue(main_)};
  EXPECT_EQ(find("\"ZorvatFixture\" 1 \"{T}\" 1 .").Windows, fixture);
  EXPECT_EQ(find("\"zorvatfixture\" 2 \"zorvat window TEST\" 2 .").Windows, fixture);
  EXPECT_EQ(find("\"Fixture\" 3 \"Window T\" 3 .").Windows, fixture);
  EXPECT_EQ(find("\"FIXTURE\" 4 \"window test\" 4 .").Windows, fixture);
  EXPECT_TRUE(find("\"zorvatfixture\" 1 \"{T}\" 1 .").Windows.empty());
  EXPECT_TRUE(find("\"fixture\" 3 \"{T}\" 1 .").Windows.empty());
  // An absent text, or a mode above 4, tests nothing.
  EXPECT_EQ(find("$ 1 \"{T}\" 1 .").Windows, fixture);
  EXPECT_EQ(find("\"Nothing like it\" 9 \"{T}\" 1 .").Windows, fixture);
  // An empty needle is never found.
  EXPECT_TRUE(find("\"\" 3 \"{T}\" 1 .").Windows.empty());
  EXPECT_TRUE(find("\"ZorvatFixture\" 1 \"\" 4 .").Windows.empty());
  // Titles are compared by their first max-title-length units.
  EXPECT_EQ(find("\"ZorvatFixture\" 1 \"Zorvat Window\" 1 13 .").Windows, fixture);
  EXPECT_TRUE(find("\"ZorvatFixture\" 1 \"Zorvat Window\" 1 14 .").Windows.empty());
  // Both modes 0: every top-level window, at most max count of them.
  EXPECT_GT(find("$ 0 $ 0 .").Windows.size(), 1u);
  EXPECT_EQ(find("$ 0 $ 0 1023 1").Windows.size(), 1u);
  EXPECT_EQ(find("$ 0 $ 0 1023 0").Status, kRanToEnd);
  EXPECT_TRUE(find("$ 0 $ 0 1023 0").Windows.empty());
}

// A title past the work buffer: the buffer grows to the compared prefix.
TEST_F(WindowCommands, SearchReadsTitlesLongerThanTheWorkBuffer) {
  const std::wstring title = std::wstring(1500, L'x') + L"END";
  ASSERT_TRUE(SetWindowTextW(main_, title.c_str()));
  ScriptRun found(Script("WindowFind 1 \"ZorvatFixture\" 1 \"END\" 3 4000 .\n"));
  EXPECT_EQ(found.Values(1), std::vector<uint32_t>{HandleValue(main_)});
  ScriptRun cut(Script("WindowFind 1 \"ZorvatFixture\" 1 \"END\" 3 .\n"));
  EXPECT_TRUE(cut.Values(1).empty());
}

TEST_F(WindowCommands, SearchAmongChildren) {
  ScriptRun run(
      Script("WindowFindChild 1 0 \"Button\" 1 $ 0 .\n"
             "WindowFindChild 2 0 $ 0 \"Cancel\" 1 .\n"
             "WindowFindChild 3 0 $ 0 $ 0 1023 2\n"));
  EXPECT_EQ(run.Values(1).size(), 3u);  // OK, Cancel and the check box
  EXPECT_EQ(run.Values(2), std::vector<uint32_t>{HandleValue(GetDlgItem(main_, kIdCancel))});
  EXPECT_EQ(run.Values(3), (std::vector<uint32_t>{HandleValue(edit_), HandleValue(ok_)}));
  EXPECT_EQ(Status("SetDWORD 1 0\nWindowFindChild 2 1 $ 0 $ 0 .\n"), kStatusBadWindowRef);
  EXPECT_EQ(Status("SetBlock 1 'x'\nWindowFindChild 2 1 $ 0 $ 0 .\n"), kStatusBadWindowRef);
}

// ---- Text, class, clicks ----

TEST_F(WindowCommands, TextsAreReadAndSetByMessages) {
  const std::string longText(5000, 'y');
  ScriptRun run(
      Script("WindowGetText 0 1\n"
             "SetDWORD 2 {E}\n"
             "WindowSetText 2 \"typed by a script\"\n"
             "WindowGetText 2 3\n"
             "WindowSetText 2 \"" +
             longText +
             "\"\n"
             "WindowGetText 2 4\n"
             "WindowSetText 2 .\n"
             "WindowGetText 2 5\n"
             "WindowGetClass 2 6\n"));
  EXPECT_EQ(run.Status(), kRanToEnd);
  EXPECT_EQ(run.Text(1), u"Zorvat Window Test");
  EXPECT_EQ(run.Text(3), u"typed by a script");
  EXPECT_EQ(run.Text(4), std::u16string(5000, u'y'));
  EXPECT_EQ(run.Text(5), u"");
  EXPECT_EQ(run.Text(6), u"Edit");
  // A window that is gone: its text cannot be read, its class neither.
  EXPECT_EQ(Status("SetDWORD 1 1\nWindowGetText 1 2\n"), kStatusMessageFailed);
  EXPECT_EQ(Status("SetDWORD 1 1\nWindowGetClass 1 2\n"), kStatusWindowOperationFailed);
  EXPECT_EQ(Status("WindowSetText 0 \"New title\"\nExit 0\n"), kStatusOk);
  EXPECT_TRUE(WaitForLine(fixture_.LogPath(), "settext text=New title", 5000).has_value());
}

// ---- Messages and owner ----

TEST_F(WindowCommands, SendMessageStoresTheResult) {
  ScriptRun run(
      Script("WindowSendMessage 0 $0E 0 0 1 .\n"  // WM_GETTEXTLENGTH
             "DWORDArrayNew 2 2 {E}\nDWORDArraySet 2 1 {W}\n"
             "WindowSendMessage 2 $0E 0 . \n"
             "WindowSendMessage 2 $0E 0 0 3 0\n"  // the last window's result
             "WindowGetProcess 0 4 5\n"
             "WindowGetDesktop 6\n"));
  EXPECT_EQ(run.Status(), kRanToEnd);
  EXPECT_EQ(run.DWord(1), 18u);
  EXPECT_EQ(run.DWord(3), 18u);
  DWORD process = 0;
  const DWORD thread = GetWindowThreadProcessId(main_, &process);
  EXPECT_EQ(run.DWord(4), fixture_.Process().Id());
  EXPECT_EQ(run.DWord(4), process);
  EXPECT_EQ(run.DWord(5), thread);
  EXPECT_EQ(run.DWord(6), HandleValue(GetDesktopWindow()));
  // A result variable that does not exist is found out before anything is
  // sent: the window is not closed.
  EXPECT_EQ(Status("WindowSendMessage 0 $10 0 0 40 .\n"), kStatusNoSuchVariable);
  EXPECT_TRUE(IsWindow(main_));
}

// ---- Relations ----

TEST_F(WindowCommands, OneStepRelationsLineUpWithTheirSource) {
  ScriptRun run(
      Script("DWORDArrayNew 1 2 {W}\nDWORDArraySet 1 1 {E}\n"
             "WindowGetParent 1 2\n"
             "WindowGetFirstChild 0 3\n"
             "SetDWORD 4 {E}\nWindowGetNext 4 .\n"  // replaces the source
             "WindowGetPrevious 4 5\n"
             "WindowGetOwner 0 6\n"
             "DWORDArrayNew 7 0 .\nWindowGetParent 7 8\n"));
  EXPECT_EQ(run.Status(), kRanToEnd);
  EXPECT_EQ(run.Values(2), (std::vector<uint32_t>{0, HandleValue(main_)}));
  EXPECT_EQ(run.Values(3), std::vector<uint32_t>{HandleValue(edit_)});
  EXPECT_EQ(run.Values(4), std::vector<uint32_t>{HandleValue(ok_)});
  EXPECT_EQ(run.Values(5), std::vector<uint32_t>{HandleValue(edit_)});
  EXPECT_EQ(run.Values(6), std::vector<uint32_t>{0});
  EXPECT_EQ(run.Kind(8), vtDWORDArray);
  EXPECT_TRUE(run.Values(8).empty());
  EXPECT_EQ(Status("SetInt 1 {W}\nWindowGetParent 1 2\n"), kStatusBadWindowRef);
  EXPECT_EQ(Status("WindowGetParent 40 2\n"), kStatusNoSuchVariable);
}

TEST_F(WindowCommands, ChainsLeaveOutTheirStart) {
  ScriptRun run(
      Script("SetDWORD 1 {E}\n"
             "WindowGetNextSiblings 1 2\n"
             "WindowGetAncestors 1 3\n"
             "WindowGetAncestors 0 4\n"
             "SetInt 5 {E}\nWindowGetPreviousSiblings 5 .\n"));
  EXPECT_EQ(run.Status(), kRanToEnd);
  std::vector<uint32_t> siblings;
  for (int id : {kIdOk, kIdCancel, kIdCheck, kIdList, kIdStatic}) {
    siblings.push_back(HandleValue(GetDlgItem(main_, id)));
  }
  EXPECT_EQ(run.Values(2), siblings);
  EXPECT_EQ(run.Values(3), std::vector<uint32_t>{HandleValue(main_)});
  EXPECT_EQ(run.Kind(4), vtDWORDArray);
  EXPECT_TRUE(run.Values(4).empty());
  EXPECT_EQ(run.Kind(5), vtDWORDArray);
  EXPECT_TRUE(run.Values(5).empty());  // the edit control is the first child
  EXPECT_EQ(Status("DWORDArrayNew 1 1 {W}\nWindowGetAncestors 1 2\n"), kStatusBadWindowRef);
  EXPECT_EQ(Status("WindowGetAncestors 40 2\n"), kStatusBadWindowRef);
}

// ---- Coordinates ----

TEST_F(WindowCommands, ClientAndScreenCoordinates) {
  POINT origin = {0, 0};
  ASSERT_TRUE(ClientToScreen(main_, &origin));
  ScriptRun mapped(
      FillScript(Script("SetDWORD 1 5\nSetInt 2 7\n"
                        "WindowClientToScreen 0 1 2\n"
                        "SetDWORD 3 5\nSetDWORD 4 99\n"
                        "WindowClientToScreen 0 3 .\n"
                        "SetDWORD 5 {X}\nSetDWORD 6 {Y}\n"
                        "WindowScreenToClient 0 5 6\n"),
                 {{"X", std::to_string(origin.x + 3)}, {"Y", std::to_string(origin.y + 4)}}));
  EXPECT_EQ(mapped.Status(), kRanToEnd);
  EXPECT_EQ(mapped.DWord(1), uint32_t(origin.x + 5));
  EXPECT_EQ(mapped.DWord(2), uint32_t(origin.y + 7));
  EXPECT_EQ(mapped.Kind(2), vtDWORD);
  EXPECT_EQ(mapped.DWord(3), uint32_t(origin.x + 5));
  EXPECT_EQ(mapped.DWord(4), 99u);
  EXPECT_EQ(mapped.DWord(5), 3u);
  EXPECT_EQ(mapped.DWord(6), 4u);
  EXPECT_EQ(Status("SetDWORD 1 1\nSetDWORD 2 0\nWindowClientToScreen 1 2 2\n"),
            kStatusCoordinateMappingFailed);
}

// ---- Hung windows ----

// The fixture stops answering for 3 s. With the default SendMsgTimeout a
// message gives up with 1016 after about 500 ms; with SendMsgTimeout 0 the
// same message waits for the window and gets its answer. A text read is the
// exception: a window that exists but does not answer has the empty text.
TEST_F(WindowCommands, HungWindowTimesOutOrIsWaitedFor) {
  ASSERT_TRUE(PostMessageW(main_, kFixtureHangMessage, 3000, 0));
  ASSERT_TRUE(WaitForLine(fixture_.LogPath(), "hang begin", 5000).has_value());
  ScriptRun timedOut(Script("WindowSendMessage 0 $0E 0 0 1 .\n"));
  EXPECT_EQ(timedOut.Status(), kStatusMessageFailed);
  EXPECT_GE(timedOut.Milliseconds(), 400u);
  EXPECT_LT(timedOut.Milliseconds(), 1500u);
  ScriptRun emptyText(Script("WindowGetText 0 1\n"));
  EXPECT_EQ(emptyText.Status(), kRanToEnd);
  EXPECT_EQ(emptyText.Text(1), u"");
  ScriptRun waited(Script("SettingSet 5 0\nWindowSendMessage 0 $0E 0 0 1 .\n"));
  EXPECT_EQ(waited.Status(), kRanToEnd);
  EXPECT_EQ(waited.DWord(1), 18u);
  EXPECT_TRUE(WaitForLine(fixture_.LogPath(), "hang end", 0).has_value());
}

// ---- A program we did not write ----

TEST(Notepad, FoundByClassTextSetReadAndClosed) {
  ASSERT_TRUE(UseShippedCommandList());
  TestProcess notepad;
  ASSERT_TRUE(notepad.Start(L"C:\\windows\\system32\\notepad.exe", {}));
  HWND window = nullptr;
  ASSERT_TRUE(WaitUntil(
      [&] {
        window = FindWindowW(L"Notepad", nullptr);
        return window != nullptr && IsWindowVisible(window);
      },
      20000));
  // The edit control's text is set and read back, the modified flag cleared
  // (EM_SETMODIFY), so that closing asks nothing.
  ScriptRun run(
      FillScript("GlobalsAlloc 6 .\n"
                 "WindowFind 0 \"Notepad\" 1 $ 0 .\n"
                 "WindowGetProcess 0 1 .\n"
                 "WindowFindChild 2 0 \"Edit\" 2 $ 0 .\n"
                 "WindowSetText 2 \"Hello from Zorvat\"\n"
                 "WindowGetText 2 3\n"
                 "WindowSendMessage 2 $B9 0 .\n"
                 "WindowClose 0\n",
                 {}));
  EXPECT_EQ(run.Status(), kRanToEnd);
  EXPECT_EQ(run.Text(3), u"Hello from Zorvat");
  EXPECT_EQ(run.DWord(1), notepad.Id());
  EXPECT_TRUE(notepad.WaitForExit(10000));
}

}  // namespace
