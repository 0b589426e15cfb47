// What the text, block and list commands share: fetching their typical
// parameters (a result variable that may default to another, a text or a
// block with or without a default), storing three-way results, looking at
// the next parameter of a list whose items change meaning by kind, and
// trimming a run of units at either end.
#pragma once

#include <cstdint>

#include "base/status.h"
#include "runtime/core/fetch.h"
#include "runtime/core/types.h"
#include "runtime/values/list.h"
#include "runtime/values/text_parser.h"

// A comparison result (1, 0, -1) or a search position (-1 when not found)
// as scripts see it: -1 is the DWORD 0xFFFFFFFF.
inline uint32_t AsDWORDResult(int32_t value) {
  return uint32_t(value);
}

// A text parameter into `holder`, which releases it. `*text` is what the
// command uses: the fetched text, or `fallback` when the parameter is the
// default marker or missing. 0; 102 when it is unusable, or when it is not
// given and `fallback` is null (the parameter has no default).
TStatus FetchTextOr(TScriptContext* context, TFetchedText* holder, const TArrayHeader* fallback,
                    const TArrayHeader** text);

// A binary-block parameter (a constant or a block variable's own block, read
// in place and not owned), as FetchTextOr.
TStatus FetchBlockOr(TScriptContext* context, const TArrayHeader* fallback,
                     const TArrayHeader** block);

// The next parameter without moving IP: its kind (ptEndOfParam when the
// code ends) and, for a variable parameter, the variable (null when the
// reference names none).
struct TNextParam {
  uint8_t Kind;
  TZorvatVariable* Variable;
};
TNextParam PeekParam(TScriptContext* context);

// The list builders read repeat counts and items in turn. This reads counts
// (numbers and number variables, and the default marker as 1 when
// `defaultIsCount`) into *repeat until it stands at an item or at the end,
// which it leaves unread and describes in *next. 1001 when a variable
// parameter names no variable.
TStatus SkipToListItem(TScriptContext* context, bool defaultIsCount, uint32_t* repeat,
                       TNextParam* next);

// Runs an open-ended command's body and leaves IP past its end byte on
// every path.
template <typename Body>
TStatus RunToEndOfParams(TScriptContext* context, Body body) {
  uint32_t end;
  CountParams(context, context->IP, &end);
  const TStatus status = body();
  context->IP = end;
  return status;
}

// The split that the parameters given choose: delimiter and quote split
// outside quotes, a delimiter alone splits everywhere (keeping empty pieces
// when asked), a quote alone takes the quoted sections. `*split` is false,
// and nothing is made, when neither is given (an empty one counts as not
// given). On failure the partial list is freed.
template <typename U>
uint32_t SplitAsGiven(const U* source, uint32_t length, const U* delimiter,
                      uint32_t delimiterLength, const U* quote, uint32_t quoteLength,
                      bool keepEmpty, PArrayHeader* list, bool* split) {
  *list = nullptr;
  *split = delimiterLength != 0 || quoteLength != 0;
  uint32_t status = kStatusOk;
  if (delimiterLength != 0 && quoteLength != 0) {
    status = SplitQuoted(source, length, delimiter, delimiterLength, quote, quoteLength, list);
  } else if (delimiterLength != 0) {
    status = Split(source, length, delimiter, delimiterLength, keepEmpty, list);
  } else if (quoteLength != 0) {
    status = ExtractQuoted(source, length, quote, quoteLength, list);
  }
  if (status != kStatusOk) xL_Free(list);
  return status;
}

// Trimming: which ends of a run of units to cut.
enum TTrimSide : uint32_t { kTrimBoth = 0, kTrimStart = 1, kTrimEnd = 2 };

// The part [*first, *last) of `units` that remains once the units found in
// `set` are cut from the ends that `side` names; any other side cuts
// nothing. The end cut never crosses the start cut.
template <typename U>
void TrimBounds(const U* units, uint32_t length, const U* set, uint32_t setLength, uint32_t side,
                uint32_t* first, uint32_t* last) {
  auto inSet = [&](U unit) {
    for (uint32_t i = 0; i < setLength; ++i) {
      if (set[i] == unit) return true;
    }
    return false;
  };
  *first = 0;
  *last = length;
  if (side == kTrimBoth || side == kTrimStart) {
    while (*first < length && inSet(units[*first])) ++*first;
  }
  if (side == kTrimBoth || side == kTrimEnd) {
    while (*last > *first && inSet(units[*last - 1])) --*last;
  }
}
