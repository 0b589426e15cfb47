// Helpers for tests that start programs of their own (the fixture programs,
// Wine's notepad): a process guard that ends its process on every path, so a
// failing test never leaves a window or a hung program behind, and small
// polling waits with time-outs, so a test never sleeps blindly or hangs.
#pragma once

#include <windows.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

class TestProcess {
 public:
  TestProcess() = default;
  TestProcess(const TestProcess&) = delete;
  TestProcess& operator=(const TestProcess&) = delete;
  // Ends the process if it still runs.
  ~TestProcess();

  // Starts `program` with `args`, each quoted as the program's C runtime
  // expects. False when it cannot be started (or this guard already holds a
  // process).
  bool Start(const std::wstring& program, const std::vector<std::wstring>& args);
  // True when the process has ended within `timeoutMs`.
  bool WaitForExit(DWORD timeoutMs);
  // The exit code, or STILL_ACTIVE while it runs.
  DWORD ExitCode() const;
  DWORD Id() const { return info_.dwProcessId; }
  HANDLE Handle() const { return info_.hProcess; }
  // Ends the process now and waits for it to be gone.
  void Terminate();

 private:
  PROCESS_INFORMATION info_ = {};
};

// A file name in the temporary folder that no other test uses; the file is
// deleted when the guard goes away.
class TempFile {
 public:
  explicit TempFile(const wchar_t* stem);
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;
  ~TempFile();
  const std::wstring& Path() const { return path_; }

 private:
  std::wstring path_;
};

// The full path of a fixture program built with the tests (zv_fixture.exe,
// zv_console.exe, zv_box_watcher.exe).
std::wstring FixtureProgram(const wchar_t* fileName);

// One argument as CommandLineToArgvW and the C runtime read it back.
std::wstring QuoteArgument(const std::wstring& argument);

// Polls `condition` until it holds (true) or `timeoutMs` has passed (false).
bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs);

// The lines of a UTF-8 text file without their CR LF; none when the file
// does not exist.
std::vector<std::string> ReadLines(const std::wstring& path);

// Waits until the file has a line that starts with `prefix` and returns the
// first such line, or nothing after `timeoutMs`.
std::optional<std::string> WaitForLine(const std::wstring& path, const std::string& prefix,
                                       DWORD timeoutMs);

// Waits until a top-level window with this class and title exists.
HWND WaitForWindow(const wchar_t* className, const wchar_t* title, DWORD timeoutMs);
