// Parameter fetching: a handler reads its parameters one at a time from IP,
// in the order they stand in the instruction. Each routine reads the kind
// byte, converts the parameter to what the handler asks for, reports through
// a status byte what it found, and advances IP past the parameter whatever
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

#include "runtime/core/types.h"
#include "runtime/values/unified_array.h"

enum TFetchStatus : uint8_t {
  kFetchValue = 0,     // a value was given and converted
  kFetchDefault = 1,   // ptDefault: use the handler's default
  kFetchUnusable = 2,  // wrong kind, or a variable that is missing or unsuitable
  kFetchEnd = 3,       // ptEndOfParam: the list has ended
};

uint32_t FetchDWORD(TScriptContext* context, uint8_t* status, uint32_t defaultValue);
int64_t FetchInt64(TScriptContext* context, uint8_t* status, int64_t defaultValue);
TExtended FetchExtended(TScriptContext* context, uint8_t* status, TExtended defaultValue);
// `expected` is one of the array, text and list kinds 3, 4, 5, 6, 8, 13, 14.
// The result is the variable's own array or a constant: read it, never free
// it, and stop using it once anything is stored into that variable.
PArrayHeader FetchArray(TScriptContext* context, uint8_t* status, TParamType expected);
inline PArrayHeader FetchBinBlock(TScriptContext* context, uint8_t* status) {
  return FetchArray(context, status, ptBinBlock);
}
// A text the handler owns (release it with UA_Free, or hold it in a
// TFetchedText): a text constant itself, a new text converted from a block
// through the ANSI code page, or a clone of a variable's text.
PArrayHeader FetchText(TScriptContext* context, uint8_t* status);

// A DWORD parameter that must be given (a result variable's reference, a
// jump target): 0, or 102 when it is defaulted, missing or unusable.
TStatus FetchRequiredDWORD(TScriptContext* context, uint32_t* value);

// Counts the parameters from `position` up to the next end byte; `*end` is
// the position after it. Does not move IP.
uint32_t CountParams(const TScriptContext* context, uint32_t position, uint32_t* end);

// Holds a fetched text and releases it on every way out of a handler.
class TFetchedText {
 public:
  TFetchedText() = default;
  explicit TFetchedText(PArrayHeader text) : text_(text) {}
  TFetchedText(const TFetchedText&) = delete;
  TFetchedText& operator=(const TFetchedText&) = delete;
  ~TFetchedText() { UA_Free(&text_); }

  // Fetches the next parameter as text into this holder.
  uint8_t Fetch(TScriptContext* context) {
    UA_Free(&text_);
    uint8_t status = kFetchValue;
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
