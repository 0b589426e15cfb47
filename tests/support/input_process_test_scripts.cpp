#include "tests/support/input_process_test_scripts.h"

#include <set>

#include "runtime/core/variables.h"
#include "tests/support/test_process.h"

namespace {

constexpr DWORD kEndWaitMs = 10000;

std::string Utf8Of(const std::wstring& text) {
  const int size =
      WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), nullptr, 0, nullptr, nullptr);
  std::string utf8(size_t(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), utf8.data(), size, nullptr,
                      nullptr);
  return utf8;
}

void EndProcess(HANDLE process) {
  if (WaitForSingleObject(process, 0) == WAIT_TIMEOUT) {
    TerminateProcess(process, 1);
    WaitForSingleObject(process, kEndWaitMs);
  }
}

}  // namespace

std::string Decimal(uint64_t value) {
  return std::to_string(value);
}

std::string TextLiteral(const std::wstring& text) {
  std::string literal = "\"";
  for (char c : Utf8Of(text)) {
    if (c == '"' || c == '#') literal += c;
    literal += c;
  }
  return literal + "\"";
}

TestScript::TestScript(const std::string& source, std::initializer_list<uint32_t> processVariables)
    : CompiledScript(source), processVariables_(processVariables) {}

TestScript::~TestScript() {
  if (!IsCompiled()) return;
  std::set<HANDLE> processes;
  if (Context().LastStartedProcess.hProcess != nullptr) {
    processes.insert(Context().LastStartedProcess.hProcess);
  }
  for (uint32_t n : processVariables_) {
    uint32_t value = 0;
    if (GetVarDWORD(&Context(), n, &value) == 0 && value != 0) {
      processes.insert(reinterpret_cast<HANDLE>(uintptr_t(value)));
    }
  }
  for (HANDLE process : processes) {
    EndProcess(process);
    CloseHandle(process);
  }
  if (Context().LastStartedProcess.hThread != nullptr) {
    CloseHandle(Context().LastStartedProcess.hThread);
  }
}

std::string ConsoleLiteral() {
  return TextLiteral(FixtureProgram(L"zv_console.exe"));
}

std::string FixtureLiteral() {
  return TextLiteral(FixtureProgram(L"zv_fixture.exe"));
}

bool IsRunning(HANDLE handle) {
  return WaitForSingleObject(handle, 0) == WAIT_TIMEOUT;
}
