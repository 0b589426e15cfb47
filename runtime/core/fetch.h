// Parameter fetching: a handler reads its parameters one at a time from IP,
// in the order they stand in the instruction. Each routine reads the kind
// byte, converts the parameter to what the handler asks for, reports in a
// TFetchStatus what it found, and advances IP past the parameter whatever
// the status — except past the end byte: once the list has ended, every
// further fetch reports the end again (the executor steps over the byte).
//
// Literals come from the instruction, constants from the image's aligned
// constant pool, and a variable parameter reads the variable's current value.
// A parameter through which a command returns a result is a DWORD holding a
// variable reference, fetched with FetchDWORD.
//
// Only FetchText allocates (to convert a block or clone a variable's text).
#pragma once

#include <cstdint>

#include "base/bytes.h"
#include "base/image_format.h"
#include "base/status.h"
#include "runtime/core/image.h"
#include "runtime/core/types.h"
#include "runtime/core/variables.h"
#include "runtime/values/unified_array.h"

enum TFetchStatus : uint8_t {
  kFetchValue = 0,     // a value was given and converted
  kFetchDefault = 1,   // ptDefault: use the handler's default
  kFetchUnusable = 2,  // wrong kind, or a variable that is missing or unsuitable
  kFetchEnd = 3,       // ptEndOfParam: the list has ended
};

inline uint32_t FetchDWORD(TScriptContext* context, TFetchStatus* status, uint32_t defaultValue);
inline int64_t FetchInt64(TScriptContext* context, TFetchStatus* status, int64_t defaultValue);
TExtended FetchExtended(TScriptContext* context, TFetchStatus* status, TExtended defaultValue);
// `expected` is one of the array, text and list kinds 3, 4, 5, 6, 8, 13, 14.
// The result is the variable's own array or a constant: read it, never free
// it, and stop using it once anything is stored into that variable.
PArrayHeader FetchArray(TScriptContext* context, TFetchStatus* status, TParamType expected);
inline PArrayHeader FetchBinBlock(TScriptContext* context, TFetchStatus* status) {
  return FetchArray(context, status, ptBinBlock);
}
// A text the handler owns (release it with UA_Free, or hold it in a
// TFetchedText): a text constant itself, a new text converted from a block
// through the ANSI code page, or a clone of a variable's text.
PArrayHeader FetchText(TScriptContext* context, TFetchStatus* status);

// A text parameter read in place where that is possible: a text constant,
// or a text variable's own text (read it, never free it, and stop using it
// once anything is stored into that variable). A block is converted into a
// new text, and *owned says that the caller must release it.
PArrayHeader FetchTextInPlace(TScriptContext* context, TFetchStatus* status, bool* owned);

// A DWORD parameter that must be given (a result variable's reference, a
// jump target): 0, or 102 when it is defaulted, missing or unusable.
inline TStatus FetchRequiredDWORD(TScriptContext* context, uint32_t* value);
// A DWORD parameter that may be left out: the default marker and the end of
// the list give `fallback`. 0, or 102 when the parameter is unusable.
inline TStatus FetchDWORDOr(TScriptContext* context, uint32_t fallback, uint32_t* value);

// Counts the parameters from `position` up to the next end byte; `*end` is
// the position after it. Does not move IP.
inline uint32_t CountParams(const TScriptContext* context, uint32_t position, uint32_t* end);

// Holds a fetched text and releases it on every way out of a handler.
class TFetchedText {
 public:
  TFetchedText() = default;
  explicit TFetchedText(PArrayHeader text) : text_(text) {}
  TFetchedText(const TFetchedText&) = delete;
  TFetchedText& operator=(const TFetchedText&) = delete;
  ~TFetchedText() { UA_Free(&text_); }

  // Fetches the next parameter as text into this holder.
  TFetchStatus Fetch(TScriptContext* context) {
    UA_Free(&text_);
    TFetchStatus status = kFetchValue;
    text_ = FetchText(context, &status);
    return status;
  }
  PArrayHeader Get() const { return text_; }
  // Gives the text away (for example to a variable that takes it).
  PArrayHeader Release() {
    PArrayHeader text = text_;
    text_ = nullptr;
    return text;
  }

 private:
  PArrayHeader text_ = nullptr;
};

// ---- The hot fetches, inline: they run for nearly every parameter. ----

namespace fetch_detail {

// What TakeParam returns when IP stands at the end of its code section: there
// is nothing more to read, so the list has ended.
constexpr uint8_t kNoParam = 0xFF;

// How far IP moves over a parameter of each kind byte: the kind byte and its
// payload. The end byte is not stepped over: a handler that fetches again
// after the end of its list keeps getting the end instead of reading the next
// instruction, and the executor steps over the end byte when the handler
// returns. An invalid kind is stepped over by its byte alone.
struct TParamSteps {
  uint8_t Step[256];
  constexpr TParamSteps() : Step() {
    for (unsigned k = 0; k < 256; ++k) {
      Step[k] = k < kParamTypeCount ? uint8_t(1 + kParamPayloadSize[k]) : 1;
    }
    Step[ptEndOfParam] = 0;
  }
};
inline constexpr TParamSteps kParamSteps{};

inline uint8_t TakeParam(TScriptContext* c, const uint8_t** payload) {
  const uint32_t ip = c->IP;
  if (ip >= c->CodeEnd) return kNoParam;
  const uint8_t* p = c->ScriptStart + ip;
  const uint8_t kind = p[0];
  *payload = p + 1;
  c->IP = ip + kParamSteps.Step[kind];
  return kind;
}

}  // namespace fetch_detail

namespace fetch_detail {

// The conversions of the two hot fetches, from a kind byte and its payload.
// FetchDWORD and FetchInt64 take the parameter at IP; TParamReader takes it
// from a list already counted.
inline uint32_t ConvertDWORD(TScriptContext* context, uint8_t kind, const uint8_t* p,
                             TFetchStatus* status, uint32_t defaultValue) {
  *status = kFetchValue;
  switch (kind) {
    case ptByte:
      return uint32_t(int32_t(int8_t(p[0])));
    case ptWord:
      return uint32_t(int32_t(int16_t(LoadU16(p))));
    case ptDWORD:
    case ptInteger:  // the low 32 bits
      return LoadU32(p);
    case ptVariable: {
      const TZorvatVariable* v = ResolveVar(context, LoadU32(p));
      if (v != nullptr && (v->VarType == vtDWORD || v->VarType == vtInteger)) return v->AsDWORD;
      break;
    }
    case ptDefault:
      *status = kFetchDefault;
      return defaultValue;
    case ptEndOfParam:
    case kNoParam:
      *status = kFetchEnd;
      return defaultValue;
  }
  *status = kFetchUnusable;
  return 0;
}

inline int64_t ConvertInt64(TScriptContext* context, uint8_t kind, const uint8_t* p,
                            TFetchStatus* status, int64_t defaultValue) {
  *status = kFetchValue;
  switch (kind) {
    case ptByte:
      return int8_t(p[0]);
    case ptWord:
      return int16_t(LoadU16(p));
    case ptDWORD:
      return int64_t(LoadU32(p));
    case ptInteger:
      return int64_t(LoadU64(p));
    case ptVariable: {
      const TZorvatVariable* v = ResolveVar(context, LoadU32(p));
      if (v != nullptr && v->VarType == vtInteger) return v->AsInteger;
      if (v != nullptr && v->VarType == vtDWORD) return int64_t(v->AsDWORD);
      break;
    }
    case ptDefault:
      *status = kFetchDefault;
      return defaultValue;
    case ptEndOfParam:
    case kNoParam:
      *status = kFetchEnd;
      return defaultValue;
  }
  *status = kFetchUnusable;
  return 0;
}

}  // namespace fetch_detail

inline uint32_t FetchDWORD(TScriptContext* context, TFetchStatus* status, uint32_t defaultValue) {
  const uint8_t* p = nullptr;
  const uint8_t kind = fetch_detail::TakeParam(context, &p);
  return fetch_detail::ConvertDWORD(context, kind, p, status, defaultValue);
}

inline int64_t FetchInt64(TScriptContext* context, TFetchStatus* status, int64_t defaultValue) {
  const uint8_t* p = nullptr;
  const uint8_t kind = fetch_detail::TakeParam(context, &p);
  return fetch_detail::ConvertInt64(context, kind, p, status, defaultValue);
}

// Reads the parameters of a list that CountParams has counted, from a
// position of its own, without moving IP: the handler sets IP to the list's
// end when it is done, as it must anyway. It reads exactly as FetchDWORD and
// FetchInt64 do, and never more parameters than were counted.
class TParamReader {
 public:
  TParamReader(TScriptContext* context, uint32_t position)
      : context_(context), p_(context->ScriptStart + position) {}
  uint32_t DWORD(TFetchStatus* status, uint32_t defaultValue) {
    const uint8_t* payload;
    const uint8_t kind = Take(&payload);
    return fetch_detail::ConvertDWORD(context_, kind, payload, status, defaultValue);
  }
  int64_t Int64(TFetchStatus* status, int64_t defaultValue) {
    const uint8_t* payload;
    const uint8_t kind = Take(&payload);
    return fetch_detail::ConvertInt64(context_, kind, payload, status, defaultValue);
  }

  // Whether the reader stands at the end byte of the list. Handlers' fast
  // paths read a validated instruction this way: every parameter position up
  // to the end byte (or up to the command's fixed count) lies in its section.
  bool AtEnd() const { return p_[0] == ptEndOfParam; }
  // Whether the parameter the reader stands at is the last of the list; only
  // when it does not stand at the end byte.
  bool AtLastParam() const { return p_[fetch_detail::kParamSteps.Step[p_[0]]] == ptEndOfParam; }
  // The image offset the reader stands at.
  uint32_t Position() const { return uint32_t(p_ - context_->ScriptStart); }
  // Steps over the rest of an open-ended list: the offset after its end byte.
  uint32_t SkipToEnd() {
    while (!AtEnd()) p_ += fetch_detail::kParamSteps.Step[p_[0]];
    return Position() + 1;
  }

 private:
  uint8_t Take(const uint8_t** payload) {
    const uint8_t kind = p_[0];
    *payload = p_ + 1;
    p_ += fetch_detail::kParamSteps.Step[kind];
    return kind;
  }
  TScriptContext* context_;
  const uint8_t* p_;
};

// The walk that preparation did once, recorded for open-ended lists; other
// positions (and a context prepared without it) are walked here.
inline uint32_t CountParamsByWalking(const TScriptContext* context, uint32_t position,
                                     uint32_t* end) {
  uint32_t count = 0;
  const uint8_t* image = context->ScriptStart;
  const uint32_t codeEnd = context->CodeEnd;
  while (position < codeEnd) {
    const uint8_t kind = image[position];
    if (kind == ptEndOfParam) {
      ++position;
      break;
    }
    position += fetch_detail::kParamSteps.Step[kind];
    ++count;
  }
  *end = position < codeEnd ? position : codeEnd;
  return count;
}

inline TStatus FetchDWORDOr(TScriptContext* context, uint32_t fallback, uint32_t* value) {
  TFetchStatus status;
  *value = FetchDWORD(context, &status, fallback);
  return status == kFetchUnusable ? kStatusBadParam : kStatusOk;
}

inline uint32_t CountParams(const TScriptContext* context, uint32_t position, uint32_t* end) {
  uint32_t count;
  const TPreparedImage* prepared = context->Prepared;
  if (prepared != nullptr && FindParamList(prepared, position, &count, end)) return count;
  return CountParamsByWalking(context, position, end);
}

inline TStatus FetchRequiredDWORD(TScriptContext* context, uint32_t* value) {
  TFetchStatus status;
  *value = FetchDWORD(context, &status, 0);
  return status == kFetchValue ? kStatusOk : kStatusBadParam;
}
