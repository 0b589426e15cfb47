#include <gtest/gtest.h>

#include "runtime/commands/commands.h"
#include "tests/support/text_test_support.h"

namespace {

TEST(BlockListBuild, RepeatCountsApplyToTheNextBlock) {
  TextScript s(5);
  s.W().Cmd(kBlockListBuild).Byte(0).Byte(3).Block("x").Block("y").End();
  s.W().Cmd(kSetBlock).Byte(1).Block("v").Cmd(kSetDWORD).Byte(2).Byte(2);
  s.W().Cmd(kBlockListBuild).Byte(3).Var(2).Var(1).Byte(0).Block("none").Int(1).Block("").End();
  s.W().Cmd(kBlockListBuild).Byte(4).Byte(5).End();  // a count with nothing after it
  ASSERT_EQ(s.Run(), kStatusOk);
  EXPECT_EQ(s.BlockListOf(0), (BlockItems{"x", "x", "x", "y"}));
  EXPECT_EQ(s.BlockListOf(3), (BlockItems{"v", "v", ""}));
  EXPECT_EQ(s.BlockListOf(4), BlockItems{});
}

TEST(BlockListBuild, OtherKindsFailAndIPEndsPastTheList) {
  struct Case {
    void (*Write)(TextCode&);
    TStatus Expected;
  };
  const Case cases[] = {
      {[](TextCode& w) { w.Cmd(kBlockListBuild).Byte(0).Block("a").Text(u"b").End(); },
       kStatusWrongKind},
      {[](TextCode& w) { w.Cmd(kBlockListBuild).Byte(0).Default().End(); }, kStatusWrongKind},
      {[](TextCode& w) { w.Cmd(kBlockListBuild).Byte(0).Ext(2).Block("a").End(); },
       kStatusWrongKind},
      {[](TextCode& w) { w.Cmd(kBlockListBuild).Byte(0).Var(0).End(); }, kStatusWrongKind},
      {[](TextCode& w) { w.Cmd(kBlockListBuild).Byte(0).Var(9).End(); }, kStatusNoSuchVariable},
      {[](TextCode& w) { w.Cmd(kBlockListBuild).Byte(9).Block("a").End(); }, kStatusNoSuchVariable},
      {[](TextCode& w) { w.Cmd(kBlockListBuild).Byte(0).Int(-1).Block("a").End(); },
       kStatusOutOfMemory},  // 4294967295 copies cannot be listed
  };
  for (const Case& c : cases) {
    TextScript s;
    TextCode w = s.W();
    c.Write(w);
    bool ended;
    EXPECT_EQ(s.CallAlone(CmdBlockListBuild, 2, &ended), c.Expected);
    EXPECT_TRUE(ended);
  }
}

TEST(ListSet, ReplacesOneItemAndChecksKindAndIndex) {
  TextScript s(4);
  s.W().Cmd(kBlockListBuild).Byte(0).Byte(2).Block("a").End();
  s.W().Cmd(kBlockListSet).Byte(0).Byte(1).Block("b");
  s.W().Cmd(kBlockListSet).Byte(0).Byte(0).End();  // the empty block
  s.W().Cmd(kTextListBuild).Byte(1).Text(u"x").Text(u"y").End();
  s.W().Cmd(kTextSet).Byte(2).Text(u"z").Cmd(kTextListSet).Byte(1).Byte(0).Var(2);
  s.W().Cmd(kTextSet).Byte(2).Text(u"changed");  // the item is a copy
  s.W().Cmd(kTextListSet).Byte(1).Byte(1).Block("\xE9");
  ASSERT_EQ(s.Run(), kStatusOk);
  EXPECT_EQ(s.BlockListOf(0), (BlockItems{"", "b"}));
  EXPECT_EQ(s.TextListOf(1), (TextItems{u"z", u"\u00E9"}));

  auto run = [](void (*write)(TextCode&)) {
    TextScript t(2);
    t.W().Cmd(kTextListBuild).Byte(0).Text(u"only").End();
    TextCode w = t.W();
    write(w);
    const TStatus status = t.Run();
    EXPECT_EQ(t.TextListOf(0), TextItems{u"only"});
    return status;
  };
  EXPECT_EQ(run([](TextCode& w) { w.Cmd(kTextListSet).Byte(0).Byte(1).Text(u"x"); }),
            kStatusIndexOutOfRange);
  EXPECT_EQ(run([](TextCode& w) { w.Cmd(kBlockListSet).Byte(0).Byte(0).Block("x"); }),
            kStatusWrongKind);
  EXPECT_EQ(run([](TextCode& w) { w.Cmd(kTextListSet).Byte(5).Byte(0).Text(u"x"); }),
            kStatusNoSuchVariable);
  EXPECT_EQ(run([](TextCode& w) { w.Cmd(kTextListSet).Byte(0).End(); }), kStatusBadParam);
  EXPECT_EQ(run([](TextCode& w) { w.Cmd(kTextListSet).Byte(0).Byte(0).Byte(1); }), kStatusBadParam);
}

TEST(BlockSplit, ChoosesTheSplitByWhatIsGiven) {
  TextScript s(7);
  s.W().Cmd(kSetBlock).Byte(0).Block("a,\"b,c\",,d");
  s.W().Cmd(kBlockSplit).Byte(0).Byte(1).Block(",").End();  // no empty pieces unless asked
  s.W().Cmd(kBlockSplit).Byte(0).Byte(2).Block(",").Default().Byte(1);
  s.W().Cmd(kBlockSplit).Byte(0).Byte(3).Block(",").Block("\"").Byte(1);  // keep-empty ignored
  s.W().Cmd(kBlockSplit).Byte(0).Byte(4).Default().Block("\"").End();
  s.W().Cmd(kSetDWORD).Byte(5).Byte(7);
  s.W().Cmd(kBlockSplit).Byte(0).Byte(5).End();                        // neither: nothing happens
  s.W().Cmd(kBlockSplit).Byte(0).Byte(0).Default().Block("\"").End();  // into the source
  ASSERT_EQ(s.Run(), kStatusOk);
  EXPECT_EQ(s.BlockListOf(1), (BlockItems{"a", "\"b", "c\"", "d"}));
  EXPECT_EQ(s.BlockListOf(2), (BlockItems{"a", "\"b", "c\"", "", "d"}));
  EXPECT_EQ(s.BlockListOf(3), (BlockItems{"a", "\"b,c\"", "d"}));
  EXPECT_EQ(s.BlockListOf(4), BlockItems{"b,c"});
  EXPECT_EQ(s.DWord(5), 7u);
  EXPECT_EQ(s.BlockListOf(0), BlockItems{"b,c"});

  TextScript t(2);
  t.W().Cmd(kTextSet).Byte(0).Text(u"a,b").Cmd(kBlockSplit).Byte(0).Byte(1).Block(",").End();
  EXPECT_EQ(t.Run(), kStatusWrongKind);
  TextScript u(2);
  u.W().Cmd(kBlockSplit).Byte(3).Byte(1).Block(",").End();
  EXPECT_EQ(u.Run(), kStatusNoSuchVariable);
}

}  // namespace
