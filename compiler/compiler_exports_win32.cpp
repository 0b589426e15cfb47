// The exported interface of Zorvat_Compiler.dll (names in
// compiler/zorvat_compiler.def). A host loads the command list once, then
// compiles script files into image files, or into copies of the stand-alone
// runner that it has placed at the output path; the single steps of a
// compilation are exported too, for hosts that supply the script's lines
// themselves. Everything is __stdcall; texts are zero-terminated UTF-16.
//
// A boolean crosses the interface as one byte: an argument is read from its
// low byte only, and a result is 0 or 1 in the whole register, so that callers
// declaring either a byte or a 32-bit boolean read it right.
#include <windows.h>

#include <type_traits>

#include "base/image_format.h"
#include "compiler/command_list.h"
#include "compiler/compilation.h"
#include "compiler/compile_codes.h"
#include "compiler/image_writer.h"
#include "compiler/keywords.h"
#include "compiler/line_map.h"
#include "compiler/replace_icon_win32.h"
#include "include/zorvat_compiler.h"

namespace {

// A missing path is a file that cannot be opened, not a crash.
const char16_t* PathOrEmpty(const char16_t* path) {
  return path != nullptr ? path : u"";
}

// In EXE mode the output is a copy of the runner: its icon is replaced when
// the script names one, and the image is appended to it.
uint32_t CompileToOutput(TRawScript* raw, const char16_t* source, const char16_t* output,
                         bool exeMode, const char16_t* mapFile) {
  uint32_t result = CompileSourceFile(raw, source);
  if (result != kCompileOk) return result;
  if (exeMode && raw->NewIcon.Count > 0 && !ReplaceIconFromFile(output, TextZ(raw->NewIcon))) {
    return kCompileIconFailed;
  }
  if (!SaveCompiledScript(raw, output, exeMode)) return kCompileOutputFailed;
  if (mapFile != nullptr && !SaveLineMap(raw, source, mapFile)) return kCompileOutputFailed;
  return kCompileOk;
}

int32_t CompileFile(const char16_t* source, const char16_t* output, TRawScript* given,
                    char16_t* errorModule, uint32_t* errorLine, bool exeMode,
                    const char16_t* mapFile = nullptr) {
  TRawScript own{};
  TRawScript* raw = given != nullptr ? given : &own;
  uint32_t result =
      CompileToOutput(raw, PathOrEmpty(source), PathOrEmpty(output), exeMode, mapFile);
  if (errorLine != nullptr) *errorLine = raw->ErrLine;
  if (errorModule != nullptr) ErrorModuleText(raw, errorModule);
  AfterCompiling(raw);
  return int32_t(result);
}

}  // namespace

extern "C" {

int32_t __stdcall ZcKernelVersion() {
  return kCompilerVersion;
}

int32_t __stdcall ZcInitializeCompiler(const char16_t* commandListPath) {
  return InitializeCompilerTables(PathOrEmpty(commandListPath));
}

void __stdcall ZcFinalizeCompiler() {
  FreeCommandList();
}

void __stdcall ZcBeforeCompiling(TRawScript* raw) {
  if (raw != nullptr) BeforeCompiling(raw);
}

void __stdcall ZcCompileScript(TRawScript* raw) {
  if (raw != nullptr) CompileScript(raw);
}

uint32_t __stdcall ZcSaveCompiledScript(TRawScript* raw, const char16_t* fileName,
                                        uint32_t append) {
  if (raw == nullptr || fileName == nullptr) return 0;
  return SaveCompiledScript(raw, fileName, (append & 0xFF) != 0) ? 1 : 0;
}

void __stdcall ZcAfterCompiling(TRawScript* raw) {
  if (raw != nullptr) AfterCompiling(raw);
}

int32_t __stdcall ZcCompileZorvatFile(const char16_t* source, const char16_t* output,
                                      TRawScript* raw, char16_t* errorModule, uint32_t* errorLine) {
  return CompileFile(source, output, raw, errorModule, errorLine, false);
}

int32_t __stdcall ZcCompileZorvatEXE(const char16_t* source, const char16_t* output,
                                     TRawScript* raw, char16_t* errorModule, uint32_t* errorLine) {
  return CompileFile(source, output, raw, errorModule, errorLine, true);
}

// CompileZorvatFile, and on success the line map of the image (which
// instruction came from which line of which module) written to `mapFile`, for
// hosts that report run-time errors at the script's line. The image is the
// same as without the map.
int32_t __stdcall ZcCompileZorvatFileMap(const char16_t* source, const char16_t* output,
                                         TRawScript* raw, char16_t* errorModule,
                                         uint32_t* errorLine, const char16_t* mapFile) {
  return CompileFile(source, output, raw, errorModule, errorLine, false, mapFile);
}

// Each export has exactly the type the public header gives it.
static_assert(std::is_same_v<decltype(&ZcKernelVersion), TZcKernelVersion>);
static_assert(std::is_same_v<decltype(&ZcInitializeCompiler), TZcInitializeCompiler>);
static_assert(std::is_same_v<decltype(&ZcFinalizeCompiler), TZcFinalizeCompiler>);
static_assert(std::is_same_v<decltype(&ZcBeforeCompiling), TZcRawScriptStep>);
static_assert(std::is_same_v<decltype(&ZcCompileScript), TZcRawScriptStep>);
static_assert(std::is_same_v<decltype(&ZcSaveCompiledScript), TZcSaveCompiledScript>);
static_assert(std::is_same_v<decltype(&ZcAfterCompiling), TZcRawScriptStep>);
static_assert(std::is_same_v<decltype(&ZcCompileZorvatFile), TZcCompileZorvatFile>);
static_assert(std::is_same_v<decltype(&ZcCompileZorvatEXE), TZcCompileZorvatFile>);
static_assert(std::is_same_v<decltype(&ZcCompileZorvatFileMap), TZcCompileZorvatFileMap>);

// Unloading the library releases the command list and the keywords. When the
// whole process ends, the system reclaims them and nothing is touched.
BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  if (reason == DLL_PROCESS_ATTACH) {
    DisableThreadLibraryCalls(instance);
  } else if (reason == DLL_PROCESS_DETACH && reserved == nullptr) {
    FreeCommandList();
    ResetKeywords();
  }
  return TRUE;
}

}  // extern "C"
