// The compiler library as a host sees it: Zorvat_Compiler.dll loaded from
// the host's own folder, its exports looked up by name, and the command list
// Commands.txt (with CompilerKeywords.txt) beside it.
#pragma once

#include <windows.h>

#include <string>

#include "include/zorvat_compiler.h"

struct TCompileResult {
  int32_t Code = 0;
  uint32_t ErrorLine = 0xFFFFFFFF;
  std::wstring ErrorModule;  // empty: the main script
};

class TCompilerLibrary {
 public:
  // Loads the library and initialises it with the shipped command list;
  // false with the reason in `error`.
  bool Load(std::wstring& error);
  ~TCompilerLibrary();

  // Compiles `source` into the image file `output`; with `program` the output
  // is a runner copy that gets the script's icon and the image appended.
  TCompileResult Compile(const std::wstring& source, const std::wstring& output, bool program);
  // Compiles into an image file and writes its line map to `map`; a library
  // without the map export compiles without one.
  TCompileResult CompileWithMap(const std::wstring& source, const std::wstring& output,
                                const std::wstring& map);

 private:
  HMODULE module_ = nullptr;
  bool initialized_ = false;
  TZcFinalizeCompiler finalize_ = nullptr;
  TZcCompileZorvatFile compileFile_ = nullptr;
  TZcCompileZorvatFile compileExe_ = nullptr;
  TZcCompileZorvatFileMap compileMap_ = nullptr;
};

// "file:line: error CODE: meaning" (or "file: error ..." without a line), with
// the path of the module the error is in.
std::string FormatCompileError(const std::wstring& script, const TCompileResult& result);
