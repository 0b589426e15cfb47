// Binary blocks: length-counted byte strings held as unified arrays
// (ElemSize 1, ElemCount = length + 2, the two bytes after the data always
// 0, so the data can go to the operating system as a zero-terminated 8-bit or
// UTF-16 string). Constructors that would make an empty block return the
// shared static empty block. Null results mean a size failure (1002).
#pragma once

#include <cstdint>

#include "runtime/values/unified_array.h"

// The built-in static blocks (IsDynamic 0, never freed).
PArrayHeader BB_Empty();
PArrayHeader BB_Blank();  // one blank

// The number of data bytes; 0 for null.
inline uint32_t BB_Length(const TArrayHeader* block) {
  return block == nullptr || block->ElemCount < 2 ? 0 : block->ElemCount - 2;
}

// A new dynamic block of `length` zero bytes; 0 gives the static empty block.
PArrayHeader BB_New(uint32_t length);
PArrayHeader BB_FromBuffer(const void* data, uint32_t length);
// UA_SetCount to length + 2, then the two zero bytes.
bool BB_SetLength(PArrayHeader* slot, uint32_t length);
// A static block is shared; a dynamic block of length 0 gives the static
// empty block; otherwise a copy. Null stays null.
PArrayHeader BB_Clone(PArrayHeader block);
// Three-way comparison, bytes mapped through the ANSI upper-case table when
// ignoring case.
int BB_Compare(const uint8_t* a, uint32_t lengthA, const uint8_t* b, uint32_t lengthB,
               bool ignoreCase);
// Position of the first occurrence at or after `start`, else -1; an empty
// needle is never found.
int32_t BB_Find(const uint8_t* needle, uint32_t needleLength, const uint8_t* haystack,
                bool ignoreCase, uint32_t start, uint32_t haystackLength);
