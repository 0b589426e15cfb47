// DllCall from a stand-alone program, whose script calls a native library:
// the runtime inside ZorvatEx.exe passes its context, and the library finds
// the Var_ functions in the module the context names — the runner's own
// executable. And the limit on the length of an argument list.
#include <gtest/gtest.h>
#include <windows.h>

#include <fstream>
#include <iterator>
#include <string>

#include "base/image_format.h"
#include "base/status.h"
#include "compiler/compilation.h"
#include "tests/support/box_watcher.h"
#include "tests/support/image_builder.h"
#include "tests/support/test_harness.h"
#include "tests/support/test_process.h"
#include "tests/support/test_script_support.h"

namespace {

const wchar_t kRunner[] = ZORVAT_BIN_DIR L"\\ZorvatEx.exe";

// A text literal of the script language for an ASCII path ("#" doubled).
std::string PathLiteral(const std::u16string& path) {
  std::string literal = "\"";
  for (char16_t c : path) {
    if (c == u'#' || c == u'"') literal += char(c);
    literal += char(c);
  }
  return literal + "\"";
}

Bytes ReadAll(const std::wstring& path) {
  std::ifstream in(std::string(path.begin(), path.end()), std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The exit codes name the check that failed.
const char kScript[] = R"(
GlobalsAlloc 4 .
DllCall {store_results} 3 0 $ 0 1 2 .
SetDWORD 3 @3
Switch 3 0 ^stored .
Exit 10
^stored
Switch 0 $C0FFEE ^dword_ok .
Exit 11
^dword_ok
TextCompare 3 @1 "from the library" .
Switch 3 0 ^text_ok .
Exit 12
^text_ok
ItemCount 2 3
Switch 3 2 ^list_ok .
Exit 13
^list_ok
DllCall "*KernelVersion" 3 .
SetDWORD 3 @3
Switch 3 2313 ^version_ok .
Exit 14
^version_ok
Exit 0
)";

TEST(NativeProgram, LibraryStoresThroughTheRunnersOwnExports) {
  ASSERT_TRUE(UseShippedCommandList());
  std::string source = kScript;
  const std::string placeholder = "{store_results}";
  source.replace(source.find(placeholder), placeholder.size(),
                 PathLiteral(WindowsPath(ZORVAT_TESTLIB_FILE) + u"*StoreResults"));
  Compiled compiled(source);
  ASSERT_EQ(compiled.Result(), 0u) << "line " << compiled.ErrLine();

  Bytes program = ReadAll(kRunner);
  ASSERT_GT(program.size(), 1000u);
  const Bytes image = compiled.Image();
  program.insert(program.end(), image.begin(), image.end());
  TempFile path(L"native_program.exe");
  ASSERT_TRUE(WriteFileBytes(std::string(path.Path().begin(), path.Path().end()), program));

  TBoxWatchOptions boxes;
  boxes.ProcessId = 0;
  boxes.Caption = L"Zorvat runtime " + std::to_wstring(kRuntimeVersion);
  BoxWatcher watcher(boxes);
  TestProcess process;
  ASSERT_TRUE(process.Start(path.Path(), {}));
  ASSERT_TRUE(process.WaitForExit(30000));
  EXPECT_EQ(process.ExitCode(), 0u);
}

// A call of the cdecl function OrderCdecl with `count` argument words (the
// callee reads the first four), run in this process with errors stopping
// the run (error policy 0). Without an exit the run ends past its code (106) and leaves its
// variables for the test.
TStatus CallWithWords(uint32_t count, int64_t* result) {
  std::string source = "GlobalsAlloc 1 .\nDllCall " +
                       PathLiteral(WindowsPath(ZORVAT_TESTLIB_FILE) + u"*OrderCdecl") + " 0 2";
  for (uint32_t i = 0; i < count; ++i) source += " " + std::to_string(i < 4 ? i + 1 : 0);
  source += " .\n";
  CompiledScript script(source);
  const TStatus status = script.Run();
  *result = script.Int(0);
  return status;
}

TEST(NativeCall, TakesUpTo1000ArgumentWords) {
  ASSERT_TRUE(UseShippedCommandList());
  int64_t result;
  EXPECT_EQ(CallWithWords(1000, &result), kStatusRanOffCode);
  EXPECT_EQ(result, 1234);
  EXPECT_EQ(CallWithWords(1001, &result), kStatusBadParam);
  EXPECT_EQ(result, -1);  // nothing called, nothing stored
}

}  // namespace
