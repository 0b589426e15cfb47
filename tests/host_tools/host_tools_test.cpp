// The scripter's tools of zorvat.exe, run as a user runs them: run-time
// errors reported at the script's line, the disassembler's round trip, and
// the window spy on the fixture window.
#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/test_process.h"

namespace {

namespace fs = std::filesystem;

struct THostResult {
  DWORD Exit = STILL_ACTIVE;
  std::string Output;  // standard output and error together
};

std::string ReadAll(const std::wstring& path) {
  std::ifstream in(fs::path(path), std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

void WriteAll(const std::wstring& path, const std::string& text) {
  std::ofstream out(fs::path(path), std::ios::binary);
  out << text;
}

// zorvat.exe ARGS with its output going to a file; ended by force if it
// still runs when the record goes, so that no run can outlive the test.
class THostProcess {
 public:
  THostProcess(const std::vector<std::wstring>& args, const std::wstring& outputPath) {
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    HANDLE file = CreateFileW(outputPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                              CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    std::wstring host = ZORVAT_BIN_DIR L"\\zorvat.exe";
    std::wstring commandLine = QuoteArgument(host);
    for (const std::wstring& arg : args) commandLine += L" " + QuoteArgument(arg);
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = file;
    startup.hStdError = file;
    PROCESS_INFORMATION info = {};
    if (CreateProcessW(host.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr,
                       nullptr, &startup, &info)) {
      CloseHandle(info.hThread);
      process_ = info.hProcess;
    }
    CloseHandle(file);
  }
  ~THostProcess() {
    if (process_ == nullptr) return;
    TerminateProcess(process_, 1);
    WaitForSingleObject(process_, 10000);
    CloseHandle(process_);
  }
  THostProcess(const THostProcess&) = delete;
  THostProcess& operator=(const THostProcess&) = delete;

  // The exit code once it has ended within a minute, else STILL_ACTIVE.
  DWORD Finish() {
    DWORD code = STILL_ACTIVE;
    if (process_ != nullptr && WaitForSingleObject(process_, 60000) == WAIT_OBJECT_0) {
      GetExitCodeProcess(process_, &code);
    }
    return code;
  }

 private:
  HANDLE process_ = nullptr;
};

THostResult Zorvat(const std::vector<std::wstring>& args) {
  THostResult result;
  TempFile output(L"host_output");
  {
    THostProcess host(args, output.Path());
    result.Exit = host.Finish();
  }
  result.Output = ReadAll(output.Path());
  return result;
}

std::string Narrow(const std::wstring& s) {
  return std::string(s.begin(), s.end());
}

TEST(RunErrors, AFailingCommandIsReportedAtItsLineInWords) {
  TempFile script(L"fourth_line.zvs"), module(L"module.zvs"), image(L"image.zvb");
  const std::wstring scriptPath = script.Path() + L".zvs";
  const std::wstring modulePath = module.Path() + L".zvs";
  WriteAll(scriptPath,
           "; the fourth line fails\r\nGlobalsAlloc 1 .\r\nSetDWORD 0 5\r\nReturn\r\nExit 0\r\n");
  THostResult run = Zorvat({L"run", scriptPath});
  EXPECT_EQ(run.Exit, 1033u);
  EXPECT_NE(run.Output.find(Narrow(scriptPath) +
                            ":4: Return failed with status 1033: return with an empty call stack"),
            std::string::npos)
      << run.Output;

  // An included module names its own file and line.
  WriteAll(modulePath, "SetDWORD 0 1\r\nVarDiv 0 0 .\r\n");
  WriteAll(scriptPath, "GlobalsAlloc 1 .\r\n&INCLUDE " + Narrow(modulePath) + "\r\nExit 0\r\n");
  run = Zorvat({L"run", scriptPath});
  EXPECT_EQ(run.Exit, 1009u);
  EXPECT_NE(run.Output.find(Narrow(modulePath) +
                            ":2: VarDiv failed with status 1009: integer division by zero"),
            std::string::npos)
      << run.Output;

  // A compiled image reports lines through the map written beside it, and
  // the offset without one; the map does not change the image.
  ASSERT_EQ(Zorvat({L"compile", scriptPath, L"-o", image.Path()}).Exit, 0u);
  const std::string plain = ReadAll(image.Path());
  run = Zorvat({L"run", image.Path()});
  EXPECT_NE(run.Output.find("VarDiv (offset 0x"), std::string::npos) << run.Output;
  ASSERT_EQ(Zorvat({L"compile", scriptPath, L"-o", image.Path(), L"--map"}).Exit, 0u);
  EXPECT_EQ(ReadAll(image.Path()), plain);
  run = Zorvat({L"run", image.Path()});
  EXPECT_EQ(run.Exit, 1009u);
  EXPECT_NE(run.Output.find(Narrow(modulePath) + ":2: VarDiv failed"), std::string::npos)
      << run.Output;

  // A map left from another compilation is not believed.
  WriteAll(scriptPath,
           "GlobalsAlloc 1 .\r\nSetDWORD 0 7\r\n&INCLUDE " + Narrow(modulePath) + "\r\nExit 0\r\n");
  ASSERT_EQ(Zorvat({L"compile", scriptPath, L"-o", image.Path()}).Exit, 0u);
  run = Zorvat({L"run", image.Path()});
  EXPECT_NE(run.Output.find("VarDiv (offset 0x"), std::string::npos) << run.Output;

  // A script's own exit code is no failure.
  WriteAll(scriptPath, "Exit 7\r\n");
  run = Zorvat({L"run", scriptPath});
  EXPECT_EQ(run.Exit, 7u);
  EXPECT_NE(run.Output.find(":1: the script exited with status 7"), std::string::npos)
      << run.Output;
  DeleteFileW(scriptPath.c_str());
  DeleteFileW(modulePath.c_str());
  DeleteFileW((image.Path() + L".map").c_str());
}

TEST(Disassembler, EveryScriptRoundTripsThroughTheHost) {
  TempFile first(L"first.zvb"), listing(L"listing.zvs"), second(L"second.zvb");
  const std::wstring listingPath = listing.Path() + L".zvs";
  int images = 0;
  for (const char* root : {"tests/scripts", "examples"}) {
    for (const auto& entry : fs::recursive_directory_iterator(fs::path(ZORVAT_SOURCE_DIR) / root)) {
      if (entry.path().extension() != ".zvs") continue;
      const std::wstring source = entry.path().wstring();
      if (Zorvat({L"compile", source, L"-o", first.Path()}).Exit != 0) continue;
      THostResult dis = Zorvat({L"dis", first.Path(), L"-o", listingPath});
      ASSERT_EQ(dis.Exit, 0u) << entry.path() << dis.Output;
      THostResult again = Zorvat({L"compile", listingPath, L"-o", second.Path()});
      ASSERT_EQ(again.Exit, 0u) << entry.path() << again.Output << ReadAll(listingPath);
      EXPECT_EQ(ReadAll(first.Path()), ReadAll(second.Path())) << entry.path();
      ++images;
    }
  }
  EXPECT_GT(images, 50);

  // A stand-alone program lists as its image does.
  const std::wstring example = fs::path(ZORVAT_SOURCE_DIR "/examples/sum.zvs").wstring();
  TempFile program(L"program.exe");
  ASSERT_EQ(Zorvat({L"exe", example, L"-o", program.Path()}).Exit, 0u);
  ASSERT_EQ(Zorvat({L"compile", example, L"-o", first.Path()}).Exit, 0u);
  THostResult fromProgram = Zorvat({L"dis", program.Path()});
  THostResult fromImage = Zorvat({L"dis", first.Path()});
  EXPECT_EQ(fromProgram.Exit, 0u);
  auto body = [](const std::string& text) { return text.substr(text.find('\n')); };
  EXPECT_EQ(body(fromProgram.Output), body(fromImage.Output));
  EXPECT_NE(fromImage.Output.find("Exit"), std::string::npos) << fromImage.Output;
  DeleteFileW(listingPath.c_str());
}

TEST(Spy, TellsWhatFindsTheFixtureWindow) {
  TestProcess fixture;
  ASSERT_TRUE(fixture.Start(FixtureProgram(L"zv_fixture.exe"),
                            {L"--title", L"Zorvat Spy #1", L"--exit-after", L"120000"}));
  HWND window = WaitForWindow(L"ZorvatFixture", L"Zorvat Spy #1", 30000);
  ASSERT_NE(window, nullptr);
  wchar_t handle[16];
  swprintf(handle, 16, L"0x%X", unsigned(reinterpret_cast<uintptr_t>(window)));
  THostResult spy = Zorvat({L"spy", L"--handle", handle});
  EXPECT_EQ(spy.Exit, 0u) << spy.Output;
  EXPECT_NE(spy.Output.find("class:      ZorvatFixture"), std::string::npos) << spy.Output;
  EXPECT_NE(spy.Output.find("title:      \"Zorvat Spy ##1\""), std::string::npos) << spy.Output;
  EXPECT_NE(spy.Output.find("process:    " + std::to_string(fixture.Id()) + " "), std::string::npos)
      << spy.Output;
  EXPECT_NE(spy.Output.find("zv_fixture.exe"), std::string::npos) << spy.Output;
  EXPECT_NE(spy.Output.find("screen:     (100, 100)-(580, 460), 480 x 360"), std::string::npos)
      << spy.Output;
  const std::string find = "WindowFind 0 \"ZorvatFixture\" 1 \"Zorvat Spy ##1\" 1 .";
  ASSERT_NE(spy.Output.find(find), std::string::npos) << spy.Output;

  // The statement it prints finds exactly that window.
  TempFile script(L"spy_find.zvs");
  const std::wstring scriptPath = script.Path() + L".zvs";
  WriteAll(scriptPath, "GlobalsAlloc 2 .\r\n" + find + "\r\nItemCount 0 1\r\nExit @1\r\n");
  EXPECT_EQ(Zorvat({L"run", scriptPath}).Exit, 1u);

  // A control: its identifier, its parent and the statements that find it.
  HWND edit = GetDlgItem(window, 101);
  ASSERT_NE(edit, nullptr);
  swprintf(handle, 16, L"%u", unsigned(reinterpret_cast<uintptr_t>(edit)));
  spy = Zorvat({L"spy", L"--handle", handle});
  EXPECT_NE(spy.Output.find("control id: 101"), std::string::npos) << spy.Output;
  EXPECT_NE(spy.Output.find("< 0x"), std::string::npos) << spy.Output;
  EXPECT_NE(spy.Output.find("WindowFindChild 1 0 \"Edit\" 1"), std::string::npos) << spy.Output;

  // The window at a screen point: the middle of the edit control.
  RECT r{};
  GetWindowRect(edit, &r);
  char editHandle[32];
  snprintf(editHandle, sizeof editHandle, "handle:     0x%08X",
           unsigned(reinterpret_cast<uintptr_t>(edit)));
  spy = Zorvat({L"spy", L"--at", std::to_wstring((r.left + r.right) / 2),
                std::to_wstring((r.top + r.bottom) / 2)});
  EXPECT_NE(spy.Output.find(editHandle), std::string::npos) << spy.Output;

  EXPECT_EQ(Zorvat({L"spy", L"--handle", L"0x7FFFFFF0"}).Exit, 1u);

  // Watching: a report each time the pointer moves onto another window.
  TempFile watchOutput(L"spy_watch");
  SetCursorPos(5, 5);  // the desktop: the fixture stands at 100,100
  THostProcess watch({L"spy", L"--watch"}, watchOutput.Path());
  auto reported = [&](const std::string& text) {
    return WaitUntil([&] { return ReadAll(watchOutput.Path()).find(text) != std::string::npos; },
                     30000);
  };
  EXPECT_TRUE(reported("class:      #32769")) << ReadAll(watchOutput.Path());
  SetCursorPos(300, 440);  // the fixture's own client area, below its controls
  EXPECT_TRUE(reported("class:      ZorvatFixture")) << ReadAll(watchOutput.Path());
  SetCursorPos((r.left + r.right) / 2, (r.top + r.bottom) / 2);
  EXPECT_TRUE(reported(editHandle)) << ReadAll(watchOutput.Path());
  DeleteFileW(scriptPath.c_str());
}

}  // namespace
