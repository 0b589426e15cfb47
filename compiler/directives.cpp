#include "compiler/directives.h"

#include "base/platform.h"
#include "compiler/compile_codes.h"
#include "compiler/compiler_work.h"
#include "compiler/extended_float.h"
#include "compiler/keywords.h"
#include "compiler/number_literals.h"
#include "compiler/sections.h"
#include "compiler/source_reader.h"
#include "compiler/string_literals.h"
#include "compiler/text_file.h"

namespace {

struct TIntegerRange {
  int64_t Min;
  int64_t Max;
  uint32_t Bytes;
};

uint32_t EmitRangedInteger(TRawScript* raw, TTextSpan token, TIntegerRange range) {
  int64_t v = 0;
  if (!ParseInteger(token, &v)) return kCompileBadDataNumber;
  if (v < range.Min || v > range.Max) return kCompileDataNumberRange;
  uint8_t bytes[8];
  for (uint32_t i = 0; i < 8; ++i) bytes[i] = uint8_t(uint64_t(v) >> (8 * i));
  EmitBytes(raw, bytes, range.Bytes);
  return kCompileOk;
}

uint32_t EmitQuoted(TRawScript* raw, TTextSpan token,
                    bool (*append)(TTextSpan, TGrowArray<uint8_t>*)) {
  TGrowArray<uint8_t>& bytes = EnsureWork(raw)->Payload;
  bytes.Count = 0;
  if (!append(token, &bytes)) return kCompileShortString;
  EmitBytes(raw, bytes.Items, bytes.Count);
  return kCompileOk;
}

const TCompilerText& ResolvedPath(TRawScript* raw, TTextSpan token) {
  TCompilerText& path = EnsureWork(raw)->Path;
  ResolvePath(raw, token, &path);
  return path;
}

uint32_t EmitFile(TRawScript* raw, TTextSpan token) {
  const char16_t* path = TextZ(ResolvedPath(raw, token));
  if (!PlatformFileExists(path)) return kCompileFileMissing;
  TGrowArray<uint8_t>& bytes = EnsureWork(raw)->FileBytes;
  TFileReadResult read = ReadFileBytes(path, &bytes);
  if (read != kFileRead) return kCompileFileUnreadable;
  EmitBytes(raw, bytes.Items, bytes.Count);
  GrowArrayFree(bytes);
  return kCompileOk;
}

uint32_t EmitFileSize(TRawScript* raw, TTextSpan token) {
  const char16_t* path = TextZ(ResolvedPath(raw, token));
  if (!PlatformFileExists(path)) return kCompileFileMissing;
  TPlatformFile file = PlatformOpenRead(path);
  uint64_t size = 0;
  bool sized = file != nullptr && PlatformFileSize(file, &size);
  PlatformClose(file);
  if (!sized) return kCompileFileUnreadable;
  EmitU64(raw, size);
  return kCompileOk;
}

uint32_t EmitFloat(TRawScript* raw, TTextSpan token) {
  uint8_t bytes[kExtendedBytes];
  if (!ParseExtended(token, bytes, &EnsureWork(raw)->Floats)) return kCompileBadDataNumber;
  EmitBytes(raw, bytes, kExtendedBytes);
  return kCompileOk;
}

uint32_t CompileDirectiveToken(TRawScript* raw, uint32_t slot, TTextSpan token) {
  const char16_t first = token.Chars[0];
  switch (slot) {
    case kKeywordFile:
      return EmitFile(raw, token);
    case kKeywordFileSize:
      return EmitFileSize(raw, token);
    case kKeywordBytes:
      if (first == u'"') return EmitQuoted(raw, token, AppendDoubleQuoted);
      if (first == u'\'') return EmitQuoted(raw, token, AppendSingleQuoted);
      return EmitRangedInteger(raw, token, {-128, 255, 1});
    case kKeywordWords:
      if (first == u'"') return EmitQuoted(raw, token, AppendDoubleQuoted);
      return EmitRangedInteger(raw, token, {-32768, 65535, 2});
    case kKeywordDoubleWords:
      return EmitRangedInteger(raw, token, {-2147483648LL, 0xFFFFFFFFLL, 4});
    case kKeywordInt64:
      return EmitRangedInteger(raw, token, {INT64_MIN, INT64_MAX, 8});
    case kKeywordFloat:
      return EmitFloat(raw, token);
    case kKeywordIcon: {
      TCompilerText& path = EnsureWork(raw)->Path;
      ResolvePath(raw, token, &path);
      TextAssign(raw->NewIcon, path.Items, path.Count);
      return kCompileOk;
    }
    default:  // the inclusion keywords, expanded while loading
      return kCompileOk;
  }
}

uint32_t FindDirectiveSlot(TTextSpan word) {
  for (uint32_t slot = kKeywordFile; slot <= kKeywordIcon; ++slot) {
    if (KeywordEquals(word, slot)) return slot;
  }
  return kKeywordCount;
}

bool WritesData(uint32_t slot) {
  return slot >= kKeywordFile && slot <= kKeywordFloat;
}

}  // namespace

uint32_t CompileDirective(TRawScript* raw, TTextSpan word, TTokenizer& tokens) {
  const uint32_t slot = FindDirectiveSlot(word);
  if (slot == kKeywordCount) return kCompileUnknownDirective;
  if (WritesData(slot) && (CurrentSection(raw).Flags & kCodeSectionFlag) != 0) {
    return kCompileDataInCodeSection;
  }
  TTextSpan token{};
  for (;;) {
    TTokenResult next = NextStatementToken(tokens, &token);
    if (next == kTokenNone) return kCompileOk;
    if (next == kTokenUnterminated) return kCompileUnterminatedToken;
    uint32_t result = CompileDirectiveToken(raw, slot, token);
    if (result != kCompileOk) return result;
  }
}
