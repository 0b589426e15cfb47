// The keyboard and mouse commands on a real window: zv_fixture.exe in a
// process of its own logs every key and mouse event its edit control and
// client area receive, in order.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "base/status.h"
#include "tests/fixtures/fixture_ids.h"
#include "tests/support/input_process_test_scripts.h"
#include "tests/support/test_process.h"

namespace {

constexpr DWORD kAppearMs = 15000;
constexpr DWORD kEventMs = 10000;
constexpr DWORD kFocusSettleMs = 300;

// The fixture in front with the focus in its edit control, so that typed keys
// reach it; ended on every path.
class FrontFixture {
 public:
  explicit FrontFixture(const wchar_t* title) : log_(L"zv-input-fixture"), title_(title) {
    if (!process_.Start(FixtureProgram(L"zv_fixture.exe"),
                        {L"--title", title, L"--log", log_.Path(), L"--exit-after", L"60000"})) {
      return;
    }
    window_ = WaitForWindow(kFixtureClass, title, kAppearMs);
    if (window_ != nullptr) WaitForLine(log_.Path(), "ready", kAppearMs);
  }

  // Brings the window forward and waits until its edit control has the focus.
  bool BringToFront() {
    if (window_ == nullptr) return false;
    HWND edit = GetDlgItem(window_, kIdEdit);
    const DWORD thread = GetWindowThreadProcessId(window_, nullptr);
    auto inFront = [&] {
      if (GetForegroundWindow() != window_) SetForegroundWindow(window_);
      GUITHREADINFO info = {};
      info.cbSize = sizeof info;
      return GetForegroundWindow() == window_ && GetGUIThreadInfo(thread, &info) &&
             info.hwndFocus == edit;
    };
    if (!WaitUntil(inFront, kAppearMs)) return false;
    // The display server's own focus event follows later; when it arrives,
    // Wine re-reads the physical keyboard and silently drops keys that were
    // injected and are still held. Let it arrive before a test presses keys.
    Sleep(kFocusSettleMs);
    return WaitUntil(inFront, kAppearMs);
  }

  HWND Window() const { return window_; }
  HWND Control(int id) const { return GetDlgItem(window_, id); }

  // The log lines that start with one of the prefixes, once at least `count`
  // of them have arrived (or all there are after the time-out). With
  // `firstOnly` each distinct line is kept once, where it first appears: a
  // key pressed again while it is held shows up as a second key-down.
  std::vector<std::string> Lines(const std::vector<std::string>& prefixes, size_t count,
                                 bool firstOnly = false) const {
    std::vector<std::string> lines;
    WaitUntil(
        [&] {
          lines.clear();
          for (const std::string& line : ReadLines(log_.Path())) {
            for (const std::string& prefix : prefixes) {
              if (!line.starts_with(prefix)) continue;
              if (firstOnly && std::find(lines.begin(), lines.end(), line) != lines.end()) continue;
              lines.push_back(line);
            }
          }
          return lines.size() >= count;
        },
        kEventMs);
    return lines;
  }

  std::wstring EditText() const {
    wchar_t text[256] = L"";
    DWORD_PTR copied = 0;
    SendMessageTimeoutW(Control(kIdEdit), WM_GETTEXT, 256, reinterpret_cast<LPARAM>(text),
                        SMTO_BLOCK, 5000, &copied);
    return text;
  }

 private:
  TempFile log_;
  std::wstring title_;
  TestProcess process_;
  HWND window_ = nullptr;
};

POINT CentreOf(HWND window) {
  RECT rect = {};
  GetWindowRect(window, &rect);
  return {(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
}

bool KeyIsDown(int key) {
  return GetAsyncKeyState(key) < 0;
}

TEST(KeyStroke, TypesChordsAndExtendedKeysInOrder) {
  FrontFixture fixture(L"Zorvat Input Keys");
  ASSERT_TRUE(fixture.BringToFront());
  TestScript script(
      "KeyStroke 0x10 0x41 .  ; Shift+A\n"
      "KeyStroke 0x142 .      ; only the low byte counts: B\n"
      "KeyStroke 0x43 .\n"
      "KeyStroke 0x25 .       ; Left\n"
      "KeyStroke 0x2E .       ; Delete: the C goes\n"
      "KeyStroke 0x11 0x44 .  ; Ctrl+D\n"
      "KeyStroke 0x0D .\n");
  EXPECT_EQ(script.Run(), kRanToEnd);
  const std::vector<std::string> expected = {
      "keydown vk=0x10 ext=0", "keydown vk=0x41 ext=0", "keyup vk=0x41 ext=0",
      "keyup vk=0x10 ext=0",   "keydown vk=0x42 ext=0", "keyup vk=0x42 ext=0",
      "keydown vk=0x43 ext=0", "keyup vk=0x43 ext=0",   "keydown vk=0x25 ext=1",
      "keyup vk=0x25 ext=1",   "keydown vk=0x2E ext=1", "keyup vk=0x2E ext=1",
      "keydown vk=0x11 ext=0", "keydown vk=0x44 ext=0", "keyup vk=0x44 ext=0",
      "keyup vk=0x11 ext=0",   "keydown vk=0x0D ext=0", "keyup vk=0x0D ext=0",
  };
  EXPECT_EQ(fixture.Lines({"keydown", "keyup"}, expected.size()), expected);
  EXPECT_EQ(fixture.EditText(), L"Ab");
}

// Injected input reaches the key state as the system handles it, not at
// once, so the script asks again (for up to 2 s) until the state changes.
// Should a late focus change under Wine drop the held keys before they are
// seen, the script presses them again every half second.
TEST(KeyStroke, HeldKeysAreSeenUntilReleased) {
  FrontFixture fixture(L"Zorvat Input Held");
  ASSERT_TRUE(fixture.BringToFront());
  TestScript script(
      "GlobalsAlloc 6 .\n"
      "KeyDown 0x10 0x51 .\n"
      "SetDWORD 5 100\n"
      "^down\n"
      "KeysArePressed 0 0x10 0x51 .\n"
      "Switch 0 0 ^not_yet_down .\n"
      "KeyUp 0x10 0x51 .\n"
      "^up\n"
      "KeysArePressed 1 0x10 .\n"
      "Switch 1 1 ^not_yet_up .\n"
      "KeysArePressed 2 .           ; an empty list holds\n"
      "KeysArePressed 3 0x51 2.5 .  ; the first key up decides, the rest is not read\n"
      "KeysArePressed 4 2.5 .\n"
      "^not_yet_down\n"
      "Wait 20\n"
      "VarSub 5 .\n"
      "Switch 5 0 ^never 75 ^press_again 50 ^press_again 25 ^press_again ^down .\n"
      "^press_again\n"
      "KeyDown 0x10 0x51 .\n"
      "Goto ^down\n"
      "^not_yet_up\n"
      "Wait 20\n"
      "VarSub 5 .\n"
      "Switch 5 0 ^never ^up .\n"
      "^never\n");
  EXPECT_EQ(script.Run(), kStatusBadRadixOrKey);
  EXPECT_EQ(script.DWord(0), 1u);
  EXPECT_EQ(script.DWord(1), 0u);
  EXPECT_EQ(script.DWord(2), 1u);
  EXPECT_EQ(script.DWord(3), 0u);
  EXPECT_EQ(script.Kind(4), vtUninitialized);
  const std::vector<std::string> expected = {"keydown vk=0x10 ext=0", "keydown vk=0x51 ext=0",
                                             "keyup vk=0x51 ext=0", "keyup vk=0x10 ext=0"};
  EXPECT_EQ(fixture.Lines({"keydown", "keyup"}, expected.size(), true), expected);
}

// A key list that cannot be read in full sends nothing, so no key is left
// held down system-wide; 256 keys are the most one command takes.
TEST(KeyStroke, BadOrOverlongKeyListsSendNothing) {
  TestScript bad("KeyDown 0x10 2.5 .\n");
  EXPECT_EQ(bad.Run(), kStatusBadVarKindForNumber);
  EXPECT_FALSE(KeyIsDown(VK_SHIFT));

  std::string keys;
  for (int i = 0; i < 256; ++i) keys += " 0x87";  // F24
  TestScript most("KeyStroke" + keys + " .\n");
  EXPECT_EQ(most.Run(), kRanToEnd);
  EXPECT_FALSE(KeyIsDown(VK_F24));
  TestScript tooMany("KeyDown 0x10" + keys + " .\n");
  EXPECT_EQ(tooMany.Run(), kStatusBadRadixOrKey);
  EXPECT_FALSE(KeyIsDown(VK_SHIFT));
}

TEST(MouseClick, ClicksTheButtonUnderTheCursor) {
  FrontFixture fixture(L"Zorvat Input Mouse");
  ASSERT_TRUE(fixture.BringToFront());
  const POINT ok = CentreOf(fixture.Control(kIdOk));
  // The button state follows the injected input as the system handles it,
  // so the script asks again (for up to 2 s) until it changes.
  TestScript script(
      FillScript("GlobalsAlloc 5 .\n"
                 "CursorSetPos {x} {y}\n"
                 "MouseClick 1 .\n"
                 "MouseDown 1 .\n"
                 "SetDWORD 4 100\n"
                 "^down\n"
                 "MouseButtonsPressed 0 1 2\n"
                 "Switch 0 0 ^not_yet_down .\n"
                 "MouseUp 1 .\n"
                 "^up\n"
                 "MouseButtonsPressed 3 .\n"
                 "Switch 3 1 ^not_yet_up .\n"
                 "Goto ^done\n"
                 "^not_yet_down\n"
                 "Wait 20\n"
                 "VarSub 4 .\n"
                 "Switch 4 0 ^done ^down .\n"
                 "^not_yet_up\n"
                 "Wait 20\n"
                 "VarSub 4 .\n"
                 "Switch 4 0 ^done ^up .\n"
                 "^done\n"
                 "Wait 0\n",
                 {{"x", Decimal(uint32_t(ok.x))}, {"y", Decimal(uint32_t(ok.y))}}));
  EXPECT_EQ(script.Run(), kRanToEnd);
  EXPECT_EQ(script.DWord(0), 1u);
  EXPECT_EQ(script.DWord(1), 0u);
  EXPECT_EQ(script.DWord(2), 0u);
  EXPECT_EQ(script.DWord(3), 0u);
  EXPECT_EQ(fixture.Lines({"click"}, 2), std::vector<std::string>(2, "click id=1 text=OK"));
}

// The buttons go down in the order left, middle, right, are held for the
// hold time, and come up in the same order.
TEST(MouseClick, PressesAndReleasesButtonsInOrderAfterTheHoldTime) {
  FrontFixture fixture(L"Zorvat Input Buttons");
  ASSERT_TRUE(fixture.BringToFront());
  POINT free = {60, kFixtureFreeTop + 40};
  ClientToScreen(fixture.Window(), &free);
  TestScript script(
      FillScript("CursorSetPos {x} {y}\nMouseClick 0 1 1 300\n",
                 {{"x", Decimal(uint32_t(free.x))}, {"y", Decimal(uint32_t(free.y))}}));
  EXPECT_EQ(script.Run(), kRanToEnd);
  EXPECT_GE(script.Milliseconds(), 290u);
  const std::string at = " x=60 y=" + std::to_string(kFixtureFreeTop + 40);
  const std::vector<std::string> expected = {
      "mousedown button=middle" + at, "mousedown button=right" + at, "mouseup button=middle" + at,
      "mouseup button=right" + at};
  EXPECT_EQ(fixture.Lines({"mousedown", "mouseup"}, expected.size()), expected);
}

// With nothing to press the commands still wait, so a script's timing does
// not depend on what it presses.
TEST(KeyStroke, WaitsTheHoldTimeWithNothingToPress) {
  TestScript script(
      "SettingSet 4 150  ; KeyPressTime\n"
      "KeyStroke .\n"
      "MouseClick .\n");
  EXPECT_EQ(script.Run(), kRanToEnd);
  EXPECT_GE(script.Milliseconds(), 290u);
}

TEST(Cursor, MovesWhereToldAndKeepsAnOmittedCoordinate) {
  TestScript script(
      "GlobalsAlloc 8 .\n"
      "CursorSetPos 300 400\n"
      "CursorGetPos 0 1\n"
      "CursorSetPos 500 .\n"
      "CursorGetPos 2 3\n"
      "CursorSetPos $ 250\n"
      "CursorGetPos $ 4\n"
      "CursorGetPos 5 99  ; no variable 99: nothing is stored\n");
  EXPECT_EQ(script.Run(), kStatusNoSuchVariable);
  EXPECT_EQ(script.DWord(0), 300u);
  EXPECT_EQ(script.DWord(1), 400u);
  EXPECT_EQ(script.DWord(2), 500u);
  EXPECT_EQ(script.DWord(3), 400u);
  EXPECT_EQ(script.DWord(4), 250u);
  EXPECT_EQ(script.Kind(5), vtUninitialized);
  POINT point = {};
  GetCursorPos(&point);
  EXPECT_EQ(point.x, 500);
  EXPECT_EQ(point.y, 250);

  TestScript bad("CursorSetPos 1.5 .\n");
  EXPECT_EQ(bad.Run(), kStatusBadParam);
}

}  // namespace
