// The compiler's private working state for one TRawScript: indexes that keep
// compilation linear, and scratch buffers reused from line to line. It hangs
// off TRawScript::Work, is created on demand and freed by AfterCompiling.
#pragma once

#include <cstdint>

#include "compiler/compiler_types.h"
#include "compiler/extended_float.h"
#include "compiler/hash_index.h"
#include "compiler/line_map.h"
#include "compiler/long_data.h"

struct TCompilerWork {
  TLongDataIndex LongData;
  THashIndex SectionNames;      // exact section name -> section index
  uint32_t IndexedSections;     // sections [0, IndexedSections) are in SectionNames
  bool ImageTooLarge;           // a section refused to grow past the format's limit
  TGrowArray<uint8_t> Payload;  // the literal being compiled
  TGrowArray<uint8_t> Item;     // the long-data item being stored
  TExtendedScratch Floats;      // the big numbers of floating-point literals
  TCompilerText Path;           // a resolved file name
  TGrowArray<uint8_t> FileBytes;
  TGrowArray<TLineMapEntry> LineMap;  // instructions in the order they were compiled
};

TCompilerWork* EnsureWork(TRawScript* raw);
void FreeWork(TRawScript* raw);
