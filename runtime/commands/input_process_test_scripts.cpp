#include "runtime/commands/input_process_test_scripts.h"

#include <cstdio>
#include <set>

#include "compiler/compilation.h"
#include "compiler/test_harness.h"
#include "runtime/core/variables.h"
#include "tests/support/test_process.h"

namespace {

constexpr DWORD kEndWaitMs = 10000;

// The build names the folder as the build machine sees it; under Wine a Unix
// path is reached through drive Z:.
std::u16string CommandListPath() {
  const std::string folder = ZORVAT_COMMAND_LIST_DIR;
  std::u16string path = folder.starts_with("/") ? u"Z:" : u"";
  for (char c : folder) path += c == '/' ? u'\\' : char16_t(static_cast<unsigned char>(c));
  return path + u"\\Commands.txt";
}

bool UseShippedCommandList() {
  static const int32_t result = InitializeCompilerTables(CommandListPath().c_str());
  return result == 0;
}

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

std::string Fill(std::string source,
                 const std::vector<std::pair<std::string, std::string>>& values) {
  for (const auto& [name, value] : values) {
    const std::string key = "{" + name + "}";
    for (size_t at = source.find(key); at != std::string::npos; at = source.find(key, at)) {
      source.replace(at, key.size(), value);
      at += value.size();
    }
  }
  return source;
}

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
    : processVariables_(processVariables) {
  if (!UseShippedCommandList()) {
    std::fprintf(stderr, "the shipped command list cannot be read\n");
    return;
  }
  Compiled compiled(source);
  if (compiled.Result() != 0) {
    std::fprintf(stderr, "compile error %u at line %u\n", compiled.Result(), compiled.ErrLine());
    return;
  }
  image_ = std::make_unique<LoadedImage>(compiled.Image());
  image_->context.ActionAfterError = 0;
}

TestScript::~TestScript() {
  if (!image_) return;
  std::set<HANDLE> processes;
  if (image_->context.LastStartedProcess.hProcess != nullptr) {
    processes.insert(image_->context.LastStartedProcess.hProcess);
  }
  for (uint32_t n : processVariables_) {
    uint32_t value = 0;
    if (GetVarDWORD(&image_->context, n, &value) == 0 && value != 0) {
      processes.insert(reinterpret_cast<HANDLE>(uintptr_t(value)));
    }
  }
  for (HANDLE process : processes) {
    EndProcess(process);
    CloseHandle(process);
  }
  if (image_->context.LastStartedProcess.hThread != nullptr) {
    CloseHandle(image_->context.LastStartedProcess.hThread);
  }
}

TStatus TestScript::Run() {
  if (!image_) return kNotCompiled;
  const DWORD start = GetTickCount();
  const TStatus status = image_->Run();
  milliseconds_ = GetTickCount() - start;
  return status;
}

TVarType TestScript::Kind(uint32_t n) {
  const TZorvatVariable* v = image_ ? ResolveVar(&image_->context, n) : nullptr;
  return v != nullptr ? v->VarType : vtInvalid;
}

uint32_t TestScript::DWord(uint32_t n) {
  uint32_t value = 0xDEADBEEF;
  if (image_) GetVarDWORD(&image_->context, n, &value);
  return value;
}

int64_t TestScript::Int(uint32_t n) {
  int64_t value = -1;
  if (image_) GetVarInt64(&image_->context, n, &value);
  return value;
}

TExtended TestScript::Float(uint32_t n) {
  TExtended value = -1;
  if (image_) GetVarExtended(&image_->context, n, &value);
  return value;
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
