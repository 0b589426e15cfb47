#include "runtime/commands/window_test_scripts.h"

#include <cstdio>
#include <cstring>

#include "compiler/compilation.h"
#include "compiler/test_harness.h"
#include "runtime/core/variables.h"
#include "runtime/values/text.h"
#include "tests/fixtures/fixture_ids.h"

namespace {

// The build names the folder as the build machine sees it; under Wine a Unix
// path is reached through drive Z:.
std::u16string WindowsPath(const std::string& folder, const char* fileName) {
  std::u16string path = folder.starts_with("/") ? u"Z:" : u"";
  for (char c : folder) path += c == '/' ? u'\\' : char16_t(static_cast<unsigned char>(c));
  for (const char* p = "\\"; *p != 0; ++p) path += char16_t(*p);
  for (const char* p = fileName; *p != 0; ++p) path += char16_t(*p);
  return path;
}

constexpr DWORD kWindowAppearMs = 15000;

}  // namespace

std::string FillScript(std::string source,
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

std::string HandleText(const void* handle) {
  return std::to_string(static_cast<uint32_t>(reinterpret_cast<uintptr_t>(handle)));
}

bool UseShippedCommandList() {
  static const int32_t result =
      InitializeCompilerTables(WindowsPath(ZORVAT_COMMAND_LIST_DIR, "Commands.txt").c_str());
  return result == 0;
}

ScriptRun::ScriptRun(const std::string& source) {
  Compiled compiled(source);
  if (compiled.Result() != 0) {
    std::fprintf(stderr, "compile error %u at line %u\n", compiled.Result(), compiled.ErrLine());
    return;
  }
  image_ = std::make_unique<LoadedImage>(compiled.Image());
  image_->context.ActionAfterError = 0;
  const DWORD start = GetTickCount();
  status_ = image_->Run();
  milliseconds_ = GetTickCount() - start;
}

TVarType ScriptRun::Kind(uint32_t n) {
  const TZorvatVariable* v = image_ ? ResolveVar(&image_->context, n) : nullptr;
  return v != nullptr ? v->VarType : vtInvalid;
}

uint32_t ScriptRun::Value(uint32_t n) {
  uint32_t value = 0xDEADBEEF;
  if (image_) GetVarDWORD(&image_->context, n, &value);
  return value;
}

std::u16string ScriptRun::Text(uint32_t n) {
  if (Kind(n) != vtUnicodeString) return u"(not a text)";
  const TZorvatVariable* v = ResolveVar(&image_->context, n);
  return std::u16string(USTR_Chars(v->UA), USTR_Length(v->UA));
}

std::vector<uint32_t> ScriptRun::Values(uint32_t n) {
  std::vector<uint32_t> values;
  if (Kind(n) != vtDWORDArray) return values;
  const TZorvatVariable* v = ResolveVar(&image_->context, n);
  values.resize(UA_ItemCount(v->UA, vtDWORDArray));
  if (!values.empty()) std::memcpy(values.data(), UA_Data(v->UA), values.size() * 4);
  return values;
}

FixtureProcess::FixtureProcess(const std::wstring& title, std::vector<std::wstring> extra)
    : log_(L"zv-window-fixture") {
  std::vector<std::wstring> args = {L"--title",  title,           L"--log",
                                    log_.Path(), L"--exit-after", L"60000"};
  args.insert(args.end(), extra.begin(), extra.end());
  if (process_.Start(FixtureProgram(L"zv_fixture.exe"), args)) {
    window_ = WaitForWindow(kFixtureClass, title.c_str(), kWindowAppearMs);
  }
  // The window is found as soon as it exists; its controls are there once
  // it says it is ready.
  if (window_ != nullptr && !WaitForLine(log_.Path(), "ready", kWindowAppearMs)) {
    window_ = nullptr;
  }
}
