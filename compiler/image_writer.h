// The image writer: lays the sections out and writes the bytecode image
//
//   "_Zorvat_" | u32 N | N x (name, 0, u32 Flags, u32 Size) | section bytes |
//   u64 CRC-64 | u32 length of everything before this field
//
// for the N sections whose Size is not 0, in array order (the layout that
// runtime/core/image.h reads). The checksum is computed while writing; with
// CRC64_Needed false its 8 bytes are all 0xFF.
#pragma once

#include <cstdint>

#include "base/grow_array.h"
#include "compiler/compiler_types.h"

// Sets every section's OffsetInFile. False when the image would not fit the
// format's 32-bit lengths.
bool LayoutSections(TRawScript* raw);

// Receives the image in pieces; false stops the writing.
typedef bool (*TImageSink)(void* context, const void* bytes, uint32_t length);
bool WriteCompiledImage(const TRawScript* raw, TImageSink sink, void* context);

// Writes the image to a file: appended to an existing file, or replacing the
// file's contents. False when the compilation failed (nothing is touched then),
// when the file cannot be opened or a write fails; a partly written file is
// left as it is.
bool SaveCompiledScript(TRawScript* raw, const char16_t* fileName, bool append);
// The image in memory.
bool BuildCompiledImage(const TRawScript* raw, TGrowArray<uint8_t>* image);
