#include <gtest/gtest.h>

#include <set>
#include <string>

#include "runtime/commands/commands.h"
#include "runtime/commands/special_folders.h"
#include "tests/support/text_test_support.h"

namespace {

struct TSplitCase {
  std::u16string Path, Name, Folder, Base, Extension;
};

TEST(PathSplit, SplitsAtTheLastSeparatorAndTheNamesLastDot) {
  const TSplitCase cases[] = {
      {u"C:\\a.b\\c.tar.gz", u"c.tar.gz", u"C:\\a.b\\", u"c.tar", u"gz"},
      {u"x/y\\z", u"z", u"x/y\\", u"z", u""},
      {u"dir\\.hidden", u".hidden", u"dir\\", u".hidden", u""},
      {u"name.", u"name.", u"", u"name", u""},
      {u"dir.x\\", u"", u"dir.x\\", u"", u""},
      {u"", u"", u"", u"", u""},
  };
  for (const TSplitCase& c : cases) {
    TextScript s(5);
    s.W().Cmd(kTextSet).Byte(0).Text(c.Path);
    s.W().Cmd(kPathSplit).Byte(0).Byte(1).Byte(2).Byte(3).Byte(4);
    ASSERT_EQ(s.Run(), kStatusOk);
    EXPECT_EQ(s.TextOf(1), c.Name);
    EXPECT_EQ(s.TextOf(2), c.Folder);
    EXPECT_EQ(s.TextOf(3), c.Base);
    EXPECT_EQ(s.TextOf(4), c.Extension);
  }
}

TEST(PathSplit, EveryPartComesFromThePathEvenWhenItIsReplaced) {
  TextScript s(3);
  s.W().Cmd(kTextSet).Byte(0).Text(u"C:\\dir\\file.txt");
  s.W().Cmd(kPathSplit).Byte(0).Byte(0).Byte(1).Byte(0).Byte(2);
  ASSERT_EQ(s.Run(), kStatusOk);
  EXPECT_EQ(s.TextOf(0), u"file");  // the name, then the base, went into the path variable
  EXPECT_EQ(s.TextOf(1), u"C:\\dir\\");
  EXPECT_EQ(s.TextOf(2), u"txt");
}

TEST(PathSplit, NeedsATextVariable) {
  TextScript s(2);
  s.W().Cmd(kSetDWORD).Byte(0).Byte(7);
  s.W().Cmd(kPathSplit).Byte(0).Byte(1).End();
  EXPECT_EQ(s.Run(), kStatusWrongKind);
  EXPECT_EQ(s[1].VarType, vtUninitialized);
  TextScript t(1);
  t.W().Cmd(kPathSplit).Byte(9).Byte(0).End();
  EXPECT_EQ(t.Run(), kStatusNoSuchVariable);
}

TEST(PathBuild, JoinsFolderNameAndExtension) {
  TextScript s(5);
  s.W().Cmd(kPathBuild).Byte(0).Text(u"C:\\f").Text(u"n").Text(u"e");
  s.W().Cmd(kPathBuild).Byte(1).Text(u"C:\\f\\").Text(u"n").Text(u"");
  s.W().Cmd(kPathBuild).Byte(2).Default().Text(u"n").Text(u"e");
  s.W().Cmd(kPathBuild).Byte(3).Text(u"f/").Text(u"n.tar").Text(u"gz");
  const uint32_t failing = s.Here();
  s.W().Cmd(kPathBuild).Byte(4).Text(u"C:\\f").Default().Text(u"e");
  EXPECT_EQ(s.Run(), kStatusEmptyPathName);
  EXPECT_EQ(s.FailedAt(), failing);
  EXPECT_EQ(s.TextOf(0), u"C:\\f\\n.e");
  EXPECT_EQ(s.TextOf(1), u"C:\\f\\n");
  EXPECT_EQ(s.TextOf(2), u"n.e");
  EXPECT_EQ(s.TextOf(3), u"f/n.tar.gz");
  EXPECT_EQ(s[4].VarType, vtUninitialized);
}

TEST(SpecialFolders, EveryNameIsFoundIgnoringCaseAndOnlyWhole) {
  std::set<std::u16string> names;
  for (uint32_t i = 0; i < kSpecialFolderCount; ++i) {
    std::u16string lower(kSpecialFolders[i].Name);
    for (char16_t& c : lower) c = c >= u'A' && c <= u'Z' ? char16_t(c + 32) : c;
    names.insert(lower);
    EXPECT_EQ(FindSpecialFolder(lower.data(), uint32_t(lower.size())), int32_t(i)) << i;
  }
  EXPECT_EQ(names.size(), kSpecialFolderCount);
  EXPECT_EQ(FindSpecialFolder(u"MY DOC", 6), -1);
  EXPECT_EQ(FindSpecialFolder(u"MY DOCUMENTS ", 13), -1);
}

TEST(SpecialFolderGetName, NamesAnIndexAndGivesAnEmptyBlockPastTheTable) {
  TextScript s(3);
  s.W().Cmd(kSpecialFolderGetName).Byte(39).Byte(0);
  s.W().Cmd(kSpecialFolderGetName).Default().Byte(1);
  s.W().Cmd(kSpecialFolderGetName).DWord(64).Byte(2);
  ASSERT_EQ(s.Run(), kStatusOk);
  EXPECT_EQ(s.TextOf(0), u"MY DOCUMENTS");
  EXPECT_EQ(s.TextOf(1), u"WINDOWS");
  EXPECT_EQ(s.BlockOf(2), "");
  TextScript t(1);
  t.W().Cmd(kSpecialFolderGetName).End();  // the list ends before the index
  EXPECT_EQ(t.Run(), kStatusBadVarKindForNumber);
}

}  // namespace
