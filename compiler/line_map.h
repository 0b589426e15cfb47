// The line map: which source line each instruction came from, so that a host
// can report a failing command at its line instead of at an image offset.
// The image stays byte for byte what it would be without the map; the map
// travels beside it as a small text file:
//
//   zorvat line map 1
//   image LENGTH CHECKSUM          the image's length and its stored CRC-64 (hex)
//   module N PATH                  0 is the main script, N > 0 an included module
//   OFFSET MODULE LINE             one per instruction: image offset (hex), module, 1-based line
//
// Paths are UTF-8. A host compares LENGTH and CHECKSUM with the image it runs
// and ignores a map written for another image.
#pragma once

#include <cstdint>

#include "compiler/compiler_types.h"

struct TLineMapEntry {
  uint32_t Section;
  uint32_t OffsetInSection;
  uint32_t ScriptLine;  // index in ScriptText
};

// Called after line `scriptLine` compiled: when it added bytes to a code
// section, those bytes are one instruction that starts at `sizeBefore`.
void NoteCompiledLine(TRawScript* raw, uint32_t scriptLine, uint32_t section, uint32_t sizeBefore);

// The map of a successful compilation of `sourcePath`, written to `mapPath`.
// False when the compilation failed or the file cannot be written.
bool SaveLineMap(const TRawScript* raw, const char16_t* sourcePath, const char16_t* mapPath);
