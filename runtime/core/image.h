// Loading, checking and preparing an image. Its byte layout is in
// base/image_format.h.
//
// Nothing in an image is trusted. Loading checks the frame, checksum and
// directory; preparation walks every code section and checks each
// instruction, parameter, "JTS" entry, label slot and constant against the
// image, and records where every instruction starts. A label slot may hold
// any position of the sections' bytes (labels mark data and section ends
// too); a jump checks its target when it is taken. Code positions stay
// image offsets: label slots keep the offsets the compiler wrote, and command
// codes stay in place and are dispatched through the table at run time.
//
// Preparation copies every constant a parameter refers to into an aligned
// pool owned by the context and replaces the parameter's "LDS" offset by the
// constant's index in that pool: the compiler packs constants without
// alignment, and the runtime reads their headers and elements in place.
#pragma once

#include <cstdint>

#include "base/image_format.h"
#include "runtime/core/quick_code.h"
#include "runtime/core/types.h"

// What preparation learned about the code, owned by the context.
struct TCodeBounds {
  uint32_t Start;
  uint32_t End;
};
// An open-ended instruction's parameter list from a given parameter on, as
// preparation found it: how many parameters follow before the end byte, and
// the position after that byte. Open-ended handlers ask for this on every
// execution; preparation has walked the lists once already.
struct TParamListEntry {
  uint32_t Position;  // kNoListEntry for an empty slot
  uint32_t Count;
  uint32_t End;
};
constexpr uint32_t kNoListEntry = 0xFFFFFFFFu;

struct TPreparedImage {
  uint8_t* InstrStarts;     // one bit per image byte: an instruction starts here
  PArrayHeader* Constants;  // indexed by the rewritten payload of kinds 3-6, 8, 13, 14
  uint32_t ConstantCount;
  uint8_t* ConstantPool;
  TCodeBounds* CodeSections;  // non-empty code sections, in image order
  uint32_t CodeSectionCount;
  // Open-ended lists from their first and second parameter on, indexed by
  // position & ListMask. A position that two lists share a slot for, or that
  // no entry names, is counted by walking the list.
  TParamListEntry* Lists;
  uint32_t ListMask;
  // The decoded form of every instruction (quick_code.h); its tables are
  // null when the executor is to read every instruction the plain way.
  TQuickCode Quick;
};

// The parameter count and list end recorded for `position`, or false.
inline bool FindParamList(const TPreparedImage* prepared, uint32_t position, uint32_t* count,
                          uint32_t* end) {
  const TParamListEntry& e = prepared->Lists[position & prepared->ListMask];
  if (e.Position != position) return false;
  *count = e.Count;
  *end = e.End;
  return true;
}

inline bool IsInstructionStart(const TPreparedImage* prepared, uint32_t offset) {
  return (prepared->InstrStarts[offset >> 3] >> (offset & 7)) & 1;
}

// Reads the image from the end of a file: the last 4 bytes give the image
// length minus 4, so bytes before the image are ignored. On success the
// caller owns *image (free with FreeImage). Status 0 or 1.
TStatus LoadImageFile(const char16_t* fileName, uint8_t** image, uint32_t* length);
void FreeImage(uint8_t* image);

// Magic, trailing length, checksum and directory: 0, 2 or 3.
TStatus ValidateImage(const uint8_t* image, uint32_t length);

// Fills SectionCount and SectionIndex from the directory. A directory that
// does not fit the image leaves the context without sections and sets
// ImageFault; the result is 0 or 2.
TStatus BuildSectionIndex(TScriptContext* context);

// The section with exactly this name (case-sensitive), or null.
const TSection* FindImageSection(const TScriptContext* context, const char* name);
inline uint32_t SectionOffset(const TScriptContext* context, const TSection* section) {
  return uint32_t(section->SectionPtr - context->ScriptStart);
}

// Checks every code section, every "JTS" entry and every constant, records
// instruction starts and builds the constant pool. 0, 2, 21 or 22; on
// failure Error_At is the offset of the offending byte and the image is left
// as it was. A context is prepared once; a second call returns 0.
TStatus PrepareImage(TScriptContext* context);
void FreePreparedImage(TScriptContext* context);

// Steps over the parameters of one instruction starting at `*pos`, reading at
// most `count` of them or up to a kind-10 byte, never at or past `end`. On
// success `*pos` is the position after them. Failure is 22 (a kind above 14,
// `*pos` at it) or 2 (the list runs past `end`).
TStatus SkipParams(const uint8_t* image, uint32_t end, uint32_t* pos, uint32_t count);

// The bounds of the code section that holds `offset`, if any.
const TCodeBounds* FindCodeBounds(const TPreparedImage* prepared, uint32_t offset);
