// Concatenation: one new binary block, text or numeric array made of all the
// parts an open-ended command lists, stored into its first parameter's
// variable. Every part must be a constant or a variable of the command's
// kind (else 101); the result variable may also be one of the parts, since
// the new value is complete before it is stored.
#include <cstring>

#include "base/status.h"
#include "runtime/commands/commands.h"
#include "runtime/commands/text_command_support.h"
#include "runtime/core/fetch.h"
#include "runtime/core/variables.h"
#include "runtime/values/block.h"
#include "runtime/values/text.h"

namespace {

// What one concatenation command joins.
struct TConcatKind {
  TParamType Param;
  TVarType Kind;
};

PArrayHeader NewValue(TVarType kind, uint32_t count) {
  if (kind == vtBinBlock) return BB_New(count);
  return UA_New(count, VarKindElemSize(kind));
}

// Arrays are read in place, so the parts are walked twice: once to check
// their kinds and add up their lengths, once to copy them.
TStatus ConcatArrays(TScriptContext* context, TConcatKind what) {
  uint32_t reference;
  if (FetchRequiredDWORD(context, &reference) != kStatusOk) return kStatusBadParam;
  const uint32_t firstPart = context->IP;
  uint64_t total = 0;
  while (true) {
    TFetchStatus status;
    const TArrayHeader* part = FetchArray(context, &status, what.Param);
    if (status == kFetchEnd) break;
    if (status != kFetchValue) return kStatusBadVarKindForNumber;
    total += UA_ItemCount(part, what.Kind);
  }
  if (total > 0x7FFFFFFF) return kStatusOutOfMemory;
  PArrayHeader result = NewValue(what.Kind, uint32_t(total));
  if (result == nullptr) return kStatusOutOfMemory;
  const uint32_t elemSize = VarKindElemSize(what.Kind);
  context->IP = firstPart;
  uint64_t at = 0;
  for (TFetchStatus status; true;) {
    const TArrayHeader* part = FetchArray(context, &status, what.Param);
    if (status != kFetchValue) break;
    const uint64_t bytes = uint64_t(UA_ItemCount(part, what.Kind)) * elemSize;
    if (bytes != 0) std::memcpy(UA_Data(result) + at, UA_Data(part), size_t(bytes));
    at += bytes;
  }
  const TStatus stored = StoreArrayRef(context, reference, result, what.Kind);
  if (stored != kStatusOk) UA_Free(&result);
  return stored;
}

// Texts are read in place, as arrays are: the parts are walked twice, once
// to check them and add up their lengths, once to copy them. A block part is
// converted to a text each time and released at once.
class TTextPart {
 public:
  TTextPart(TScriptContext* context, TFetchStatus* status)
      : text_(FetchTextInPlace(context, status, &owned_)) {}
  TTextPart(const TTextPart&) = delete;
  TTextPart& operator=(const TTextPart&) = delete;
  ~TTextPart() {
    if (owned_) UA_Free(&text_);
  }
  const TArrayHeader* Get() const { return text_; }
  bool Owned() const { return owned_; }

 private:
  bool owned_ = false;
  PArrayHeader text_;
};

// Writes the parts (all texts, none of them `into`) into the result
// variable's own text block, which has room for exactly `total` units: a
// loop that keeps joining texts into one variable does not go to the heap.
void ConcatInPlace(TScriptContext* context, uint32_t firstPart, PArrayHeader into, uint32_t total) {
  TVariablesLock lock;  // the block is the variable's: no library store may replace it meanwhile
  context->IP = firstPart;
  uint32_t at = 0;
  for (TFetchStatus status; at < total;) {
    TTextPart part(context, &status);
    const uint32_t length = USTR_Length(part.Get());
    if (length != 0) {
      std::memcpy(USTR_Chars(into) + at, USTR_Chars(part.Get()), size_t(length) * sizeof(char16_t));
    }
    at += length;
  }
  USTR_Chars(into)[total] = 0;
  into->ElemCount = total + 1;
}

TStatus ConcatTexts(TScriptContext* context) {
  uint32_t reference;
  if (FetchRequiredDWORD(context, &reference) != kStatusOk) return kStatusBadParam;
  // The result variable's text, which the result may be written into.
  const TZorvatVariable* target = ResolveVar(context, reference);
  const PArrayHeader targetText =
      target != nullptr && target->VarType == vtUnicodeString ? target->UA : nullptr;
  bool inPlace = targetText != nullptr;
  const uint32_t firstPart = context->IP;
  uint64_t total = 0;
  while (true) {
    TFetchStatus status;
    TTextPart part(context, &status);
    if (status == kFetchEnd) break;
    if (status != kFetchValue) return kStatusBadVarKindForNumber;
    // A converted block would have to be converted again, which can fail
    // after the target has been written; a part that is the target itself
    // would be overwritten while it is read.
    if (part.Owned() || part.Get() == targetText) inPlace = false;
    total += USTR_Length(part.Get());
  }
  if (total > 0x7FFFFFFF) return kStatusOutOfMemory;
  if (inPlace && total != 0 && UA_FitsInPlace(targetText, uint32_t(total) + 1)) {
    ConcatInPlace(context, firstPart, targetText, uint32_t(total));
    return kStatusOk;
  }
  PArrayHeader result = total == 0 ? USTR_Empty() : USTR_New(uint32_t(total));
  if (result == nullptr) return kStatusOutOfMemory;
  context->IP = firstPart;
  uint32_t at = 0;
  for (TFetchStatus status; at < total;) {
    TTextPart part(context, &status);
    if (status != kFetchValue) {
      UA_Free(&result);
      return kStatusOutOfMemory;  // only a block's second conversion can fail here
    }
    const uint32_t length = USTR_Length(part.Get());
    if (length != 0) {
      std::memcpy(USTR_Chars(result) + at, USTR_Chars(part.Get()),
                  size_t(length) * sizeof(char16_t));
    }
    at += length;
  }
  const TStatus stored = StoreArrayRef(context, reference, result, vtUnicodeString);
  if (stored != kStatusOk) UA_Free(&result);
  return stored;
}

}  // namespace

TStatus CmdBlockConcat(TScriptContext* context) {
  return RunToEndOfParams(context, [&] { return ConcatArrays(context, {ptBinBlock, vtBinBlock}); });
}

TStatus CmdDWORDArrayConcat(TScriptContext* context) {
  return RunToEndOfParams(context, [&] {
    return ConcatArrays(context, {ptDWORDArray, vtDWORDArray});
  });
}

TStatus CmdIntArrayConcat(TScriptContext* context) {
  return RunToEndOfParams(context, [&] { return ConcatArrays(context, {ptIntArray, vtIntArray}); });
}

TStatus CmdFloatArrayConcat(TScriptContext* context) {
  return RunToEndOfParams(context, [&] { return ConcatArrays(context, {ptExtArray, vtExtArray}); });
}

TStatus CmdTextConcat(TScriptContext* context) {
  return RunToEndOfParams(context, [&] { return ConcatTexts(context); });
}
