// One compilation, in the steps that the exported interface offers:
//
//   BeforeCompiling -> (ScriptText and ScriptLines filled, by LoadMainScript
//   or by the host) -> CompileScript -> SaveCompiledScript when
//   CompilingResult is 0 -> AfterCompiling
//
// and the whole sequence for a source file (CompileSourceFile), on which the
// exported file-compiling entry points are built.
#pragma once

#include <cstdint>

#include "compiler/compiler_types.h"
#include "include/zorvat_compiler.h"

// Reads the command-list file and the keyword file beside it: 0; -1 when the
// command-list file cannot be read, or the keyword file cannot be read or is
// invalid; n > 0 when line n of the command-list file is invalid.
int32_t InitializeCompilerTables(const char16_t* commandListPath);

// Resets the record for a new compilation (ScriptPath is kept) and creates
// "LDS", "JTS" and "GCS", leaving "GCS" current.
void BeforeCompiling(TRawScript* raw);
// Compiles ScriptText; the result is in CompilingResult, ErrLine, ErrModule.
void CompileScript(TRawScript* raw);
// Releases everything the record holds, ScriptPath and NewIcon included: the
// record is as good as zero-filled afterwards.
void AfterCompiling(TRawScript* raw);

// Compiles one line of ScriptText into the current section.
uint32_t CompileLine(TRawScript* raw, uint32_t index);

// Sets ScriptPath from the source path, then BeforeCompiling, LoadMainScript
// and CompileScript. Returns the result code, also left in CompilingResult.
uint32_t CompileSourceFile(TRawScript* raw, const char16_t* sourcePath);

// The module text a host shows for the error: empty for the main script;
// otherwise the module's path, shortened to "…" and its last 259 units when it
// is longer than 260. `buffer` receives it zero-terminated (261 units).
constexpr uint32_t kErrorModuleBufferUnits = ZC_ERROR_MODULE_UNITS;
void ErrorModuleText(const TRawScript* raw, char16_t* buffer);
