// Sections of the image being compiled: named, growing byte buffers, each a
// code or a data section. "LDS", "JTS" and "GCS" always exist, in that order;
// sections that the script declares follow in order of first declaration.
// Names are 8-bit (the ANSI code page) and compared exactly.
#pragma once

#include <cstdint>

#include "compiler/compiler_text.h"
#include "compiler/compiler_types.h"

// Appends a section with an empty buffer and makes it current; false (and
// nothing changed) when a section of that name exists.
bool AddSection(TRawScript* raw, const char* name, uint32_t length, uint32_t flags);
// The index of the section with exactly this name, or -1.
int32_t FindSection(TRawScript* raw, const char* name, uint32_t length);

// Appends bytes, growing the buffer geometrically. False, with nothing
// appended, when the section would pass the 4 GiB that the format can
// describe.
bool AppendBytes(TCompSection& section, const void* bytes, uint32_t length);
// Appends to the current section. A refused append is remembered and fails
// the line being compiled with kCompileImageTooLarge.
void EmitBytes(TRawScript* raw, const void* bytes, uint32_t length);
void EmitByte(TRawScript* raw, uint8_t value);
void EmitU16(TRawScript* raw, uint16_t value);
void EmitU32(TRawScript* raw, uint32_t value);
void EmitU64(TRawScript* raw, uint64_t value);

inline TCompSection& CurrentSection(TRawScript* raw) {
  return raw->Sections.Items[raw->CurrentSection];
}

// A section declaration: `kindWord` is the code or data keyword, `name` the
// section's name as written. 0, 103, 104 or 105.
uint32_t DeclareSection(TRawScript* raw, TTextSpan kindWord, TTextSpan name);

// "LDS" and "JTS" (data) and "GCS" (code), with "GCS" current.
void CreateStandardSections(TRawScript* raw);
// Frees every section's buffer, name and labels, and empties Sections.
void FreeSections(TRawScript* raw);
