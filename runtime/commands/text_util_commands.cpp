// Text utilities: assigning, comparing and finding texts, building text
// lists from mixed parameters, splitting, trimming, padding and
// search-and-replace. Everything here works on the UTF-16 texts and text
// lists of the value layer and needs no operating-system call; the
// clipboard, the file dialogs, writing to a handle and the executable path
// are in text_util_commands_win32.cpp.
#include <cstring>

#include "base/case_tables.h"
#include "base/status.h"
#include "runtime/commands/commands.h"
#include "runtime/commands/text_command_support.h"
#include "runtime/core/fetch.h"
#include "runtime/core/variables.h"
#include "runtime/values/list.h"
#include "runtime/values/text.h"

namespace {

// Mode 1 ignores case; every other mode is exact.
constexpr uint32_t kIgnoreCase = 1;
// TextReplace: mode 0 is exact, any other ignores case, and 2 or more also
// gives the replacement the case of what it replaces.
constexpr uint32_t kKeepCase = 2;
// TextFill: the prefix goes at the end instead of the start.
constexpr uint32_t kPrefixAtEnd = 1;

TStatus StoreText(TScriptContext* context, uint32_t reference, PArrayHeader text) {
  const TStatus stored = StoreArrayRef(context, reference, text, vtUnicodeString);
  if (stored != kStatusOk) UA_Free(&text);
  return stored;
}

// ---- TextListBuild ----

// A number (or the default marker, which counts as 1) sets how often the
// next text is appended; texts are appended that often, and the count goes
// back to 1. A count is taken as unsigned.
TStatus BuildTextList(TScriptContext* context) {
  uint32_t reference;
  if (FetchRequiredDWORD(context, &reference) != kStatusOk) return kStatusBadParam;
  const TZorvatVariable* target = ResolveVar(context, reference);
  if (target == nullptr) return kStatusNoSuchVariable;
  PArrayHeader list = xL_New();
  if (list == nullptr) return kStatusOutOfMemory;
  uint32_t repeat = 1;
  TStatus status = kStatusOk;
  while (status == kStatusOk) {
    TNextParam next;
    status = SkipToListItem(context, true, &repeat, &next);
    if (status != kStatusOk || next.Kind == ptEndOfParam) break;
    const bool isTarget = next.Kind == ptVariable && next.Variable == target;
    const TVarType kind = next.Kind != ptVariable ? vtInvalid
                          : isTarget              ? vtUnicodeStringList
                                                  : next.Variable->VarType;
    if (next.Kind != ptUnicodeString && next.Kind != ptBinBlock && kind != vtUnicodeString &&
        kind != vtBinBlock) {
      status = kStatusWrongKind;
      break;
    }
    // The kind is right, so only converting a block can fail here.
    TFetchedText text;
    status = text.Fetch(context) != kFetchValue ? kStatusOutOfMemory
                                                : UStrL_AddCopies(&list, text.Get(), repeat);
    repeat = 1;
  }
  if (status == kStatusOutOfMemory) {
    xL_Free(&list);
    return status;
  }
  StoreArrayRef(context, reference, list, vtUnicodeStringList);
  return status;
}

// ---- TextReplace ----

// What a replacement unit becomes when it takes the case of `matched`:
// upper case after an upper-case letter, lower case after a lower-case one.
char16_t TakeCase(char16_t unit, char16_t matched) {
  const bool isUpper = UpperCaseTable()[matched] == matched;
  const bool isLower = LowerCaseTable()[matched] == matched;
  if (isUpper && !isLower) return UpperCaseTable()[unit];
  if (isLower && !isUpper) return LowerCaseTable()[unit];
  return unit;
}

struct TReplace {
  const char16_t* Source;
  uint32_t SourceLength;
  const char16_t* Search;
  uint32_t SearchLength;
  const char16_t* Replacement;
  uint32_t ReplacementLength;
  uint32_t Mode;

  int32_t Next(uint32_t from) const {
    if (Mode == 0) return USTR_Find(Search, SearchLength, Source, from, SourceLength);
    return USTR_FindNoCase(Search, SearchLength, Source, from, SourceLength);
  }

  // Writes the result to `out` (when not null) and returns its length;
  // matches do not overlap.
  uint64_t Build(char16_t* out) const {
    uint64_t written = 0;
    uint32_t from = 0;
    for (int32_t match = Next(0); match >= 0; match = Next(from)) {
      const uint32_t at = uint32_t(match);
      if (out != nullptr) {
        Copy(out + written, Source + from, at - from);
        WriteReplacement(out + written + (at - from), Source + at);
      }
      written += (at - from) + ReplacementLength;
      from = at + SearchLength;
    }
    if (out != nullptr) Copy(out + written, Source + from, SourceLength - from);
    return written + (SourceLength - from);
  }

 private:
  static void Copy(char16_t* to, const char16_t* from, uint32_t n) {
    if (n != 0) std::memcpy(to, from, size_t(n) * sizeof(char16_t));
  }
  void WriteReplacement(char16_t* out, const char16_t* matched) const {
    Copy(out, Replacement, ReplacementLength);
    if (Mode < kKeepCase) return;
    const uint32_t n = ReplacementLength < SearchLength ? ReplacementLength : SearchLength;
    for (uint32_t k = 0; k < n; ++k) out[k] = TakeCase(out[k], matched[k]);
  }
};

}  // namespace

TStatus CmdTextSet(TScriptContext* context) {
  uint32_t reference;
  TFetchedText held;
  const TArrayHeader* text;
  if (FetchRequiredDWORD(context, &reference) != kStatusOk) return kStatusBadParam;
  if (FetchTextOr(context, &held, USTR_Empty(), &text) != kStatusOk) return kStatusBadParam;
  return StoreText(context, reference, held.Get() != nullptr ? held.Release() : USTR_Empty());
}

TStatus CmdTextListBuild(TScriptContext* context) {
  return RunToEndOfParams(context, [&] { return BuildTextList(context); });
}

TStatus CmdTextSplit(TScriptContext* context) {
  uint32_t source, target, keepEmpty;
  TFetchedText heldDelimiter, heldQuote;
  const TArrayHeader *delimiter, *quote;
  if (FetchRequiredDWORD(context, &source) != kStatusOk) return kStatusBadParam;
  if (FetchDWORDOr(context, source, &target) != kStatusOk) return kStatusBadParam;
  if (FetchTextOr(context, &heldDelimiter, USTR_Empty(), &delimiter) != kStatusOk) {
    return kStatusBadParam;
  }
  if (FetchTextOr(context, &heldQuote, USTR_Empty(), &quote) != kStatusOk) return kStatusBadParam;
  if (FetchDWORDOr(context, 0, &keepEmpty) != kStatusOk) return kStatusBadParam;
  const TZorvatVariable* v = ResolveVar(context, source);
  if (v == nullptr) return kStatusNoSuchVariable;
  if (v->VarType != vtUnicodeString) return kStatusWrongKind;
  const TArrayHeader* text = v->UA != nullptr ? v->UA : USTR_Empty();
  PArrayHeader list;
  bool split;
  const uint32_t status = SplitAsGiven(USTR_Chars(text), USTR_Length(text), USTR_Chars(delimiter),
                                       USTR_Length(delimiter), USTR_Chars(quote),
                                       USTR_Length(quote), keepEmpty != 0, &list, &split);
  if (status != kStatusOk || !split) return status;
  const TStatus stored = StoreArrayRef(context, target, list, vtUnicodeStringList);
  if (stored != kStatusOk) xL_Free(&list);
  return stored;
}

// Unlike its neighbours, this command reports a variable that does not exist
// with 1002 and one that holds no text with 101; scripts may test for them.
TStatus CmdTextTrim(TScriptContext* context) {
  uint32_t reference, side;
  TFetchedText heldSet;
  const TArrayHeader* set;
  if (FetchRequiredDWORD(context, &reference) != kStatusOk) return kStatusBadParam;
  if (FetchTextOr(context, &heldSet, USTR_Blank(), &set) != kStatusOk) return kStatusBadParam;
  if (FetchDWORDOr(context, kTrimBoth, &side) != kStatusOk) return kStatusBadParam;
  const TZorvatVariable* v = ResolveVar(context, reference);
  if (v == nullptr) return kStatusOutOfMemory;
  if (v->VarType != vtUnicodeString) return kStatusBadVarKindForNumber;
  const uint32_t length = USTR_Length(v->UA);
  if (length == 0) return kStatusOk;
  uint32_t first, last;
  TrimBounds(USTR_Chars(v->UA), length, USTR_Chars(set), USTR_Length(set), side, &first, &last);
  if (first == 0 && last == length) return kStatusOk;
  PArrayHeader trimmed = USTR_FromBuffer(USTR_Chars(v->UA) + first, last - first);
  if (trimmed == nullptr) return kStatusOutOfMemory;
  return StoreText(context, reference, trimmed);
}

TStatus CmdTextFill(TScriptContext* context) {
  uint32_t reference, size, flags;
  TFetchedText heldPrefix, heldPattern;
  const TArrayHeader *prefix, *pattern;
  if (FetchRequiredDWORD(context, &reference) != kStatusOk) return kStatusBadParam;
  if (FetchTextOr(context, &heldPrefix, USTR_Empty(), &prefix) != kStatusOk) {
    return kStatusBadParam;
  }
  if (FetchRequiredDWORD(context, &size) != kStatusOk) return kStatusBadParam;
  if (FetchTextOr(context, &heldPattern, USTR_Blank(), &pattern) != kStatusOk) {
    return kStatusBadParam;
  }
  if (FetchDWORDOr(context, 0, &flags) != kStatusOk) return kStatusBadParam;
  const uint32_t prefixLength = USTR_Length(prefix);
  const uint32_t patternLength = USTR_Length(pattern);
  if (size == 0 || patternLength == 0) return kStatusEmptyFill;
  const uint32_t length = prefixLength > size ? prefixLength : size;
  PArrayHeader result = USTR_New(length);
  if (result == nullptr) return kStatusOutOfMemory;
  char16_t* units = USTR_Chars(result);
  const uint32_t fillLength = length - prefixLength;
  char16_t* fill = (flags & kPrefixAtEnd) != 0 ? units : units + prefixLength;
  char16_t* prefixAt = (flags & kPrefixAtEnd) != 0 ? units + fillLength : units;
  if (prefixLength != 0) {
    std::memcpy(prefixAt, USTR_Chars(prefix), size_t(prefixLength) * sizeof(char16_t));
  }
  for (uint32_t i = 0; i < fillLength; ++i) fill[i] = USTR_Chars(pattern)[i % patternLength];
  return StoreText(context, reference, result);
}

TStatus CmdTextReplace(TScriptContext* context) {
  uint32_t reference, mode;
  TFetchedText heldSource, heldSearch, heldReplacement;
  const TArrayHeader *source, *search, *replacement;
  if (FetchRequiredDWORD(context, &reference) != kStatusOk) return kStatusBadParam;
  if (FetchTextOr(context, &heldSource, nullptr, &source) != kStatusOk) return kStatusBadParam;
  if (FetchTextOr(context, &heldSearch, nullptr, &search) != kStatusOk) return kStatusBadParam;
  if (FetchTextOr(context, &heldReplacement, USTR_Empty(), &replacement) != kStatusOk) {
    return kStatusBadParam;
  }
  if (FetchDWORDOr(context, 0, &mode) != kStatusOk) return kStatusBadParam;
  const TReplace replace{USTR_Chars(source),
                         USTR_Length(source),
                         USTR_Chars(search),
                         USTR_Length(search),
                         USTR_Chars(replacement),
                         USTR_Length(replacement),
                         mode};
  const uint64_t length = replace.Build(nullptr);
  if (length >= 0x7FFFFFFF) return kStatusOutOfMemory;
  PArrayHeader result = length == 0 ? USTR_Empty() : USTR_New(uint32_t(length));
  if (result == nullptr) return kStatusOutOfMemory;
  if (length != 0) replace.Build(USTR_Chars(result));
  return StoreText(context, reference, result);
}

// Stores how B sorts against A: 1 when B comes after A.
TStatus CmdTextCompare(TScriptContext* context) {
  uint32_t reference, mode;
  TFetchedText heldA, heldB;
  const TArrayHeader *a, *b;
  if (FetchRequiredDWORD(context, &reference) != kStatusOk) return kStatusBadParam;
  if (FetchTextOr(context, &heldA, nullptr, &a) != kStatusOk) return kStatusBadParam;
  if (FetchTextOr(context, &heldB, USTR_Empty(), &b) != kStatusOk) return kStatusBadParam;
  if (FetchDWORDOr(context, 0, &mode) != kStatusOk) return kStatusBadParam;
  const int result =
      mode == kIgnoreCase
          ? USTR_CompareNoCase(USTR_Chars(b), USTR_Length(b), USTR_Chars(a), USTR_Length(a))
          : USTR_Compare(USTR_Chars(b), USTR_Length(b), USTR_Chars(a), USTR_Length(a));
  return Var_StoreDWORD(context, reference, AsDWORDResult(result));
}

TStatus CmdTextFind(TScriptContext* context) {
  uint32_t reference, start, mode;
  TFetchedText heldText, heldNeedle;
  const TArrayHeader *text, *needle;
  if (FetchRequiredDWORD(context, &reference) != kStatusOk) return kStatusBadParam;
  if (FetchTextOr(context, &heldText, nullptr, &text) != kStatusOk) return kStatusBadParam;
  if (FetchTextOr(context, &heldNeedle, USTR_Empty(), &needle) != kStatusOk) {
    return kStatusBadParam;
  }
  if (FetchDWORDOr(context, 0, &start) != kStatusOk) return kStatusBadParam;
  if (FetchDWORDOr(context, 0, &mode) != kStatusOk) return kStatusBadParam;
  const int32_t position = mode == kIgnoreCase
                               ? USTR_FindNoCase(USTR_Chars(needle), USTR_Length(needle),
                                                 USTR_Chars(text), start, USTR_Length(text))
                               : USTR_Find(USTR_Chars(needle), USTR_Length(needle),
                                           USTR_Chars(text), start, USTR_Length(text));
  return Var_StoreDWORD(context, reference, AsDWORDResult(position));
}
