// Bytes: CRC32 and MD5 of binary blocks and files, blocks written as
// hexadecimal digits, the little-endian bytes of numbers and back, blocks
// filled with a pattern or searched and replaced, blocks and texts converted
// through the ANSI code page, and the length of a section of the image.
// The raw memory readers, the code-page conversions and the section writers
// are in hash_commands_win32.cpp.
//
// Every command builds its result first and stores it last, so a failing
// command leaves the result variable as it was, and a command may take its
// source from the variable that receives the result.
#include <cstring>

#include "base/bytes.h"
#include "base/case_tables.h"
#include "base/heap.h"
#include "base/status.h"
#include "runtime/commands/commands.h"
#include "runtime/commands/hash_file_reader.h"
#include "runtime/commands/hash_sections.h"
#include "runtime/commands/text_command_support.h"
#include "runtime/core/fetch.h"
#include "runtime/core/variables.h"
#include "runtime/values/block.h"
#include "runtime/values/hashes.h"
#include "runtime/values/text.h"

namespace {

// The largest block length whose two terminating zero bytes still fit the
// unified array's 32-bit element count.
constexpr uint64_t kMaxBlockLength = 0xFFFFFFFDu;

// Stores a block the command built; the block is freed when the variable is
// missing.
TStatus StoreNewArray(TScriptContext* context, uint32_t reference, PArrayHeader array,
                      TVarType kind) {
  if (array == nullptr) return kStatusOutOfMemory;
  const TStatus stored = StoreArrayRef(context, reference, array, kind);
  if (stored != kStatusOk) UA_Free(&array);
  return stored;
}

// A required block parameter followed by the result variable.
TStatus FetchBlockAndResult(TScriptContext* context, const TArrayHeader** block,
                            uint32_t* reference) {
  if (FetchBlockOr(context, nullptr, block) != kStatusOk) return kStatusBadParam;
  return FetchRequiredDWORD(context, reference);
}

// ---- Hashes ----

struct TCrc32Hash {
  uint32_t State = CRC32_Init();
  void Update(const void* data, size_t length) { State = CRC32_Update(State, data, length); }
  TStatus Store(TScriptContext* context, uint32_t reference) {
    return Var_StoreDWORD(context, reference, CRC32_Final(State));
  }
};

struct TMd5Hash {
  TMD5State State;
  TMd5Hash() { MD5_Init(&State); }
  void Update(const void* data, size_t length) { MD5_Update(&State, data, length); }
  TStatus Store(TScriptContext* context, uint32_t reference) {
    uint8_t digest[kMd5DigestBytes];
    MD5_Final(&State, digest);
    return Var_StoreBinBlock(context, reference, digest, kMd5DigestBytes);
  }
};

template <typename Hash>
TStatus HashBlock(TScriptContext* context) {
  const TArrayHeader* block;
  uint32_t reference;
  if (FetchBlockAndResult(context, &block, &reference) != kStatusOk) return kStatusBadParam;
  Hash hash;
  hash.Update(UA_Data(block), BB_Length(block));
  return hash.Store(context, reference);
}

// The file is read in pieces of this size, so a file of any length is
// hashed in the same small amount of memory.
constexpr uint32_t kFilePieceBytes = 1u << 20;

// Null when the heap cannot supply it; the command then fails with 1002.
struct TPieceBuffer {
  uint8_t* Bytes = static_cast<uint8_t*>(MemAlloc(kFilePieceBytes));
  TPieceBuffer() = default;
  ~TPieceBuffer() { MemRelease(Bytes); }
  TPieceBuffer(const TPieceBuffer&) = delete;
  TPieceBuffer& operator=(const TPieceBuffer&) = delete;
};

// A file that cannot be read to its end stores nothing: a hash of the part
// that was read would pass for the hash of the file.
template <typename Hash>
TStatus HashFile(TScriptContext* context) {
  TFetchedText held;
  const TArrayHeader* path;
  uint32_t reference;
  if (FetchTextOr(context, &held, nullptr, &path) != kStatusOk) return kStatusBadParam;
  if (FetchRequiredDWORD(context, &reference) != kStatusOk) return kStatusBadParam;
  TPieceBuffer buffer;
  if (buffer.Bytes == nullptr) return kStatusOutOfMemory;
  THashedFile file;
  TStatus status = OpenHashedFile(context, USTR_Chars(path), &file);
  if (status != kStatusOk) return status;
  Hash hash;
  while (status == kStatusOk && file.Offset < file.Size) {
    const uint64_t remaining = file.Size - file.Offset;
    const uint32_t n = remaining < kFilePieceBytes ? uint32_t(remaining) : kFilePieceBytes;
    status = ReadHashedFile(context, &file, buffer.Bytes, n);
    if (status == kStatusOk) hash.Update(buffer.Bytes, n);
  }
  CloseHashedFile(&file);
  return status == kStatusOk ? hash.Store(context, reference) : status;
}

// ---- Hexadecimal digits ----

TStatus BlockToHex(TScriptContext* context) {
  const TArrayHeader* block;
  uint32_t reference;
  if (FetchBlockAndResult(context, &block, &reference) != kStatusOk) return kStatusBadParam;
  const uint32_t length = BB_Length(block);
  if (uint64_t(length) * 2 > kMaxBlockLength) return kStatusOutOfMemory;
  PArrayHeader hex = BB_New(length * 2);
  if (hex == nullptr) return kStatusOutOfMemory;
  static constexpr char kDigits[] = "0123456789abcdef";
  const uint8_t* in = UA_Data(block);
  uint8_t* out = UA_Data(hex);
  for (uint32_t i = 0; i < length; ++i) {
    out[2 * i] = uint8_t(kDigits[in[i] >> 4]);
    out[2 * i + 1] = uint8_t(kDigits[in[i] & 15]);
  }
  return StoreNewArray(context, reference, hex, vtBinBlock);
}

// ---- Number images ----

template <typename Fetch>
TStatus StoreBytesOf(TScriptContext* context, Fetch fetchInto) {
  uint8_t bytes[kExtendedBytes];
  uint32_t size;
  if (!fetchInto(bytes, &size)) return kStatusBadParam;
  uint32_t reference;
  if (FetchRequiredDWORD(context, &reference) != kStatusOk) return kStatusBadParam;
  return Var_StoreBinBlock(context, reference, bytes, size);
}

// A block that is exactly `size` bytes long, and the result variable: 0,
// 102, or 1064 for any other length.
TStatus FetchNumberImage(TScriptContext* context, uint32_t size, const uint8_t** bytes,
                         uint32_t* reference) {
  const TArrayHeader* block;
  if (FetchBlockAndResult(context, &block, reference) != kStatusOk) return kStatusBadParam;
  if (BB_Length(block) != size) return kStatusBlockLengthMismatch;
  *bytes = UA_Data(block);
  return kStatusOk;
}

// ---- Fill ----

// Writes the pattern cyclically over `length` bytes, starting with its first
// byte: once by hand, then by doubling the part already written.
void FillWithPattern(uint8_t* out, uint32_t length, const uint8_t* pattern,
                     uint32_t patternLength) {
  uint32_t done = UMin(length, patternLength);
  std::memcpy(out, pattern, done);
  while (done < length) {
    const uint32_t n = UMin(done - done % patternLength, length - done);
    std::memcpy(out + done, out, n);
    done += n;
  }
}

// ---- Search and replace ----

// The byte case table of case-preserving replacement: the upper- and
// lower-case image of every byte and its class (0 neither, 1 lower-case
// letter, 2 upper-case letter), from the ANSI case tables.
struct TByteCaseTable {
  uint8_t Upper[256];
  uint8_t Lower[256];
  uint8_t Class[256];
};
constexpr uint8_t kLowerCaseLetter = 1;
constexpr uint8_t kUpperCaseLetter = 2;

const TByteCaseTable& ByteCaseTable() {
  static const TByteCaseTable table = [] {
    TByteCaseTable t;
    std::memcpy(t.Upper, AnsiUpperCaseTable(), 256);
    std::memcpy(t.Lower, AnsiLowerCaseTable(), 256);
    for (int b = 0; b < 256; ++b) {
      t.Class[b] = uint8_t(3 - (b == t.Upper[b] ? 1 : 0) - (b == t.Lower[b] ? 2 : 0));
    }
    return t;
  }();
  return table;
}

struct TReplace {
  const uint8_t* Source;
  uint32_t SourceLength;
  const uint8_t* Search;
  uint32_t SearchLength;
  const uint8_t* Replacement;
  uint32_t ReplacementLength;
  bool IgnoreCase;
  bool KeepCase;

  int32_t Next(uint32_t from) const {
    return BB_Find(Search, SearchLength, Source, IgnoreCase, from, SourceLength);
  }
  uint32_t CountMatches() const {
    uint32_t count = 0;
    for (int32_t at = Next(0); at >= 0; at = Next(uint32_t(at) + SearchLength)) ++count;
    return count;
  }
  // The replacement for the match at `match`, with the case of the matched
  // bytes when asked.
  void PutReplacement(uint8_t* out, const uint8_t* match) const {
    std::memcpy(out, Replacement, ReplacementLength);
    if (!KeepCase) return;
    const TByteCaseTable& cases = ByteCaseTable();
    const uint32_t n = UMin(ReplacementLength, SearchLength);
    for (uint32_t k = 0; k < n; ++k) {
      const uint8_t kind = cases.Class[match[k]];
      if (kind == kUpperCaseLetter) out[k] = cases.Upper[out[k]];
      if (kind == kLowerCaseLetter) out[k] = cases.Lower[out[k]];
    }
  }
  void Build(uint8_t* out) const {
    uint32_t from = 0;
    for (int32_t at = Next(0); at >= 0; at = Next(from)) {
      const uint32_t kept = uint32_t(at) - from;
      std::memcpy(out, Source + from, kept);
      out += kept;
      PutReplacement(out, Source + at);
      out += ReplacementLength;
      from = uint32_t(at) + SearchLength;
    }
    std::memcpy(out, Source + from, SourceLength - from);
  }
};

// Counts the matches first, so that the result is allocated once with its
// exact length, and a result too long for a block is refused before any of
// it is built.
PArrayHeader Replace(const TReplace& r) {
  const uint64_t matches = r.SearchLength == 0 ? 0 : r.CountMatches();
  const uint64_t length = r.SourceLength - matches * r.SearchLength + matches * r.ReplacementLength;
  if (length > kMaxBlockLength) return nullptr;
  PArrayHeader result = BB_New(uint32_t(length));
  if (result != nullptr && length != 0) r.Build(UA_Data(result));
  return result;
}

}  // namespace

TStatus CmdBlockCrc32(TScriptContext* context) {
  return HashBlock<TCrc32Hash>(context);
}

TStatus CmdBlockMd5(TScriptContext* context) {
  return HashBlock<TMd5Hash>(context);
}

TStatus CmdBlockToHex(TScriptContext* context) {
  return BlockToHex(context);
}

TStatus CmdFileCrc32(TScriptContext* context) {
  return HashFile<TCrc32Hash>(context);
}

TStatus CmdFileMd5(TScriptContext* context) {
  return HashFile<TMd5Hash>(context);
}

TStatus CmdDWORDToBytes(TScriptContext* context) {
  return StoreBytesOf(context, [&](uint8_t* bytes, uint32_t* size) {
    TFetchStatus status;
    StoreU32(bytes, FetchDWORD(context, &status, 0));
    *size = 4;
    return status == kFetchValue;
  });
}

TStatus CmdIntToBytes(TScriptContext* context) {
  return StoreBytesOf(context, [&](uint8_t* bytes, uint32_t* size) {
    TFetchStatus status;
    StoreU64(bytes, uint64_t(FetchInt64(context, &status, 0)));
    *size = 8;
    return status == kFetchValue;
  });
}

TStatus CmdFloatToBytes(TScriptContext* context) {
  return StoreBytesOf(context, [&](uint8_t* bytes, uint32_t* size) {
    TFetchStatus status;
    StoreExtended(bytes, FetchExtended(context, &status, 0));
    *size = kExtendedBytes;
    return status == kFetchValue;
  });
}

TStatus CmdBytesToDWORD(TScriptContext* context) {
  const uint8_t* bytes;
  uint32_t reference;
  const TStatus status = FetchNumberImage(context, 4, &bytes, &reference);
  return status != kStatusOk ? status : Var_StoreDWORD(context, reference, LoadU32(bytes));
}

TStatus CmdBytesToInt(TScriptContext* context) {
  const uint8_t* bytes;
  uint32_t reference;
  const TStatus status = FetchNumberImage(context, 8, &bytes, &reference);
  return status != kStatusOk ? status
                             : Var_StoreInteger(context, reference, int64_t(LoadU64(bytes)));
}

TStatus CmdBytesToFloat(TScriptContext* context) {
  const uint8_t* bytes;
  uint32_t reference;
  const TStatus status = FetchNumberImage(context, kExtendedBytes, &bytes, &reference);
  return status != kStatusOk ? status : Var_StoreFloat(context, reference, LoadExtended(bytes));
}

// A prefix longer than the size is kept whole and nothing is filled.
TStatus CmdBlockFill(TScriptContext* context) {
  uint32_t reference, size, flags;
  const TArrayHeader *prefix, *pattern;
  if (FetchRequiredDWORD(context, &reference) != kStatusOk) return kStatusBadParam;
  if (FetchBlockOr(context, BB_Empty(), &prefix) != kStatusOk) return kStatusBadParam;
  if (FetchRequiredDWORD(context, &size) != kStatusOk) return kStatusBadParam;
  if (FetchBlockOr(context, BB_Blank(), &pattern) != kStatusOk) return kStatusBadParam;
  if (FetchDWORDOr(context, 0, &flags) != kStatusOk) return kStatusBadParam;
  const uint32_t prefixLength = BB_Length(prefix);
  const uint32_t patternLength = BB_Length(pattern);
  if (size == 0 || patternLength == 0) return kStatusEmptyFill;
  const uint32_t length = UMax(prefixLength, size);
  if (length > kMaxBlockLength) return kStatusOutOfMemory;
  PArrayHeader block = BB_New(length);
  if (block == nullptr) return kStatusOutOfMemory;
  const uint32_t fillLength = length - prefixLength;
  const bool prefixAtEnd = (flags & 1) != 0;
  uint8_t* out = UA_Data(block);
  std::memcpy(out + (prefixAtEnd ? fillLength : 0), UA_Data(prefix), prefixLength);
  FillWithPattern(out + (prefixAtEnd ? 0 : prefixLength), fillLength, UA_Data(pattern),
                  patternLength);
  return StoreNewArray(context, reference, block, vtBinBlock);
}

// Mode 0 matches bytes exactly, any other mode ignores case, and modes 2
// and above also give each replacement the case of the bytes it replaces.
TStatus CmdBlockReplace(TScriptContext* context) {
  uint32_t reference, mode;
  const TArrayHeader *source, *search, *replacement;
  if (FetchRequiredDWORD(context, &reference) != kStatusOk) return kStatusBadParam;
  if (FetchBlockOr(context, nullptr, &source) != kStatusOk) return kStatusBadParam;
  if (FetchBlockOr(context, nullptr, &search) != kStatusOk) return kStatusBadParam;
  if (FetchBlockOr(context, BB_Empty(), &replacement) != kStatusOk) return kStatusBadParam;
  if (FetchDWORDOr(context, 0, &mode) != kStatusOk) return kStatusBadParam;
  const TReplace replace = {
      UA_Data(source),      BB_Length(source),      UA_Data(search), BB_Length(search),
      UA_Data(replacement), BB_Length(replacement), mode != 0,       mode >= 2};
  return StoreNewArray(context, reference, Replace(replace), vtBinBlock);
}

TStatus CmdTextFromBlock(TScriptContext* context) {
  uint32_t reference;
  const TArrayHeader* block;
  if (FetchRequiredDWORD(context, &reference) != kStatusOk) return kStatusBadParam;
  if (FetchBlockOr(context, BB_Empty(), &block) != kStatusOk) return kStatusBadParam;
  return StoreNewArray(context, reference, USTR_FromBB(block), vtUnicodeString);
}

TStatus CmdBlockFromText(TScriptContext* context) {
  uint32_t reference;
  TFetchedText held;
  const TArrayHeader* text;
  if (FetchRequiredDWORD(context, &reference) != kStatusOk) return kStatusBadParam;
  if (FetchTextOr(context, &held, USTR_Empty(), &text) != kStatusOk) return kStatusBadParam;
  return StoreNewArray(context, reference, BB_FromUSTR(text), vtBinBlock);
}

// ---- Sections ----

TStatus FetchSection(TScriptContext* context, const TSection** section) {
  const TArrayHeader* name;
  if (FetchBlockOr(context, nullptr, &name) != kStatusOk) return kStatusBadParam;
  // A block ends in two zero bytes, so its data reads as an 8-bit name.
  const char* wanted = reinterpret_cast<const char*>(UA_Data(name));
  for (uint32_t k = 0; k < context->SectionCount; ++k) {
    if (std::strcmp(context->SectionIndex[k].Name, wanted) == 0) {
      *section = &context->SectionIndex[k];
      return kStatusOk;
    }
  }
  return kStatusSectionNotFound;
}

TStatus SectionPart(const TSection* section, uint32_t offset, uint32_t count, const uint8_t** data,
                    uint32_t* length) {
  if (offset > section->SectionLength) return kStatusSectionOffsetBeyondEnd;
  const uint32_t rest = section->SectionLength - offset;
  *data = section->SectionPtr + offset;
  *length = count != 0 && count < rest ? count : rest;
  return kStatusOk;
}

TStatus CmdSectionGetLength(TScriptContext* context) {
  const TSection* section = nullptr;
  const TStatus found = FetchSection(context, &section);
  uint32_t reference;
  if (FetchRequiredDWORD(context, &reference) != kStatusOk) return kStatusBadParam;
  if (found != kStatusOk) return found;
  return Var_StoreDWORD(context, reference, section->SectionLength);
}
