#include "host/compiler_library.h"

#include <cstdio>

#include "compiler/compile_codes.h"
#include "host/runtime_library.h"

namespace {

template <typename T>
bool Resolve(HMODULE module, const char* name, T& function, std::wstring& error) {
  function = reinterpret_cast<T>(reinterpret_cast<void*>(GetProcAddress(module, name)));
  if (function != nullptr) return true;
  error = L"Zorvat_Compiler.dll does not export " + std::wstring(name, name + strlen(name));
  return false;
}

std::string Utf8(const std::wstring& s) {
  if (s.empty()) return std::string();
  int n = WideCharToMultiByte(CP_UTF8, 0, s.data(), int(s.size()), nullptr, 0, nullptr, nullptr);
  std::string out(size_t(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, s.data(), int(s.size()), out.data(), n, nullptr, nullptr);
  return out;
}

}  // namespace

bool TCompilerLibrary::Load(std::wstring& error) {
  std::wstring folder = ProgramFolder();
  module_ = LoadLibraryW((folder + L"Zorvat_Compiler.dll").c_str());
  if (module_ == nullptr) {
    error = L"cannot load " + folder + L"Zorvat_Compiler.dll";
    return false;
  }
  TZcInitializeCompiler initialize = nullptr;
  if (!Resolve(module_, "InitializeCompiler", initialize, error) ||
      !Resolve(module_, "FinalizeCompiler", finalize_, error) ||
      !Resolve(module_, "CompileZorvatFile", compileFile_, error) ||
      !Resolve(module_, "CompileZorvatEXE", compileExe_, error)) {
    return false;
  }
  compileMap_ = reinterpret_cast<decltype(compileMap_)>(
      reinterpret_cast<void*>(GetProcAddress(module_, "CompileZorvatFileMap")));
  std::wstring list = folder + L"Commands.txt";
  int32_t result = initialize(Utf16(list));
  if (result != 0) {
    error = result < 0 ? L"cannot read " + list + L" or the CompilerKeywords.txt beside it"
                       : list + L": line " + std::to_wstring(result) + L" is not a valid command";
    return false;
  }
  initialized_ = true;
  return true;
}

TCompilerLibrary::~TCompilerLibrary() {
  if (initialized_) finalize_();
  if (module_ != nullptr) FreeLibrary(module_);
}

TCompileResult TCompilerLibrary::Compile(const std::wstring& source, const std::wstring& output,
                                         bool program) {
  char16_t module[ZC_ERROR_MODULE_UNITS] = {};
  TCompileResult result;
  result.Code = (program ? compileExe_ : compileFile_)(Utf16(source), Utf16(output), nullptr,
                                                       module, &result.ErrorLine);
  result.ErrorModule = reinterpret_cast<const wchar_t*>(module);
  return result;
}

TCompileResult TCompilerLibrary::CompileWithMap(const std::wstring& source,
                                                const std::wstring& output,
                                                const std::wstring& map) {
  if (compileMap_ == nullptr) return Compile(source, output, false);
  char16_t module[ZC_ERROR_MODULE_UNITS] = {};
  TCompileResult result;
  result.Code =
      compileMap_(Utf16(source), Utf16(output), nullptr, module, &result.ErrorLine, Utf16(map));
  result.ErrorModule = reinterpret_cast<const wchar_t*>(module);
  return result;
}

std::string FormatCompileError(const std::wstring& script, const TCompileResult& result) {
  std::string where = Utf8(result.ErrorModule.empty() ? script : result.ErrorModule);
  if (result.ErrorLine != ZC_NO_LINE) where += ":" + std::to_string(result.ErrorLine);
  char text[160];
  std::snprintf(text, sizeof text, ": error %d: %s", result.Code,
                CompileCodeText(uint32_t(result.Code)));
  return where + text;
}
