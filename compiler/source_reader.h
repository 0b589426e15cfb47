// Source reading: a script file and the modules it includes become the flat
// list of lines that compilation walks (ScriptText), each with its origin
// (ScriptLines).
//
// A line whose first character other than a space is "&" and whose first
// token is the include or the use-once keyword names modules, up to the end
// of the line or a ";" token. The line itself becomes empty; the named
// modules' lines, themselves expanded depth first, stand before it in the
// order named. The use-once keyword skips a module whose resolved path (case
// ignored) was loaded before. Every loaded module gets the next index in
// ScriptModules. The expansion is built in order as it is read, so it costs
// time in proportion to the lines it produces.
#pragma once

#include <cstdint>

#include "compiler/compiler_text.h"
#include "compiler/compiler_types.h"

// The file name that a directive token stands for: without its double quotes
// if it has them; then, if ReparseFileNames is set, ScriptPath is not empty
// and the name holds none of ":\", ":/" and "\\", it is relative: one leading
// "\" or "/" goes and ScriptPath is put in front.
void ResolvePath(const TRawScript* raw, TTextSpan token, TCompilerText* path);

// Whether a file name holds ":\", ":/" or "\\" and so names its folder
// itself.
bool IsAbsolutePath(TTextSpan name);

// Loads the main script with its modules. 0; 2 when a file cannot be read;
// 112 when inclusion nests more than kMaxInclusionDepth levels; 113 when more
// than kMaxModuleLoads modules would be loaded. A failing module is reported
// at the inclusion line that named it (ErrLine, ErrModule, StopErrorHandling);
// a main script that cannot be read reports no line.
uint32_t LoadMainScript(TRawScript* raw, const char16_t* path);

// Appends the lines of a script held in memory (decoded as a file would be)
// as lines of module `moduleIndex`, without expanding inclusions.
void AddScriptLines(TRawScript* raw, const uint8_t* bytes, uint32_t length, int32_t moduleIndex);
