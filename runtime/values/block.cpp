// Binary blocks: constructors, resizing, comparison and search.
#include "runtime/values/block.h"

#include <cstring>

#include "base/case_tables.h"
#include "runtime/values/mapped_search.h"

namespace {

// Data bytes plus the two zero bytes that always follow them.
constexpr uint32_t kTerminatorBytes = 2;

template <size_t N>
struct TStaticBlock {
  TArrayHeader Header;
  uint8_t Bytes[N];
};

// Read-only storage, as for the static texts: a stray write faults at once.
constexpr TStaticBlock<2> kEmptyBlock = {{1, 2, 2, 0}, {0, 0}};
constexpr TStaticBlock<3> kBlankBlock = {{1, 3, 3, 0}, {' ', 0, 0}};

PArrayHeader Shared(const TArrayHeader& header) {
  return const_cast<PArrayHeader>(&header);
}

// A dynamic block of `length` zero bytes, even for length 0: resizing must
// leave something the caller may write to.
PArrayHeader NewDynamic(uint32_t length) {
  if (length > UINT32_MAX - kTerminatorBytes) return nullptr;
  return UA_New(length + kTerminatorBytes, 1);
}

}  // namespace

PArrayHeader BB_Empty() {
  return Shared(kEmptyBlock.Header);
}
PArrayHeader BB_Blank() {
  return Shared(kBlankBlock.Header);
}

PArrayHeader BB_New(uint32_t length) {
  if (length == 0) return BB_Empty();
  return NewDynamic(length);
}

PArrayHeader BB_FromBuffer(const void* data, uint32_t length) {
  if (length == 0) return BB_Empty();
  PArrayHeader block = NewDynamic(length);
  if (block != nullptr) std::memcpy(UA_Data(block), data, length);
  return block;
}

bool BB_SetLength(PArrayHeader* slot, uint32_t length) {
  if (*slot == nullptr) {
    PArrayHeader block = NewDynamic(length);
    if (block == nullptr) return false;
    *slot = block;
    return true;
  }
  if (length > UINT32_MAX - kTerminatorBytes || !UA_SetCount(slot, length + kTerminatorBytes)) {
    return false;
  }
  // A shrink leaves old data where the zero bytes belong.
  uint8_t* data = UA_Data(*slot);
  data[length] = 0;
  data[length + 1] = 0;
  return true;
}

PArrayHeader BB_Clone(PArrayHeader block) {
  if (block == nullptr || UA_IsStatic(block)) return block;
  return BB_FromBuffer(UA_Data(block), BB_Length(block));
}

int BB_Compare(const uint8_t* a, uint32_t lengthA, const uint8_t* b, uint32_t lengthB,
               bool ignoreCase) {
  if (ignoreCase) {
    return CompareMapped(a, lengthA, b, lengthB, TTableMap<uint8_t>{AnsiUpperCaseTable()});
  }
  return CompareMapped(a, lengthA, b, lengthB, TIdentityMap{});
}

int32_t BB_Find(const uint8_t* needle, uint32_t needleLength, const uint8_t* haystack,
                bool ignoreCase, uint32_t start, uint32_t haystackLength) {
  if (ignoreCase) {
    return FindMapped(needle, needleLength, haystack, start, haystackLength,
                      TTableMap<uint8_t>{AnsiUpperCaseTable()});
  }
  return FindMapped(needle, needleLength, haystack, start, haystackLength, TIdentityMap{});
}
