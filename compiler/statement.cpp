#include "compiler/statement.h"

#include "base/image_format.h"
#include "base/platform.h"
#include "base/value_kinds.h"
#include "compiler/compile_codes.h"
#include "compiler/compiler_work.h"
#include "compiler/date_literal.h"
#include "compiler/extended_float.h"
#include "compiler/labels.h"
#include "compiler/long_data.h"
#include "compiler/number_literals.h"
#include "compiler/sections.h"
#include "compiler/string_literals.h"

namespace {

// Every kind but byte and word, for positions the command does not describe.
constexpr TPTypes kUndescribedKinds = 0x67FF;
constexpr uint32_t kBit31 = 0x80000000u;

bool Allows(TPTypes allowed, TParamType kind) {
  return (allowed & KindBit(kind)) != 0;
}

TTextSpan After(TTextSpan token, uint32_t n) {
  return {token.Chars + n, token.Length - n};
}

void EmitSmallestInteger(TRawScript* raw, int64_t v) {
  if (v >= -128 && v <= 127) {
    EmitByte(raw, ptByte);
    EmitByte(raw, uint8_t(v));
  } else if (v >= -32768 && v <= 32767) {
    EmitByte(raw, ptWord);
    EmitU16(raw, uint16_t(v));
  } else if (v >= 0 && v <= 0xFFFFFFFFLL) {
    EmitByte(raw, ptDWORD);
    EmitU32(raw, uint32_t(v));
  } else {
    EmitByte(raw, ptInteger);
    EmitU64(raw, uint64_t(v));
  }
}

void EmitLongData(TRawScript* raw, TParamType kind, const TGrowArray<uint8_t>& payload,
                  uint32_t elemSize) {
  uint32_t offset = StoreLongData(raw, payload.Items, payload.Count, elemSize);
  EmitByte(raw, kind);
  EmitU32(raw, offset);
}

TGrowArray<uint8_t>& Payload(TRawScript* raw) {
  TGrowArray<uint8_t>& payload = EnsureWork(raw)->Payload;
  payload.Count = 0;
  return payload;
}

uint32_t CompileHexBlock(TRawScript* raw, TTextSpan token, TPTypes allowed) {
  if (!Allows(allowed, ptBinBlock)) return kCompileKindNotAllowed;
  TGrowArray<uint8_t>& payload = Payload(raw);
  if (!AppendHexBlock(token, &payload)) return kCompileOddHexDigits;
  EmitLongData(raw, ptBinBlock, payload, kByteElemSize);
  return kCompileOk;
}

uint32_t CompileDoubleQuoted(TRawScript* raw, TTextSpan token, TPTypes allowed,
                             bool compileToUnicode) {
  const bool block = Allows(allowed, ptBinBlock);
  const bool asText = (block && compileToUnicode) || (Allows(allowed, ptUnicodeString) && !block);
  if (!block && !asText) return kCompileKindNotAllowed;
  TGrowArray<uint8_t>& payload = Payload(raw);
  if (!AppendDoubleQuoted(token, &payload)) return kCompileShortString;
  if (asText) {
    EmitLongData(raw, ptUnicodeString, payload, kCharElemSize);
  } else {
    EmitLongData(raw, ptBinBlock, payload, kByteElemSize);
  }
  return kCompileOk;
}

uint32_t CompileSingleQuoted(TRawScript* raw, TTextSpan token, TPTypes allowed) {
  if (!Allows(allowed, ptBinBlock) && !Allows(allowed, ptUnicodeString)) {
    return kCompileKindNotAllowed;
  }
  TGrowArray<uint8_t>& payload = Payload(raw);
  if (!AppendSingleQuoted(token, &payload)) return kCompileShortString;
  EmitLongData(raw, ptBinBlock, payload, kByteElemSize);
  return kCompileOk;
}

uint32_t CompileDate(TRawScript* raw, TTextSpan token, TPTypes allowed) {
  if (!Allows(allowed, ptInteger)) return kCompileKindNotAllowed;
  uint64_t fileTime = 0;
  if (!ParseDateLiteral(After(token, 1), &fileTime)) return kCompileBadDate;
  EmitByte(raw, ptInteger);
  EmitU64(raw, fileTime);
  return kCompileOk;
}

uint32_t CompileInteger64(TRawScript* raw, TTextSpan token, TPTypes allowed) {
  if (!Allows(allowed, ptInteger)) return kCompileKindNotAllowed;
  int64_t v = 0;
  if (!ParseInteger(After(token, 1), &v)) return kCompileIntegerExpected;
  EmitByte(raw, ptInteger);
  EmitU64(raw, uint64_t(v));
  return kCompileOk;
}

void EmitExtended(TRawScript* raw, const uint8_t (&bytes)[kExtendedBytes]) {
  EmitByte(raw, ptExtended);
  EmitBytes(raw, bytes, kExtendedBytes);
}

uint32_t CompileFloat(TRawScript* raw, TTextSpan token, TPTypes allowed) {
  if (!Allows(allowed, ptExtended)) return kCompileKindNotAllowed;
  uint8_t bytes[kExtendedBytes];
  if (!ParseExtended(After(token, 1), bytes, &EnsureWork(raw)->Floats))
    return kCompileFloatExpected;
  EmitExtended(raw, bytes);
  return kCompileOk;
}

uint32_t CompileSignedInteger(TRawScript* raw, TTextSpan token) {
  int64_t v = 0;
  if (!ParseInteger(token, &v)) return kCompileIntegerExpected;
  EmitSmallestInteger(raw, v);
  return kCompileOk;
}

uint32_t CompileVariable(TRawScript* raw, TTextSpan token) {
  const bool local = token.Length >= 2 && token.Chars[1] == u'_';
  TTextSpan number = After(token, local ? 2 : 1);
  int64_t v = 0;
  if ((number.Length > 0 && number.Chars[0] == u'-') || !ParseInteger(number, &v) || v < 0 ||
      v > 0xFFFFFFFFLL) {
    return kCompileBadVariable;
  }
  EmitByte(raw, ptVariable);
  EmitU32(raw, uint32_t(v) | (local ? kBit31 : 0));
  return kCompileOk;
}

uint32_t CompileBit31Number(TRawScript* raw, TTextSpan token) {
  int64_t v = 0;
  if (!ParseInteger(After(token, 1), &v) || v > 0x7FFFFFFFLL) return kCompileBadVariable;
  EmitByte(raw, ptDWORD);
  EmitU32(raw, uint32_t(uint64_t(v)) | kBit31);
  return kCompileOk;
}

uint32_t CompileCharacter(TRawScript* raw, TTextSpan token) {
  if (token.Length == 2) {
    uint8_t byte = 0;
    if (!PlatformWideCharToAnsiByte(token.Chars[1], &byte)) return kCompileBadCharacter;
    EmitByte(raw, ptByte);
    EmitByte(raw, byte);
    return kCompileOk;
  }
  if (token.Length == 3 && token.Chars[1] == u'~') {
    EmitByte(raw, ptWord);
    EmitU16(raw, token.Chars[2]);
    return kCompileOk;
  }
  return kCompileBadCharacter;
}

uint32_t CompilePlainNumber(TRawScript* raw, TTextSpan token) {
  int64_t v = 0;
  if (ParseInteger(token, &v)) {
    EmitSmallestInteger(raw, v);
    return kCompileOk;
  }
  uint8_t bytes[kExtendedBytes];
  if (!ParseExtended(token, bytes, &EnsureWork(raw)->Floats)) return kCompileNotANumber;
  EmitExtended(raw, bytes);
  return kCompileOk;
}

}  // namespace

TPTypes AllowedKinds(const TCmdInfo& command, uint32_t position) {
  if (position == 0 || position > command.ParamInfo.Count) return kUndescribedKinds;
  const TParamInfo& info = command.ParamInfo.Items[position - 1];
  TPTypes allowed = info.PType;
  if (info.MayBeDefault) allowed |= KindBit(ptDefault);
  if (info.MayBeEnd) allowed |= KindBit(ptEndOfParam);
  return allowed;
}

uint32_t CompileParam(TRawScript* raw, TTextSpan token, TPTypes allowed, bool compileToUnicode,
                      bool* endReached) {
  const char16_t first = token.Chars[0];
  if (token.Length == 1 && first == u'$') {
    if (!Allows(allowed, ptDefault)) return kCompileDefaultNotAllowed;
    EmitByte(raw, ptDefault);
    return kCompileOk;
  }
  if (token.Length == 1 && first == u'.') {
    if (!Allows(allowed, ptEndOfParam)) return kCompileEndNotAllowed;
    EmitByte(raw, ptEndOfParam);
    *endReached = true;
    return kCompileOk;
  }
  switch (first) {
    case u'!':
      return CompileHexBlock(raw, token, allowed);
    case u'"':
      return CompileDoubleQuoted(raw, token, allowed, compileToUnicode);
    case u'#':
      return CompileDate(raw, token, allowed);
    case u'%':
      return CompileInteger64(raw, token, allowed);
    case u'\'':
      return CompileSingleQuoted(raw, token, allowed);
    case u'*':
      return CompileFloat(raw, token, allowed);
    case u'+':
    case u'-':
      return CompileSignedInteger(raw, token);
    case u'@':
      return CompileVariable(raw, token);
    case u'^':
      return AddLabelReference(raw, token);
    case u'_':
      return CompileBit31Number(raw, token);
    case u'~':
      return CompileCharacter(raw, token);
    default:
      return CompilePlainNumber(raw, token);
  }
}

uint32_t CompileStatement(TRawScript* raw, const TCmdInfo& command, TTokenizer& tokens) {
  EmitU32(raw, command.CmdCode);
  uint32_t position = 0;
  bool endReached = false;
  TTextSpan token{};
  for (;;) {
    TTokenResult next = NextStatementToken(tokens, &token);
    if (next == kTokenNone) break;
    if (next == kTokenUnterminated) return kCompileUnterminatedToken;
    ++position;
    if (endReached || position > command.MaxParamCount) return kCompileTooManyParams;
    uint32_t result = CompileParam(raw, token, AllowedKinds(command, position),
                                   command.CompileToUnicodeStrings, &endReached);
    if (result != kCompileOk) return result;
  }
  if (!endReached && position != command.MaxParamCount) return kCompileTooFewParams;
  return kCompileOk;
}
