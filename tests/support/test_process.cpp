#include "tests/support/test_process.h"

#include <atomic>
#include <sstream>

namespace {

constexpr DWORD kPollMs = 20;
// TerminateProcess only starts the end; a guard waits this long for it.
constexpr DWORD kTerminateWaitMs = 10000;

}  // namespace

TestProcess::~TestProcess() {
  if (info_.hProcess == nullptr) return;
  Terminate();
  CloseHandle(info_.hThread);
  CloseHandle(info_.hProcess);
}

bool TestProcess::Start(const std::wstring& program, const std::vector<std::wstring>& args) {
  if (info_.hProcess != nullptr) return false;
  std::wstring commandLine = QuoteArgument(program);
  for (const std::wstring& arg : args) commandLine += L" " + QuoteArgument(arg);
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info = {};
  if (!CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      nullptr, &startup, &info)) {
    return false;
  }
  info_ = info;
  return true;
}

bool TestProcess::WaitForExit(DWORD timeoutMs) {
  return info_.hProcess != nullptr &&
         WaitForSingleObject(info_.hProcess, timeoutMs) == WAIT_OBJECT_0;
}

DWORD TestProcess::ExitCode() const {
  DWORD code = STILL_ACTIVE;
  if (info_.hProcess != nullptr) GetExitCodeProcess(info_.hProcess, &code);
  return code;
}

void TestProcess::Terminate() {
  if (info_.hProcess == nullptr || WaitForSingleObject(info_.hProcess, 0) == WAIT_OBJECT_0) return;
  TerminateProcess(info_.hProcess, 1);
  WaitForSingleObject(info_.hProcess, kTerminateWaitMs);
}

TempFile::TempFile(const wchar_t* stem) {
  static std::atomic<unsigned> counter{0};
  wchar_t folder[MAX_PATH + 1] = L"";
  GetTempPathW(MAX_PATH + 1, folder);
  std::wostringstream name;
  name << folder << stem << L"-" << GetCurrentProcessId() << L"-" << counter++ << L".txt";
  path_ = name.str();
  DeleteFileW(path_.c_str());
}

TempFile::~TempFile() {
  DeleteFileW(path_.c_str());
}

// The build names the folder as the build machine sees it; under Wine a
// Unix path is reached through drive Z:, which maps the Unix root.
std::wstring FixtureProgram(const wchar_t* fileName) {
  std::string folder = ZORVAT_FIXTURE_DIR;
  std::wstring path = folder.starts_with("/") ? L"Z:" : L"";
  for (char c : folder) path += c == '/' ? L'\\' : wchar_t(static_cast<unsigned char>(c));
  return path + L"\\" + fileName;
}

std::wstring QuoteArgument(const std::wstring& argument) {
  if (!argument.empty() && argument.find_first_of(L" \t\"") == std::wstring::npos) {
    return argument;
  }
  std::wstring quoted = L"\"";
  size_t backslashes = 0;
  for (wchar_t c : argument) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    // Backslashes count as escapes only before a quote.
    quoted.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
    quoted += c;
    backslashes = 0;
  }
  quoted.append(backslashes * 2, L'\\');
  return quoted + L"\"";
}

bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs) {
  DWORD start = GetTickCount();
  for (;;) {
    if (condition()) return true;
    if (GetTickCount() - start >= timeoutMs) return false;
    Sleep(kPollMs);
  }
}

std::vector<std::string> ReadLines(const std::wstring& path) {
  std::vector<std::string> lines;
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return lines;
  std::string content;
  char buffer[4096];
  DWORD got = 0;
  while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got != 0)
    content.append(buffer, got);
  CloseHandle(file);
  // A line still being written is not a line yet.
  size_t end = content.rfind('\n');
  content.resize(end == std::string::npos ? 0 : end + 1);
  std::istringstream stream(content);
  std::string line;
  while (std::getline(stream, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

std::optional<std::string> WaitForLine(const std::wstring& path, const std::string& prefix,
                                       DWORD timeoutMs) {
  std::optional<std::string> found;
  WaitUntil(
      [&] {
        for (const std::string& line : ReadLines(path)) {
          if (line.starts_with(prefix)) {
            found = line;
            return true;
          }
        }
        return false;
      },
      timeoutMs);
  return found;
}

HWND WaitForWindow(const wchar_t* className, const wchar_t* title, DWORD timeoutMs) {
  HWND window = nullptr;
  WaitUntil([&] { return (window = FindWindowW(className, title)) != nullptr; }, timeoutMs);
  return window;
}
