// Zorvat_Compiler.dll as a host uses it: loaded from the folder of the
// shipped programs, its exports looked up by name, and the shipped command
// list loaded. Also the small file helpers the compiler's tests share.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <string>

#include "compiler/compiler_types.h"
#include "include/zorvat_compiler.h"
#include "tests/compiler_dll/icon_maker.h"
#include "tests/support/utf16.h"

constexpr uint32_t kNoLine = ZC_NO_LINE;
constexpr size_t kModuleBufferUnits = ZC_ERROR_MODULE_UNITS;

extern const wchar_t kRunnerPath[];

// Each test loads the library afresh and initialises it with the shipped
// command list; TearDown finalises and unloads it.
class CompilerLibrary : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // What CompileZorvatFile or CompileZorvatEXE returned, with the error line
  // and the module text.
  struct TCompileOutcome {
    int32_t Result;
    uint32_t ErrLine;
    std::wstring Module;
  };
  TCompileOutcome Compile(TZcCompileZorvatFile entry, const std::wstring& source,
                          const std::wstring& output);

  HMODULE module_ = nullptr;
  TZcKernelVersion KernelVersion = nullptr;
  TZcInitializeCompiler InitializeCompiler = nullptr;
  TZcFinalizeCompiler FinalizeCompiler = nullptr;
  TZcRawScriptStep BeforeCompiling = nullptr;
  TZcRawScriptStep CompileScript = nullptr;
  TZcSaveCompiledScript SaveCompiledScript = nullptr;
  TZcRawScriptStep AfterCompiling = nullptr;
  TZcCompileZorvatFile CompileZorvatFile = nullptr;
  TZcCompileZorvatFile CompileZorvatEXE = nullptr;
};

bool WriteAll(const std::wstring& path, const Bytes& bytes);
bool WriteText(const std::wstring& path, const std::string& text);
// The file's bytes; empty when it cannot be read.
Bytes ReadAll(const std::wstring& path);
bool FileExists(const std::wstring& path);
// A path of the temporary folder as a script names it (ASCII there).
std::string Narrow(const std::wstring& path);
