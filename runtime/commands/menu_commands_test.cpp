// The menu commands on the fixture window shown in this process: under Wine
// a process can read only its own menus. The menu bar is
// "File" { "Open", "Recent" { "First", "Second" }, separator, "Exit" },
// "Edit" { "Copy", "Paste" }.
#include <gtest/gtest.h>

#include <cstdio>

#include "base/status.h"
#include "runtime/commands/window_refs_win32.h"
#include "tests/fixtures/fixture_ids.h"
#include "tests/support/fixture_thread.h"
#include "tests/support/window_test_scripts.h"

namespace {

class MenuCommands : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(UseShippedCommandList());
    ASSERT_NE(fixture_.Window(), nullptr);
    bar_ = GetMenu(fixture_.Window());
    file_ = GetSubMenu(bar_, 0);
    recent_ = GetSubMenu(file_, 1);
  }

  // Variable 0 holds the window, variable 1 its menu; the body follows.
  std::string Script(const std::string& body) {
    return FillScript("GlobalsAlloc 12 .\nSetDWORD 0 {W}\nWindowGetMenu 0 1\n" + body,
                      {{"W", HandleText(fixture_.Window())}});
  }

  TempFile log_{L"zv-menu"};
  FixtureThread fixture_{log_.Path()};
  HMENU bar_ = nullptr, file_ = nullptr, recent_ = nullptr;
};

TEST_F(MenuCommands, PathsWalkByCaptionAndByPosition) {
  ScriptRun run(
      Script("MenuGetItemCount 1 2 .\n"  // no path: the bar itself
             "MenuGetItemCount 1 3 \"File\" .\n"
             "MenuGetItemCount 1 4 0 \"Recent\" .\n"
             "MenuItemGetText 1 5 \"File\" 1 1 .\n"
             "MenuItemGetText 1 6 1 \"Paste\" .\n"
             "MenuGetSubmenu 1 7 \"File\" \"Recent\" .\n"
             "MenuItemGetText 1 8 0 2 .\n"            // the separator has no caption
             "MenuItemGetText 1 9 'Edit' 'Copy' .\n"  // 8-bit captions are converted
             "SetInt 10 1\n"
             "MenuItemGetText 1 11 \"Edit\" @10 .\n"));  // a position held in a variable
  EXPECT_EQ(run.Status(), kRanToEnd);
  EXPECT_EQ(run.DWord(1), HandleValue(bar_));
  EXPECT_EQ(run.DWord(2), 2u);
  EXPECT_EQ(run.DWord(3), 4u);
  EXPECT_EQ(run.DWord(4), 2u);
  EXPECT_EQ(run.Text(5), u"Second");
  EXPECT_EQ(run.Text(6), u"Paste");
  EXPECT_EQ(run.DWord(7), HandleValue(recent_));
  EXPECT_EQ(run.Text(8), u"");
  EXPECT_EQ(run.Text(9), u"Copy");
  EXPECT_EQ(run.Text(11), u"Paste");
}

TEST_F(MenuCommands, ClickSendsTheItemsCommandWithTheMenuThatHoldsIt) {
  ScriptRun run(
      Script("MenuItemClick 1 0 \"File\" \"Recent\" \"Second\" .\n"
             "WindowFind 2 \"ZorvatFixture\" 1 $ 0 .\n"
             "MenuItemClick 1 2 1 0 .\n"
             "Exit 0\n"));
  EXPECT_EQ(run.Status(), 0u);
  char expected[64];
  std::snprintf(expected, sizeof expected, "menu id=%d lparam=0x%08X caption=Second", kIdMenuSecond,
                HandleValue(recent_));
  EXPECT_EQ(WaitForLine(log_.Path(), "menu id=203", 5000).value_or(""), expected);
  EXPECT_TRUE(WaitForLine(log_.Path(), "menu id=211", 5000).has_value());
}

TEST_F(MenuCommands, EnableGreysAnItemAndEnablesItAgain) {
  ScriptRun greyed(Script("MenuItemEnable 1 1 \"File\" \"Open\" .\nExit 0\n"));
  EXPECT_EQ(greyed.Status(), 0u);
  EXPECT_TRUE(GetMenuState(file_, 0, MF_BYPOSITION) & MF_GRAYED);
  ScriptRun enabled(Script("MenuItemEnable 1 0 \"File\" 0 .\nExit 0\n"));
  EXPECT_EQ(enabled.Status(), 0u);
  EXPECT_FALSE(GetMenuState(file_, 0, MF_BYPOSITION) & (MF_GRAYED | MF_DISABLED));
}

// A rename changes the caption only: the item keeps its identifier, its
// greyed state and, for "Recent", its submenu.
TEST_F(MenuCommands, SetTextRenamesAndKeepsIdentifierStateAndSubmenu) {
  ScriptRun run(
      Script("MenuItemEnable 1 1 \"File\" \"Open\" .\n"
             "MenuItemSetText 1 \"Open file\" \"File\" \"Open\" .\n"
             "MenuItemSetText 1 \"Latest\" \"File\" \"Recent\" .\n"
             "MenuItemGetText 1 2 \"File\" \"Latest\" \"First\" .\n"
             "MenuItemGetText 1 3 \"File\" 0 .\n"));
  EXPECT_EQ(run.Status(), kRanToEnd);
  EXPECT_EQ(run.Text(2), u"First");
  EXPECT_EQ(run.Text(3), u"Open file");
  EXPECT_EQ(GetMenuItemID(file_, 0), UINT(kIdMenuOpen));
  EXPECT_TRUE(GetMenuState(file_, 0, MF_BYPOSITION) & MF_GRAYED);
  EXPECT_EQ(GetSubMenu(file_, 1), recent_);
}

TEST_F(MenuCommands, RemoveKeepsTheSubmenuAndDeleteDestroysTheItem) {
  ScriptRun run(
      Script("MenuGetSubmenu 1 2 \"File\" \"Recent\" .\n"
             "MenuItemRemove 1 \"File\" \"Recent\" .\n"
             "MenuGetItemCount 1 3 \"File\" .\n"
             "MenuItemDelete 1 \"Edit\" \"Copy\" .\n"
             "MenuGetItemCount 1 4 \"Edit\" .\n"
             "MenuGetItemCount 2 5 .\n"));
  EXPECT_EQ(run.Status(), kRanToEnd);
  EXPECT_EQ(run.DWord(3), 3u);
  EXPECT_EQ(run.DWord(4), 1u);
  EXPECT_EQ(run.DWord(5), 2u);  // the removed submenu lives on, detached
  EXPECT_TRUE(DestroyMenu(recent_));
}

TEST_F(MenuCommands, PathErrors) {
  struct TCase {
    const char* Body;
    TStatus Expected;
  } cases[] = {
      {"MenuItemGetText 1 2 \"File\" \"Nope\" .\n", kStatusMenuItemNotFound},
      {"MenuItemGetText 1 2 \"file\" .\n", kStatusMenuItemNotFound},  // captions are exact
      {"MenuItemGetText 1 2 5 .\n", kStatusMenuItemNotFound},
      {"MenuItemGetText 1 2 \"File\" \"Open\" 0 .\n", kStatusMenuItemNotFound},  // no submenu
      {"MenuGetSubmenu 1 2 \"File\" \"Open\" .\n", kStatusMenuItemNotFound},
      {"MenuItemRemove 1 .\n", kStatusMenuItemNotFound},  // no item named
      {"SetFloat 3 1.5\nMenuItemGetText 1 2 @3 .\n", kStatusWrongKind},
      {"DWORDArrayNew 3 1 0\nMenuItemGetText 1 2 @3 .\n", kStatusWrongKind},
      {"SetBlock 3 'x'\nMenuGetItemCount 3 2 .\n", kStatusBadVarKindForNumber},
      {"MenuGetItemCount 40 2 .\n", kStatusNoSuchVariable},
  };
  for (const TCase& c : cases) {
    ScriptRun run(Script(std::string(c.Body) + "Exit 0\n"));
    EXPECT_EQ(run.Status(), c.Expected) << c.Body;
  }
  EXPECT_EQ(GetMenuItemCount(bar_), 2);
}

// A text variable and a block variable are captions too; the block is read
// through the ANSI code page as a block constant is.
TEST_F(MenuCommands, CaptionsHeldInVariables) {
  ScriptRun run(
      Script("SetBlock 3 'Recent'\n"
             "MenuItemGetText 1 4 \"File\" @3 0 .\n"
             "MenuItemGetText 1 5 \"File\" 3 .\n"
             "MenuItemGetText 1 6 \"File\" @5 .\n"));
  EXPECT_EQ(run.Status(), kRanToEnd);
  EXPECT_EQ(run.Text(4), u"First");
  EXPECT_EQ(run.Text(6), u"Exit");
}

}  // namespace
