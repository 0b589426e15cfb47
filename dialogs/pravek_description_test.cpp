#include "dialogs/pravek_description.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

namespace {

std::string Narrow(const std::u16string& text) {
  std::string out;
  for (char16_t c : text) {
    if (c < 0x80) {
      out += char(c);
    } else {
      out += "\\u" + std::to_string(unsigned(c));
    }
  }
  return out;
}

TPravekItemList Parse(const char16_t* description) {
  TPravekItemList items;
  std::u16string error;
  EXPECT_TRUE(ParsePravekDescription(description, &items, &error)) << Narrow(error);
  return items;
}

std::u16string ErrorOf(const char16_t* description) {
  TPravekItemList items;
  std::u16string error;
  EXPECT_FALSE(ParsePravekDescription(description, &items, &error));
  EXPECT_TRUE(items.empty());
  return error;
}

TEST(PravekDescription, AFormWithAButton) {
  TPravekItemList items =
      Parse(u"FORM T=\"Ask\" W=200 H=100 #=5 BUTTON T=\"Go\" X=10 Y=10 #=6 @=7");
  ASSERT_EQ(items.size(), 2u);
  EXPECT_EQ(items[0].TypeID, prvkMain);
  EXPECT_EQ(items[0].T, u"Ask");
  EXPECT_EQ(items[0].W, 200);
  EXPECT_EQ(items[0].H, 100);
  EXPECT_EQ(items[0].X, kPravekCenter);
  EXPECT_EQ(items[0].Y, kPravekCenter);
  EXPECT_EQ(items[0].SLOT, 5);
  EXPECT_EQ(items[0].HandleSLOT, kPravekNotSet);
  EXPECT_EQ(items[0].S, 0x04C82004);
  EXPECT_EQ(items[1].TypeID, prvkButton);
  EXPECT_EQ(items[1].T, u"Go");
  EXPECT_EQ(items[1].X, 10);
  EXPECT_EQ(items[1].W, kPravekAuto);
  EXPECT_EQ(items[1].P, 0);
  EXPECT_EQ(items[1].SLOT, 6);
  EXPECT_EQ(items[1].HandleSLOT, 7);
  EXPECT_EQ(items[1].S, 0x40010000);
}

// Quoted stretches keep their blanks, a doubled quote stands for one, and
// keywords, letters and keyword values are read in any case; any character
// up to the blank separates words.
TEST(PravekDescription, QuotingCaseAndSeparators) {
  TPravekItemList items = Parse(
      u"form\tt=\"Say \"\"hi\"\" to me\"\r\nlabel t=\"\" x=center y=Bottom w=auto v=no e=False"
      u" checkbox c=indeterminate i=3 #=none listbox t=\"a b\"");
  ASSERT_EQ(items.size(), 4u);
  EXPECT_EQ(items[0].T, u"Say \"hi\" to me");
  EXPECT_EQ(items[1].T, u"");
  EXPECT_EQ(items[1].X, kPravekCenter);
  EXPECT_EQ(items[1].Y, kPravekBottom);
  EXPECT_FALSE(items[1].V);
  EXPECT_FALSE(items[1].E);
  EXPECT_EQ(items[2].C, 2);
  EXPECT_EQ(items[2].I, 3);
  EXPECT_EQ(items[2].SLOT, kPravekNotSet);
  EXPECT_EQ(items[3].T, u"a b");
}

TEST(PravekDescription, DefaultsOfEachKind) {
  TPravekItemList items =
      Parse(u"FORM EDIT MEMO CHECKBOX RADIOBUTTON LABEL LISTBOX FONT I=4 GROUPBOX");
  ASSERT_EQ(items.size(), 9u);
  EXPECT_EQ(items[0].T, u"Main form");
  EXPECT_EQ(items[0].I, 0);
  EXPECT_EQ(items[1].T, u"Edit");
  EXPECT_EQ(items[1].S, 0x40000080);
  EXPECT_EQ(items[1].Z, 0x200);
  EXPECT_FALSE(items[1].R);
  EXPECT_EQ(items[2].S, 0x400000C4);
  EXPECT_EQ(items[2].Z, 0x200);
  EXPECT_EQ(items[3].T, u"CheckBox");
  EXPECT_EQ(items[3].S, 0x40000003);
  EXPECT_EQ(items[4].T, u"RadioButton");
  EXPECT_EQ(items[4].S, 0x40000009);
  EXPECT_EQ(items[5].T, u"Label");
  EXPECT_EQ(items[5].S, 0x40000100);
  EXPECT_EQ(items[5].Z, 0);
  EXPECT_EQ(items[6].T, u"");
  EXPECT_EQ(items[6].S, 0x40000001);
  EXPECT_EQ(items[7].T, u"MS Sans Serif");
  EXPECT_EQ(items[7].H, kPravekAuto);
  EXPECT_EQ(items[8].T, u"GroupBox");
  EXPECT_EQ(items[8].S, 0x40000007);
  for (size_t k = 1; k < items.size(); ++k) {
    EXPECT_TRUE(items[k].V && items[k].E) << k;
    EXPECT_EQ(items[k].F, kPravekNotSet) << k;
  }
}

// A style list replaces the default unless DEFAULT is one of its names.
TEST(PravekDescription, StyleListsAndReferences) {
  TPravekItemList items = Parse(
      u"FORM S=MINIMIZEBOX Z=TOPMOST,TOOLWINDOW FONT I=1 H=12 S=BOLD,ITALIC"
      u" LABEL F=1 P=0 S=DEFAULT,BORDER Z=STATICEDGE EDIT S=PASSWORD,NUMBER R=Y"
      u" FORM S=DEFAULT,MINIMIZEBOX");
  ASSERT_EQ(items.size(), 5u);
  EXPECT_EQ(items[0].S, 0x20000);
  EXPECT_EQ(items[0].Z, 0x88);
  EXPECT_EQ(items[1].H, 12);
  EXPECT_EQ(items[1].S, 0x19);
  EXPECT_EQ(items[2].F, 1);
  EXPECT_EQ(items[2].P, 0);
  EXPECT_EQ(items[2].S, 0x40810000);
  EXPECT_EQ(items[2].Z, 0x20000);
  EXPECT_EQ(items[3].S, 0x2020);
  EXPECT_TRUE(items[3].R);
  EXPECT_EQ(items[4].S, 0x04C82004 | 0x20000);
}

TEST(PravekDescription, EachErrorHasItsMessage) {
  const std::pair<const char16_t*, std::u16string> cases[] = {
      {u"BUTTON T=\"x\"", u"Команда FORM должна быть первой в сценарии"},
      {u"T=\"x\" FORM", u"Управляющих элементов нет. Параметр неприменим."},
      {u"FORM C=CHECKED", u"Параметр не является допустимым для FORM"},
      {u"FORM FONT X=1", u"Параметр не является допустимым для FONT"},
      {u"FORM BUTTON I=2", u"Параметр не является допустимым для BUTTON"},
      {u"FORM WINDOW", u"Неверный параметр: WINDOW"},
      {u"FORM X=", u"Неверный параметр: X="},
      {u"FORM X=MIDDLE", u"Invalid parameter X: «MIDDLE»"},
      {u"FORM Y=LEFT", u"Invalid parameter Y: «LEFT»"},
      {u"FORM W=12px", u"Invalid parameter W: «12px»"},
      {u"FORM H=4294967296", u"Invalid parameter H: «4294967296»"},
      {u"FORM V=maybe", u"Invalid parameter V: «maybe»"},
      {u"FORM CHECKBOX C=ON", u"Invalid parameter C: «ON»"},
      {u"FORM T=Ask", u"Invalid parameter T: «Ask»"},
      {u"FORM T=\"a\"b\"", u"Invalid parameter T: «\"a\"b\"»"},
      {u"FORM S=DEFAULT,,SIZEBOX", u"Invalid parameter S: «DEFAULT,,SIZEBOX»"},
      {u"FORM BUTTON S=PASSWORD", u"Invalid parameter S: «PASSWORD»"},
      {u"FORM Z=CLIENTEDGE", u"Invalid parameter Z: «CLIENTEDGE»"},
      {u"FORM CHECKBOX I=0", u"Invalid parameter I: Нарушена уникальность идентификатора 0"},
      {u"FORM FONT I=7 CHECKBOX I=7",
       u"Invalid parameter I: Нарушена уникальность идентификатора 7"},
      {u"FORM BUTTON P=3", u"Родительский элемент с ID=3 не найден"},
      {u"FORM CHECKBOX I=5 BUTTON P=5", u"Родительский элемент с ID=5 не найден"},
      {u"FORM BUTTON F=2", u"Шрифт с ID=2 не найден"},
      {u"FORM BUTTON F=x", u"Invalid parameter F: «x»"},
      {u"FORM #=-1", u"Invalid parameter #(слот): «-1»"},
      {u"FORM @=slot", u"Invalid parameter @(слот для хэндла): «slot»"},
  };
  for (const auto& [description, message] : cases) {
    EXPECT_EQ(Narrow(ErrorOf(description)), Narrow(message)) << Narrow(description);
  }
}

}  // namespace
