#include "tests/compiler_dll/compiler_library.h"

#include <algorithm>
#include <iterator>

const wchar_t kRunnerPath[] = ZORVAT_BIN_DIR L"\\ZorvatEx.exe";

namespace {

template <typename T>
T Export(HMODULE module, const char* name) {
  T function = reinterpret_cast<T>(reinterpret_cast<void*>(GetProcAddress(module, name)));
  EXPECT_NE(function, nullptr) << name;
  return function;
}

}  // namespace

void CompilerLibrary::SetUp() {
  module_ = LoadLibraryW(ZORVAT_BIN_DIR L"\\Zorvat_Compiler.dll");
  ASSERT_NE(module_, nullptr);
  KernelVersion = Export<TZcKernelVersion>(module_, "KernelVersion");
  InitializeCompiler = Export<TZcInitializeCompiler>(module_, "InitializeCompiler");
  FinalizeCompiler = Export<TZcFinalizeCompiler>(module_, "FinalizeCompiler");
  BeforeCompiling = Export<TZcRawScriptStep>(module_, "BeforeCompiling");
  CompileScript = Export<TZcRawScriptStep>(module_, "CompileScript");
  SaveCompiledScript = Export<TZcSaveCompiledScript>(module_, "SaveCompiledScript");
  AfterCompiling = Export<TZcRawScriptStep>(module_, "AfterCompiling");
  CompileZorvatFile = Export<TZcCompileZorvatFile>(module_, "CompileZorvatFile");
  CompileZorvatEXE = Export<TZcCompileZorvatFile>(module_, "CompileZorvatEXE");
  ASSERT_FALSE(HasFailure());
  ASSERT_EQ(InitializeCompiler(U16(ZORVAT_BIN_DIR L"\\Commands.txt")), 0);
}

void CompilerLibrary::TearDown() {
  if (FinalizeCompiler != nullptr) FinalizeCompiler();
  if (module_ != nullptr) FreeLibrary(module_);
}

CompilerLibrary::TCompileOutcome CompilerLibrary::Compile(TZcCompileZorvatFile entry,
                                                          const std::wstring& source,
                                                          const std::wstring& output) {
  wchar_t module[kModuleBufferUnits + 1];
  std::fill(std::begin(module), std::end(module), L'x');
  module[kModuleBufferUnits] = 0;  // a guard unit that must stay
  uint32_t line = 0;
  int32_t result = entry(U16(source), U16(output), nullptr, U16(module), &line);
  EXPECT_EQ(module[kModuleBufferUnits], 0) << "module text ran past 261 units";
  return {result, line, module};
}

bool WriteAll(const std::wstring& path, const Bytes& bytes) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  bool ok = WriteFile(file, bytes.data(), DWORD(bytes.size()), &written, nullptr) &&
            written == bytes.size();
  CloseHandle(file);
  return ok;
}

bool WriteText(const std::wstring& path, const std::string& text) {
  return WriteAll(path, Bytes(text.begin(), text.end()));
}

Bytes ReadAll(const std::wstring& path) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return {};
  Bytes bytes(GetFileSize(file, nullptr));
  DWORD got = 0;
  if (!bytes.empty() && !ReadFile(file, bytes.data(), DWORD(bytes.size()), &got, nullptr)) got = 0;
  bytes.resize(got);
  CloseHandle(file);
  return bytes;
}

bool FileExists(const std::wstring& path) {
  return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string Narrow(const std::wstring& path) {
  return std::string(path.begin(), path.end());
}
