// The bytecode image: what the compiler writes, the runtime loads, checks,
// prepares and runs, and the host describes. Every fact of the format lives
// here; the loader (runtime/core/image.h), the fetch routines, the executor,
// the compiler's writer and the host's "info" all read it from this header.
// All integers are little-endian.
//
//   offset 0        8           12                              L-12      L-4   L
//   +--------------+-----------+------------------------------+---------+-----+
//   | "_Zorvat_"   | u32 count | directory | section bytes    | CRC-64  | L-4 |
//   +--------------+-----------+------------------------------+---------+-----+
//
//   directory entry:  name bytes, 0 | u32 SectionFlag (bit 0: code) | u32 length
//   Sections follow the directory back to back, in directory order; an entry
//   holds no offset. The checksum covers bytes [0, L-12); all 0xFF means "none".
//
//   instruction:  u32 command code (0..363) | parameter | parameter | ...
//   parameter:    u8 kind (TParamType) | payload of kParamPayloadSize[kind] bytes
//
//   kind  payload                       kind  payload
//    0 default          -                 8 DWORD array     u32 "LDS" offset
//    1 integer          i64               9 variable        u32 reference
//    2 extended         80-bit float     10 end of list     -
//    3 integer array    u32 "LDS" offset 11 byte            i8
//    4 float array      u32 "LDS" offset 12 word            i16
//    5 binary block     u32 "LDS" offset 13 text            u32 "LDS" offset
//    6 block list       u32 "LDS" offset 14 text list       u32 "LDS" offset
//    7 DWORD            u32 (also a label slot)
//
//   A fixed-count instruction carries exactly its count of parameters, or
//   fewer followed by a kind-10 byte; an open-ended one (kOpenEnded) ends
//   with kind 10.
//
//   "LDS" (data) holds constants as unified arrays with IsDynamic 0 (a 16-byte
//   header, then the elements, ConstantElemSize bytes each); "JTS" (data) lists
//   the image offsets of the 4-byte label slots; "GCS" (code) is run when the
//   host names no section.
#pragma once

#include <cstdint>

#include "base/value_kinds.h"

constexpr char kImageMagic[8] = {'_', 'Z', 'o', 'r', 'v', 'a', 't', '_'};
// Magic, section count, checksum and trailing length: the smallest image.
constexpr uint32_t kImageMinLength = 24;
constexpr uint32_t kImageTrailerLength = 12;  // checksum + length
// A stored checksum of all ones: the image carries none.
constexpr uint64_t kNoChecksum = 0xFFFFFFFFFFFFFFFFull;

// SectionFlag bit 0: the section holds code.
constexpr uint32_t kCodeSectionFlag = 1;

// The parameter count of an instruction that takes any number of parameters
// and ends with a kind-10 byte.
constexpr uint32_t kOpenEnded = 0x7FFFFFFD;

// Payload size of each parameter kind; kinds above 14 are invalid.
constexpr uint8_t kParamPayloadSize[kParamTypeCount] = {0, 8, 10, 4, 4, 4, 4, 4,
                                                        4, 4, 0,  1, 2, 4, 4};

// Parameter kinds whose payload is the "LDS" offset of a constant.
constexpr bool IsLongDataKind(uint8_t kind) {
  return (kind >= ptIntArray && kind <= ptBinBlockList) || kind == ptDWORDArray ||
         kind == ptUnicodeString || kind == ptUnicodeStringList;
}

// Element sizes of the unified arrays, as constants in "LDS" and as values.
constexpr uint32_t kIntElemSize = 8;
constexpr uint32_t kExtElemSize = 10;  // the 10 significant bytes of an x87 extended
constexpr uint32_t kByteElemSize = 1;
constexpr uint32_t kCharElemSize = 2;  // one UTF-16 unit
constexpr uint32_t kDWORDElemSize = 4;

// Element size of the constant a long-data parameter kind refers to: a list
// constant stores one 4-byte "LDS" offset per item.
constexpr uint32_t ConstantElemSize(uint8_t kind) {
  switch (kind) {
    case ptIntArray:
      return kIntElemSize;
    case ptExtArray:
      return kExtElemSize;
    case ptBinBlock:
      return kByteElemSize;
    case ptUnicodeString:
      return kCharElemSize;
    default:  // DWORD arrays and both list kinds
      return kDWORDElemSize;
  }
}

// The versions the two libraries report (KernelVersion); the runtime's also
// stands in the caption of its error box.
#define ZORVAT_RUNTIME_VERSION 2313
#define ZORVAT_COMPILER_VERSION 2310
constexpr int32_t kRuntimeVersion = ZORVAT_RUNTIME_VERSION;
constexpr int32_t kCompilerVersion = ZORVAT_COMPILER_VERSION;
