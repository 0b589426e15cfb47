#include "base/case_tables.h"

#include <gtest/gtest.h>

namespace {

TEST(CaseTables, MapLettersAndLeaveOthersAlone) {
  EXPECT_EQ(UpCase(u'a'), u'A');
  EXPECT_EQ(UpCase(u'Z'), u'Z');
  EXPECT_EQ(UpCase(u'1'), u'1');
  EXPECT_EQ(UpCase(0x00E9), 0x00C9);  // é
  EXPECT_EQ(UpCase(0x0431), 0x0411);  // Cyrillic б
  EXPECT_EQ(UpCase(0xD800), 0xD800);  // a surrogate has no case
  EXPECT_EQ(UpCase(0xFFFF), 0xFFFF);
  EXPECT_EQ(LowerCaseTable()[u'Q'], u'q');
  EXPECT_EQ(LowerCaseTable()[0x0411], 0x0431);
}

TEST(CaseTables, AnsiTablesFollowTheCodePage) {
  EXPECT_EQ(AnsiUpCase('a'), 'A');
  EXPECT_EQ(AnsiUpCase('!'), '!');
  EXPECT_EQ(AnsiUpCase(0xE9), 0xC9);  // é in Windows-1252
  EXPECT_EQ(AnsiLowerCaseTable()[uint8_t('B')], 'b');
}

}  // namespace
