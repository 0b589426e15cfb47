// Sections of the image being compiled: named, growing byte buffers, each a
// code or a data section. "LDS", "JTS" and "GCS" always exist, in that order;
// sections that the script declares follow in order of first declaration.
// Names are 8-bit (the ANSI code page) and compared exactly.
#pragma once

#include <cstdint>
#include <cstring>

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
inline TCompSection& CurrentSection(TRawScript* raw) {
  return raw->Sections.Items[raw->CurrentSection];
}

// Appends to the current section. A refused append is remembered and fails
// the line being compiled with kCompileImageTooLarge.
void EmitBytesGrowing(TRawScript* raw, const void* bytes, uint32_t length);
// Instructions are written a few bytes at a time, and nearly every piece
// fits the buffer as it is.
inline void EmitBytes(TRawScript* raw, const void* bytes, uint32_t length) {
  TCompSection& section = CurrentSection(raw);
  if (length != 0 && section.Size < section.BufSize && length <= section.BufSize - section.Size) {
    std::memcpy(section.Ptr + section.Size, bytes, length);
    section.Size += length;
    return;
  }
  EmitBytesGrowing(raw, bytes, length);
}
inline void EmitByte(TRawScript* raw, uint8_t value) {
  EmitBytes(raw, &value, 1);
}
inline void EmitU16(TRawScript* raw, uint16_t value) {
  const uint8_t b[2] = {uint8_t(value), uint8_t(value >> 8)};
  EmitBytes(raw, b, 2);
}
inline void EmitU32(TRawScript* raw, uint32_t value) {
  uint8_t b[4];
  for (int i = 0; i < 4; ++i) b[i] = uint8_t(value >> (8 * i));
  EmitBytes(raw, b, 4);
}
inline void EmitU64(TRawScript* raw, uint64_t value) {
  uint8_t b[8];
  for (int i = 0; i < 8; ++i) b[i] = uint8_t(value >> (8 * i));
  EmitBytes(raw, b, 8);
}

// A section declaration: `kindWord` is the code or data keyword, `name` the
// section's name as written. 0, 103, 104 or 105.
uint32_t DeclareSection(TRawScript* raw, TTextSpan kindWord, TTextSpan name);

// "LDS" and "JTS" (data) and "GCS" (code), with "GCS" current.
void CreateStandardSections(TRawScript* raw);
// Frees every section's buffer, name and labels, and empties Sections.
void FreeSections(TRawScript* raw);
