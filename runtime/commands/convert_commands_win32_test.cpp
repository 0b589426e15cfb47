#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "runtime/commands/commands.h"
#include "tests/support/text_test_support.h"

namespace {

TEST(ProcessGetImagePath, ReadsThePathBehindAProcessHandle) {
  wchar_t own[MAX_PATH + 1];
  const DWORD length = GetModuleFileNameW(nullptr, own, MAX_PATH);
  ASSERT_GT(length, 0u);
  const uint32_t currentProcess = uint32_t(uintptr_t(GetCurrentProcess()));
  TextScript s(5);
  s.W().Cmd(kSetDWORD).Byte(0).DWord(currentProcess).Cmd(kProcessGetImagePath).Byte(0).Byte(1);
  s.W().Cmd(kSetInt).Byte(2).Int(int64_t(0xFFFFFFFF)).Cmd(kProcessGetImagePath).Byte(2).End();
  s.W().Cmd(kTextSet).Byte(3).Text(u"not a handle");
  const uint32_t text = s.Here();
  s.W().Cmd(kProcessGetImagePath).Byte(3).Byte(4);
  EXPECT_EQ(s.Run(), kStatusBadVarKindForNumber);
  EXPECT_EQ(s.FailedAt(), text);
  const std::u16string expected(reinterpret_cast<const char16_t*>(own), length);
  EXPECT_EQ(s.TextOf(1), expected);
  EXPECT_EQ(s.TextOf(2), expected);  // in place, from an integer
  EXPECT_EQ(s[4].VarType, vtUninitialized);

  TextScript t(2);
  t.W().Cmd(kSetDWORD).Byte(0).DWord(0).Cmd(kProcessGetImagePath).Byte(0).Byte(1);
  EXPECT_EQ(t.Run(), kStatusImagePathFailed);
  EXPECT_NE(t.Context()->LastWindowsError, 0u);
  EXPECT_EQ(t[1].VarType, vtUninitialized);
}

}  // namespace
