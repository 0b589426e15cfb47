#include <windows.h>
// After windows.h, which it builds on.
#include <cderr.h>
#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "runtime/commands/commands.h"
#include "tests/support/box_watcher.h"
#include "tests/support/text_test_support.h"

namespace {

std::u16string U16(const std::wstring& s) {
  return std::u16string(s.begin(), s.end());
}

std::wstring TempFolder() {
  wchar_t path[MAX_PATH];
  GetTempPathW(MAX_PATH, path);
  std::wstring folder =
      std::wstring(path) + L"zv_text_util_" + std::to_wstring(GetCurrentProcessId());
  CreateDirectoryW(folder.c_str(), nullptr);
  return folder;
}

std::string ReadFileBytes(const std::wstring& path) {
  std::string bytes;
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return bytes;
  char buffer[256];
  DWORD got = 0;
  while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got != 0)
    bytes.append(buffer, got);
  CloseHandle(file);
  return bytes;
}

uint32_t ValueOf(HANDLE handle) {
  return uint32_t(reinterpret_cast<uintptr_t>(handle));
}

TEST(TextWriteToHandle, WritesTheUnitsWithoutTerminator) {
  const std::wstring path = TempFolder() + L"\\written.txt";
  HANDLE file =
      CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  TextScript s;
  s.W().Cmd(kTextWriteToHandle).Byte(0).Text(u"h\u00E9");
  s.W().Cmd(kTextWriteToHandle).Byte(1).Text(u"!");  // an integer variable works too
  s.W().Cmd(kTextWriteToHandle).Byte(0).Text(u"");   // nothing to write
  TScriptContext* c = s.LoadWithGlobals(2);
  Var_StoreDWORD(c, 0, ValueOf(file));
  Var_StoreInteger(c, 1, int64_t(ValueOf(file)));
  EXPECT_EQ(s.Run(), kStatusOk);
  EXPECT_EQ(c->LastWindowsError, 0u);
  CloseHandle(file);
  EXPECT_EQ(ReadFileBytes(path), std::string("h\0\xE9\0!\0", 6));
  DeleteFileW(path.c_str());
}

TEST(TextWriteToHandle, FailuresRecordTheSystemError) {
  const std::wstring path = TempFolder() + L"\\read_only.txt";
  HANDLE file =
      CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  TextScript s;
  s.W().Cmd(kTextWriteToHandle).Byte(0).Text(u"x");
  TScriptContext* c = s.LoadWithGlobals(1);
  Var_StoreDWORD(c, 0, ValueOf(file));
  EXPECT_EQ(s.Run(), kStatusWriteFailed);
  EXPECT_EQ(c->LastWindowsError, DWORD(ERROR_ACCESS_DENIED));
  CloseHandle(file);
  DeleteFileW(path.c_str());

  TextScript t(1);
  t.W().Cmd(kTextSet).Byte(0).Text(u"not a handle").Cmd(kTextWriteToHandle).Byte(0).Text(u"x");
  EXPECT_EQ(t.Run(), kStatusBadVarKindForNumber);
  TextScript u(1);
  u.W().Cmd(kTextWriteToHandle).Byte(4).Text(u"x");
  EXPECT_EQ(u.Run(), kStatusNoSuchVariable);
}

std::wstring ClipboardText() {
  std::wstring text;
  if (!OpenClipboard(nullptr)) return L"<not opened>";
  HANDLE data = GetClipboardData(CF_UNICODETEXT);
  if (data != nullptr) {
    const wchar_t* units = static_cast<const wchar_t*>(GlobalLock(data));
    if (units != nullptr) text = units;
    GlobalUnlock(data);
  } else {
    text = L"<none>";
  }
  CloseClipboard();
  return text;
}

TEST(Clipboard, SetsUnicodeTextAndEmpties) {
  TextScript s;
  s.W().Cmd(kClipboardSetUnicodeText).Text(u"Zorvat \u2713 \u00E9");
  EXPECT_EQ(s.Run(), kStatusOk);
  EXPECT_EQ(ClipboardText(), L"Zorvat \u2713 \u00E9");

  TextScript empty;
  empty.W().Cmd(kClipboardSetUnicodeText).Text(u"");  // an empty text empties the clipboard
  EXPECT_EQ(empty.Run(), kStatusOk);
  EXPECT_EQ(ClipboardText(), L"<none>");

  TextScript again;
  again.W().Cmd(kClipboardSetUnicodeText).Text(u"again").Cmd(kClipboardClear);
  EXPECT_EQ(again.Run(), kStatusOk);
  EXPECT_EQ(ClipboardText(), L"<none>");

  TextScript missing;
  missing.W().Cmd(kClipboardSetUnicodeText).End();
  EXPECT_EQ(missing.Run(), kStatusBadParam);
}

TEST(Clipboard, ABusyClipboardFailsWith1052) {
  // The clipboard is held open by a window of this thread; another thread
  // cannot open it.
  HWND holder =
      CreateWindowW(L"STATIC", L"holder", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
  ASSERT_TRUE(OpenClipboard(holder));
  TStatus status = 0;
  std::thread other([&] {
    TextScript s;
    s.W().Cmd(kClipboardSetUnicodeText).Text(u"x");
    status = s.Run();
  });
  other.join();
  CloseClipboard();
  DestroyWindow(holder);
  EXPECT_EQ(status, kStatusClipboardSetFailed);
}

TEST(ProcessGetExePath, IsThePathOfThisProgram) {
  wchar_t expected[MAX_PATH * 4];
  const DWORD length = GetModuleFileNameW(nullptr, expected, MAX_PATH * 4);
  TextScript s(1);
  s.W().Cmd(kProcessGetExePath).Byte(0);
  EXPECT_EQ(s.Run(), kStatusOk);
  EXPECT_EQ(s.TextOf(0), U16(std::wstring(expected, length)));
  EXPECT_EQ(s.Context()->LastWindowsError, 0u);
  TextScript t(1);
  t.W().Cmd(kProcessGetExePath).Byte(3);
  EXPECT_EQ(t.Run(), kStatusNoSuchVariable);
}

// Every dialog below is answered by a watcher, so none can hang the run.
TEST(FileDialogs, CancelGivesAnEmptyList) {
  BoxWatcher watcher(IDCANCEL);
  TextScript s(1);
  s.W().Cmd(kFileOpenDialog).Byte(0).Text(u"").Text(u"Texts|*.txt|All|*.*").Text(u"Pick one").End();
  EXPECT_EQ(s.Run(), kStatusOk);
  EXPECT_EQ(s.TextListOf(0), TextItems{});
  EXPECT_EQ(s.Context()->LastWindowsError, 0u);
  ASSERT_TRUE(watcher.WaitForBoxes(1, 5000));
  EXPECT_EQ(watcher.Boxes()[0].Caption, L"Pick one");
}

TEST(FileDialogs, SaveReturnsTheInitialNameInTheInitialFolder) {
  const std::wstring folder = TempFolder();
  BoxWatcher watcher(IDOK);
  wchar_t before[MAX_PATH];
  GetCurrentDirectoryW(MAX_PATH, before);
  TextScript s(1);
  s.W().Cmd(kFileSaveDialog).Byte(0).Text(U16(folder) + u"|report.txt").Text(u"").End();
  EXPECT_EQ(s.Run(), kStatusOk);
  EXPECT_EQ(s.TextListOf(0), TextItems{U16(folder) + u"\\report.txt"});
  wchar_t after[MAX_PATH];
  GetCurrentDirectoryW(MAX_PATH, after);
  EXPECT_EQ(std::wstring(after), std::wstring(before)) << "the current folder is restored";
}

TEST(FileDialogs, MultipleSelectionGivesOneFullPathPerFile) {
  const std::wstring folder = TempFolder();
  for (const wchar_t* name : {L"\\one.txt", L"\\two words.txt"}) {
    HANDLE f =
        CreateFileW((folder + name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    CloseHandle(f);
  }
  BoxWatcher watcher(IDOK);
  TextScript s(1);
  s.W().Cmd(kFileOpenDialog).Byte(0).Text(U16(folder) + u"|\"one.txt\" \"two words.txt\"");
  s.W().Text(u"All|*.*").Default().Byte(1).End();
  EXPECT_EQ(s.Run(), kStatusOk);
  EXPECT_EQ(s.TextListOf(0),
            (TextItems{U16(folder) + u"\\one.txt", U16(folder) + u"\\two words.txt"}));
  DeleteFileW((folder + L"\\one.txt").c_str());
  DeleteFileW((folder + L"\\two words.txt").c_str());
}

// An old-style dialog separates the names of a multiple selection by
// blanks, but a single chosen path keeps the blanks it has.
TEST(FileDialogs, AnOldStyleSinglePathKeepsItsBlanks) {
  const std::wstring folder = TempFolder();
  BoxWatcher watcher(IDOK);
  TextScript s(1);
  s.W().Cmd(kFileSaveDialog).Byte(0).Text(U16(folder) + u"|two words.txt").Text(u"");
  s.W().Default().Byte(0).Byte(0).End();
  EXPECT_EQ(s.Run(), kStatusOk);
  const TextItems chosen = s.TextListOf(0);
  ASSERT_EQ(chosen.size(), 1u);
  EXPECT_NE(chosen[0].find(u"two words.txt"), std::u16string::npos);
}

TEST(FileDialogs, ABufferTooSmallFailsWith1081) {
  const std::wstring folder = TempFolder();
  BoxWatcher watcher(IDOK);
  TextScript s(1);
  s.W().Cmd(kFileSaveDialog).Byte(0).Text(U16(folder) + u"|report.txt").Text(u"").End();
  TScriptContext* c = s.Load();
  c->FileDialogBufferSize = 8;
  EXPECT_EQ(s.Run(), kStatusFileDialogFailed);
  EXPECT_EQ(c->LastWindowsError, DWORD(FNERR_BUFFERTOOSMALL));
  EXPECT_EQ(s.TextListOf(0), TextItems{});
}

TEST(FileDialogs, AnOwnerThatIsNoWindowFailsBeforeAnyDialog) {
  TextScript s(1);
  s.W().Cmd(kFileOpenDialog).Byte(0).Text(u"").Text(u"").Default().Default().Default().Byte(7);
  EXPECT_EQ(s.Run(), kStatusBadWindowRef);
  EXPECT_EQ(s[0].VarType, vtUninitialized);
}

}  // namespace
