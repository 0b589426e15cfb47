#include "runtime/core/image.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <unordered_map>
#include <vector>

#include "base/bytes.h"
#include "base/crc64.h"
#include "base/fatal.h"
#include "base/platform.h"
#include "base/status.h"
#include "runtime/core/dispatch.h"

namespace {

// ---- The frame: length, magic, trailing length. ----
TStatus CheckFrame(const uint8_t* image, uint32_t length) {
  if (image == nullptr || length < kImageMinLength) return kStatusMalformedImage;
  if (std::memcmp(image, kImageMagic, sizeof kImageMagic) != 0) return kStatusMalformedImage;
  if (LoadU32(image + length - 4) != length - 4) return kStatusMalformedImage;
  return kStatusOk;
}

TStatus CheckChecksum(const uint8_t* image, uint32_t length) {
  uint64_t stored = LoadU64(image + length - kImageTrailerLength);
  if (stored == kNoChecksum) return kStatusOk;
#ifdef FUZZING_BUILD_MODE_UNSAFE_FOR_PRODUCTION
  return kStatusOk;  // lets the fuzzer past the checksum
#else
  return CRC64_Calc(image, length - kImageTrailerLength) == stored ? kStatusOk
                                                                   : kStatusChecksumMismatch;
#endif
}

// One directory entry as it stands in the image.
struct TDirectoryEntry {
  uint32_t NameOffset;
  uint32_t Flag;
  uint32_t Length;
};

// Walks the directory; every name, flag and length must lie before the
// checksum, and the sections must fit between the directory and the checksum.
// Calls `visit` for each entry with the running data offset.
template <typename Visit>
TStatus WalkDirectory(const uint8_t* image, uint32_t length, Visit visit) {
  const uint32_t dataEnd = length - kImageTrailerLength;
  const uint32_t count = LoadU32(image + 8);
  // Each entry takes at least 9 bytes; this keeps a hostile count cheap.
  if (count > (dataEnd - 12) / 9) return kStatusMalformedImage;
  std::vector<TDirectoryEntry> entries(count);
  uint32_t pos = 12;
  uint64_t total = 0;
  for (uint32_t k = 0; k < count; ++k) {
    const void* zero = std::memchr(image + pos, 0, dataEnd - pos);
    if (zero == nullptr) return kStatusMalformedImage;
    uint32_t nameEnd = uint32_t(static_cast<const uint8_t*>(zero) - image);
    if (uint64_t(nameEnd) + 9 > dataEnd) return kStatusMalformedImage;
    entries[k] = {pos, LoadU32(image + nameEnd + 1), LoadU32(image + nameEnd + 5)};
    total += entries[k].Length;
    pos = nameEnd + 9;
  }
  if (total > dataEnd - pos) return kStatusMalformedImage;
  uint32_t dataOffset = pos;
  for (const TDirectoryEntry& e : entries) {
    visit(e, dataOffset);
    dataOffset += e.Length;
  }
  return kStatusOk;
}

TStatus CheckDirectory(const uint8_t* image, uint32_t length) {
  return WalkDirectory(image, length, [](const TDirectoryEntry&, uint32_t) {});
}

// ---- Preparation. ----

class TBitmap {
 public:
  explicit TBitmap(uint32_t bits) : bits_((size_t(bits) + 7) / 8, 0) {}
  void Set(uint32_t i) { bits_[i >> 3] |= uint8_t(1u << (i & 7)); }
  bool Get(uint32_t i) const { return (bits_[i >> 3] >> (i & 7)) & 1; }
  std::vector<uint8_t>& Bytes() { return bits_; }

 private:
  std::vector<uint8_t> bits_;
};

// A non-empty section's bytes, in image order.
struct TSectionSpan {
  uint32_t Start;
  uint32_t End;
  bool IsCode;
};

// A parameter that refers to a constant of "LDS".
struct TConstantRef {
  uint32_t PayloadPos;
  uint8_t Kind;
};

struct TPrepareState {
  TScriptContext* Context;
  const uint8_t* Image;
  uint32_t Length;
  TBitmap InstrStarts;
  TBitmap LabelSlots;  // payload positions of kind-7 parameters
  std::vector<TConstantRef> ConstantRefs;
  std::vector<TCodeBounds> CodeSections;
  std::vector<TParamListEntry> Lists;  // open-ended lists, before hashing

  TStatus Fail(TStatus status, uint32_t at) {
    Context->Error_At = at;
    return status;
  }
};

// Walks one instruction's parameters, recording label slots and constants,
// and for an open-ended list where it ends from its first and second
// parameter on.
TStatus WalkParams(TPrepareState& s, uint32_t end, uint32_t* pos, uint32_t count) {
  uint32_t q = *pos;
  uint32_t second = kNoListEntry;
  uint32_t n = 0;
  for (; n < count; ++n) {
    if (n == 1) second = q;
    if (q >= end) return s.Fail(kStatusMalformedImage, q);
    uint8_t kind = s.Image[q];
    if (kind == ptEndOfParam) {
      ++q;
      break;
    }
    if (kind >= kParamTypeCount) return s.Fail(kStatusBadParamKind, q);
    uint32_t size = kParamPayloadSize[kind];
    if (end - q - 1 < size) return s.Fail(kStatusMalformedImage, q);
    if (kind == ptDWORD) s.LabelSlots.Set(q + 1);
    if (IsLongDataKind(kind)) s.ConstantRefs.push_back({q + 1, kind});
    q += 1 + size;
  }
  if (count == kOpenEnded) {
    s.Lists.push_back({*pos, n, q});
    if (second != kNoListEntry) s.Lists.push_back({second, n - 1, q});
  }
  *pos = q;
  return kStatusOk;
}

// Spreads the recorded lists over a table of at least twice their number
// (a power of two, so that a position finds its slot with a mask).
void BuildListTable(TPrepareState& s, TPreparedImage* prepared) {
  uint32_t size = 1;
  while (size < s.Lists.size() * 2 && size < (1u << 20)) size *= 2;
  prepared->Lists = static_cast<TParamListEntry*>(std::malloc(size * sizeof(TParamListEntry)));
  if (prepared->Lists == nullptr) FatalOutOfMemory();
  for (uint32_t i = 0; i < size; ++i) prepared->Lists[i] = {kNoListEntry, 0, 0};
  prepared->ListMask = size - 1;
  for (const TParamListEntry& e : s.Lists) {
    TParamListEntry& slot = prepared->Lists[e.Position & prepared->ListMask];
    // The first list keeps a shared slot; the other one is walked.
    if (slot.Position == kNoListEntry) slot = e;
  }
}

TStatus WalkCodeSection(TPrepareState& s, uint32_t start, uint32_t length) {
  const uint32_t end = start + length;
  uint32_t p = start;
  while (p < end) {
    if (end - p < 4) return s.Fail(kStatusMalformedImage, p);
    uint32_t code = LoadU32(s.Image + p);
    if (code >= kCommandCount) return s.Fail(kStatusBadCommandCode, p);
    s.InstrStarts.Set(p);
    p += 4;
    TStatus status = WalkParams(s, end, &p, kDispatchTable[code].ParamCount);
    if (status != kStatusOk) return status;
  }
  if (length > 0) s.CodeSections.push_back({start, end});
  return kStatusOk;
}

// Where a "JTS" entry may point: inside a code section only at the payload of
// a kind-7 parameter; inside a data section at any four bytes of it (a
// statement compiled into a data section leaves its slots there).
bool IsLabelSlot(const TPrepareState& s, const std::vector<TSectionSpan>& spans, uint32_t slot) {
  auto it = std::upper_bound(spans.begin(), spans.end(), slot,
                             [](uint32_t o, const TSectionSpan& span) { return o < span.Start; });
  if (it == spans.begin()) return false;
  --it;
  if (it->IsCode) return slot < it->End && s.LabelSlots.Get(slot);
  return uint64_t(slot) + 4 <= it->End;
}

// Every "JTS" entry must name a slot inside a section, and the slot must
// hold a position inside the sections' bytes or at their end. A slot need
// not hold an instruction: labels mark data too, and a label at the end of a
// section marks the end. Jumps check their target when they are taken.
TStatus CheckLabelSlots(TPrepareState& s, const std::vector<TSectionSpan>& spans, uint32_t start,
                        uint32_t length) {
  const uint32_t dataEnd = s.Length - kImageTrailerLength;
  for (uint32_t i = 0; i + 4 <= length; i += 4) {
    uint32_t slot = LoadU32(s.Image + start + i);
    if (!IsLabelSlot(s, spans, slot) || LoadU32(s.Image + slot) > dataEnd) {
      return s.Fail(kStatusMalformedImage, start + i);
    }
  }
  return kStatusOk;
}

// A constant found valid, to be copied into the pool.
struct TPoolEntry {
  uint32_t LdsOffset;
  uint8_t Kind;
  uint32_t ElemCount;
  uint64_t PoolOffset;
};

// Checks the constant at `offset` of "LDS" for a parameter of `kind`. A text
// must end with a zero unit and a block with two zero bytes. Lists hold item
// pointers, which no file can carry, so only empty lists are valid.
bool CheckConstant(const uint8_t* lds, uint32_t ldsLength, uint32_t offset, uint8_t kind,
                   uint32_t* elemCount) {
  if (offset > ldsLength || ldsLength - offset < sizeof(TArrayHeader)) return false;
  const uint8_t* header = lds + offset;
  uint32_t elemSize = LoadU32(header);
  uint32_t count = LoadU32(header + 4);
  if (elemSize != ConstantElemSize(kind)) return false;
  if (uint64_t(count) * elemSize > ldsLength - offset - sizeof(TArrayHeader)) return false;
  const uint8_t* data = header + sizeof(TArrayHeader);
  switch (kind) {
    case ptUnicodeString:
      if (count < 1 || LoadU16(data + (count - 1) * 2) != 0) return false;
      break;
    case ptBinBlock:
      if (count < 2 || data[count - 1] != 0 || data[count - 2] != 0) return false;
      break;
    case ptBinBlockList:
    case ptUnicodeStringList:
      if (count != 0) return false;
      break;
  }
  *elemCount = count;
  return true;
}

// Builds the aligned pool of constants and the payload rewrites, or fails
// with 2 and leaves the image untouched.
TStatus BuildConstantPool(TPrepareState& s, TPreparedImage* prepared) {
  if (s.ConstantRefs.empty()) return kStatusOk;
  const TSection* ldsSection = FindImageSection(s.Context, "LDS");
  std::unordered_map<uint64_t, uint32_t> indexByKey;
  std::vector<TPoolEntry> entries;
  std::vector<uint32_t> rewrites(s.ConstantRefs.size());
  uint64_t poolBytes = 0;
  // A hostile image could point many parameters at overlapping large
  // constants; compiled images never come near this bound.
  const uint64_t poolLimit = uint64_t(s.Length) * 4 + 65536;
  for (size_t i = 0; i < s.ConstantRefs.size(); ++i) {
    const TConstantRef& ref = s.ConstantRefs[i];
    uint32_t offset = LoadU32(s.Image + ref.PayloadPos);
    uint64_t key = (uint64_t(ref.Kind) << 32) | offset;
    auto found = indexByKey.find(key);
    if (found != indexByKey.end()) {
      rewrites[i] = found->second;
      continue;
    }
    uint32_t count = 0;
    if (ldsSection == nullptr || !CheckConstant(ldsSection->SectionPtr, ldsSection->SectionLength,
                                                offset, ref.Kind, &count)) {
      return s.Fail(kStatusMalformedImage, ref.PayloadPos - 1);
    }
    bool isList = ref.Kind == ptBinBlockList || ref.Kind == ptUnicodeStringList;
    uint64_t bytes =
        sizeof(TArrayHeader) + (isList ? 0 : uint64_t(count) * ConstantElemSize(ref.Kind));
    entries.push_back({offset, ref.Kind, count, poolBytes});
    poolBytes += RoundUp(bytes, 16);
    if (poolBytes > poolLimit) return s.Fail(kStatusMalformedImage, ref.PayloadPos - 1);
    uint32_t index = uint32_t(entries.size() - 1);
    indexByKey.emplace(key, index);
    rewrites[i] = index;
  }

  uint8_t* pool = static_cast<uint8_t*>(std::calloc(size_t(poolBytes), 1));
  PArrayHeader* constants =
      static_cast<PArrayHeader*>(std::calloc(entries.size(), sizeof(PArrayHeader)));
  if (pool == nullptr || constants == nullptr) FatalOutOfMemory();
  for (size_t k = 0; k < entries.size(); ++k) {
    const TPoolEntry& e = entries[k];
    PArrayHeader a = reinterpret_cast<PArrayHeader>(pool + e.PoolOffset);
    bool isList = e.Kind == ptBinBlockList || e.Kind == ptUnicodeStringList;
    a->ElemSize = isList ? kListElemSize : ConstantElemSize(e.Kind);
    a->ElemCount = e.ElemCount;
    a->TrueElemCount = e.ElemCount;
    a->IsDynamic = 0;
    if (!isList) {
      std::memcpy(UA_Data(a), ldsSection->SectionPtr + e.LdsOffset + sizeof(TArrayHeader),
                  size_t(e.ElemCount) * a->ElemSize);
    }
    constants[k] = a;
  }
  for (size_t i = 0; i < s.ConstantRefs.size(); ++i) {
    StoreU32(s.Context->ScriptStart + s.ConstantRefs[i].PayloadPos, rewrites[i]);
  }
  prepared->ConstantPool = pool;
  prepared->Constants = constants;
  prepared->ConstantCount = uint32_t(entries.size());
  return kStatusOk;
}

bool IsJumpTable(const TSection& section) {
  return (section.SectionFlag & kCodeSectionFlag) == 0 && std::strcmp(section.Name, "JTS") == 0;
}

}  // namespace

TStatus LoadImageFile(const char16_t* fileName, uint8_t** image, uint32_t* length) {
  *image = nullptr;
  *length = 0;
  TPlatformFile file = PlatformOpenRead(fileName);
  if (file == nullptr) return kStatusNoImage;
  TStatus status = kStatusNoImage;
  uint64_t size = 0;
  uint8_t tail[4];
  uint32_t got = 0;
  if (PlatformFileSize(file, &size) && size >= 4 && PlatformReadAt(file, size - 4, tail, 4, &got) &&
      got == 4) {
    uint64_t imageLength = uint64_t(LoadU32(tail)) + 4;
    if (imageLength <= size && imageLength <= 0xFFFFFFFFu) {
      uint8_t* buffer = static_cast<uint8_t*>(std::malloc(size_t(imageLength)));
      if (buffer == nullptr) FatalOutOfMemory();
      if (PlatformReadAt(file, size - imageLength, buffer, uint32_t(imageLength), &got) &&
          got == imageLength) {
        *image = buffer;
        *length = uint32_t(imageLength);
        status = kStatusOk;
      } else {
        std::free(buffer);
      }
    }
  }
  PlatformClose(file);
  return status;
}

void FreeImage(uint8_t* image) {
  std::free(image);
}

TStatus ValidateImage(const uint8_t* image, uint32_t length) {
  TStatus status = CheckFrame(image, length);
  if (status == kStatusOk) status = CheckChecksum(image, length);
  if (status == kStatusOk) status = CheckDirectory(image, length);
  return status;
}

TStatus BuildSectionIndex(TScriptContext* context) {
  std::free(context->SectionIndex);
  context->SectionIndex = nullptr;
  context->SectionCount = 0;
  const uint8_t* image = context->ScriptStart;
  const uint32_t length = context->ScriptLength;
  TStatus status = CheckFrame(image, length);
  if (status == kStatusOk) status = CheckDirectory(image, length);
  if (status != kStatusOk) {
    context->ImageFault = status;
    return status;
  }
  uint32_t count = LoadU32(image + 8);
  if (count == 0) return kStatusOk;
  PSectionTable index = static_cast<PSectionTable>(std::calloc(count, sizeof(TSection)));
  if (index == nullptr) FatalOutOfMemory();
  uint32_t k = 0;
  WalkDirectory(image, length, [&](const TDirectoryEntry& e, uint32_t dataOffset) {
    index[k++] = {reinterpret_cast<const char*>(image + e.NameOffset),
                  context->ScriptStart + dataOffset, e.Flag, e.Length};
  });
  context->SectionIndex = index;
  context->SectionCount = count;
  return kStatusOk;
}

const TSection* FindImageSection(const TScriptContext* context, const char* name) {
  for (uint32_t k = 0; k < context->SectionCount; ++k) {
    if (std::strcmp(context->SectionIndex[k].Name, name) == 0) return &context->SectionIndex[k];
  }
  return nullptr;
}

TStatus SkipParams(const uint8_t* image, uint32_t end, uint32_t* pos, uint32_t count) {
  uint32_t q = *pos;
  for (uint32_t n = 0; n < count; ++n) {
    if (q >= end) return kStatusMalformedImage;
    uint8_t kind = image[q];
    if (kind == ptEndOfParam) {
      ++q;
      break;
    }
    if (kind >= kParamTypeCount) {
      *pos = q;
      return kStatusBadParamKind;
    }
    if (end - q - 1 < kParamPayloadSize[kind]) return kStatusMalformedImage;
    q += 1 + kParamPayloadSize[kind];
  }
  *pos = q;
  return kStatusOk;
}

TStatus PrepareImage(TScriptContext* context) {
  if (context->Prepared != nullptr) return kStatusOk;
  if (context->ImageFault != kStatusOk) return context->ImageFault;
  if (context->ScriptStart == nullptr) return kStatusMalformedImage;
  TPrepareState s{context,
                  context->ScriptStart,
                  context->ScriptLength,
                  TBitmap(context->ScriptLength),
                  TBitmap(context->ScriptLength),
                  {},
                  {},
                  {}};
  for (uint32_t k = 0; k < context->SectionCount; ++k) {
    const TSection& section = context->SectionIndex[k];
    if ((section.SectionFlag & kCodeSectionFlag) == 0) continue;
    TStatus status = WalkCodeSection(s, SectionOffset(context, &section), section.SectionLength);
    if (status != kStatusOk) return status;
  }
  std::vector<TSectionSpan> spans;
  for (uint32_t k = 0; k < context->SectionCount; ++k) {
    const TSection& section = context->SectionIndex[k];
    uint32_t start = SectionOffset(context, &section);
    if (section.SectionLength > 0) {
      spans.push_back(
          {start, start + section.SectionLength, (section.SectionFlag & kCodeSectionFlag) != 0});
    }
  }
  for (uint32_t k = 0; k < context->SectionCount; ++k) {
    const TSection& section = context->SectionIndex[k];
    if (!IsJumpTable(section)) continue;
    TStatus status =
        CheckLabelSlots(s, spans, SectionOffset(context, &section), section.SectionLength);
    if (status != kStatusOk) return status;
  }
  TPreparedImage* prepared = static_cast<TPreparedImage*>(std::calloc(1, sizeof(TPreparedImage)));
  if (prepared == nullptr) FatalOutOfMemory();
  TStatus status = BuildConstantPool(s, prepared);
  if (status != kStatusOk) {
    std::free(prepared);
    return status;
  }
  std::vector<uint8_t>& bits = s.InstrStarts.Bytes();
  prepared->InstrStarts = static_cast<uint8_t*>(std::malloc(bits.size() + 1));
  prepared->CodeSections =
      static_cast<TCodeBounds*>(std::malloc((s.CodeSections.size() + 1) * sizeof(TCodeBounds)));
  if (prepared->InstrStarts == nullptr || prepared->CodeSections == nullptr) FatalOutOfMemory();
  std::memcpy(prepared->InstrStarts, bits.data(), bits.size());
  if (!s.CodeSections.empty()) {
    std::memcpy(prepared->CodeSections, s.CodeSections.data(),
                s.CodeSections.size() * sizeof(TCodeBounds));
  }
  prepared->CodeSectionCount = uint32_t(s.CodeSections.size());
  BuildListTable(s, prepared);
  BuildQuickCode(context->ScriptStart, prepared->CodeSections, prepared->CodeSectionCount,
                 &prepared->Quick);
  context->Prepared = prepared;
  return kStatusOk;
}

void FreePreparedImage(TScriptContext* context) {
  TPreparedImage* prepared = context->Prepared;
  if (prepared == nullptr) return;
  std::free(prepared->InstrStarts);
  std::free(prepared->Constants);
  std::free(prepared->ConstantPool);
  std::free(prepared->CodeSections);
  std::free(prepared->Lists);
  FreeQuickCode(&prepared->Quick);
  std::free(prepared);
  context->Prepared = nullptr;
}

const TCodeBounds* FindCodeBounds(const TPreparedImage* prepared, uint32_t offset) {
  const TCodeBounds* first = prepared->CodeSections;
  const TCodeBounds* last = first + prepared->CodeSectionCount;
  const TCodeBounds* it = std::upper_bound(
      first, last, offset, [](uint32_t o, const TCodeBounds& b) { return o < b.Start; });
  if (it == first) return nullptr;
  --it;
  return offset < it->End ? it : nullptr;
}
