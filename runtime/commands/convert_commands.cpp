// Block-to-text conversions, environment expansion and the random seed: a
// block's bytes read as UTF-16 text, a block written as lower-case
// hexadecimal text, the environment-variable references of a text expanded,
// and the seed of the generator behind `Random`. The process image path,
// which needs the operating system's process handles, is in
// convert_commands_win32.cpp.
//
// The commands that read a source variable store into a result variable
// that defaults to the source, so a script can convert a value in place; the
// result is built in full before the store replaces the source.
#include <chrono>
#include <cstring>
#include <string>

#include "base/status.h"
#include "runtime/commands/commands.h"
#include "runtime/commands/convert_sources.h"
#include "runtime/commands/environment_expansion.h"
#include "runtime/commands/random_generator.h"
#include "runtime/commands/text_command_support.h"
#include "runtime/core/fetch.h"
#include "runtime/core/variables.h"
#include "runtime/values/block.h"
#include "runtime/values/text.h"

#if defined(__i386__) || defined(__x86_64__)
#include <x86intrin.h>
#endif

namespace {

constexpr char16_t kHexDigits[] = u"0123456789abcdef";

// A seed that differs from run to run: the low half of the processor's
// time-stamp counter where there is one, else the finest clock.
uint32_t TimeStampSeed() {
#if defined(__i386__) || defined(__x86_64__)
  return uint32_t(__rdtsc());
#else
  return uint32_t(std::chrono::high_resolution_clock::now().time_since_epoch().count());
#endif
}

// The bytes as hexadecimal digits, the separator between bytes; null when
// the text would not fit a value.
PArrayHeader HexText(const uint8_t* bytes, uint32_t n, const TArrayHeader* separator) {
  const uint32_t s = USTR_Length(separator);
  const uint64_t length = 2 * uint64_t(n) + uint64_t(n - 1) * s;
  if (length > 0x7FFFFFFF) return nullptr;
  PArrayHeader text = USTR_New(uint32_t(length));
  if (text == nullptr) return nullptr;
  char16_t* out = USTR_Chars(text);
  for (uint32_t i = 0; i < n; ++i) {
    if (i != 0 && s != 0) {
      std::char_traits<char16_t>::copy(out, USTR_Chars(separator), s);
      out += s;
    }
    *out++ = kHexDigits[bytes[i] >> 4];
    *out++ = kHexDigits[bytes[i] & 15];
  }
  return text;
}

}  // namespace

// Two bytes make one unit; an odd byte count fails with 1064 and stores
// nothing, since the last byte would be half a unit.
TStatus CmdBlockAsText(TScriptContext* context) {
  TFetchStatus status;
  const TArrayHeader* block = FetchBinBlock(context, &status);
  if (status != kFetchValue) return kStatusBadParam;
  uint32_t result;
  if (FetchRequiredDWORD(context, &result) != kStatusOk) return kStatusBadParam;
  const uint32_t n = BB_Length(block);
  if (n % 2 != 0) return kStatusBlockLengthMismatch;
  if (n == 0) return Var_StoreUnicodeString(context, result, nullptr, 0);
  std::u16string units(n / 2, u'\0');
  std::memcpy(units.data(), UA_Data(block), n);
  return Var_StoreUnicodeString(context, result, units.data(), n / 2);
}

TStatus CmdBlockToHexText(TScriptContext* context) {
  TConvertVariables names;
  TFetchedText held;
  const TArrayHeader* separator;
  if (FetchConvertVariables(context, &names) != kStatusOk) return kStatusBadParam;
  if (FetchTextOr(context, &held, USTR_Empty(), &separator) != kStatusOk) return kStatusBadParam;
  const TZorvatVariable* v = ResolveVar(context, names.Source);
  if (v == nullptr) return kStatusNoSuchVariable;
  if (v->VarType != vtBinBlock) return kStatusNoItems;
  const uint32_t n = BB_Length(v->UA);
  PArrayHeader text = n == 0 ? USTR_Empty() : HexText(UA_Data(v->UA), n, separator);
  if (text == nullptr) return kStatusOutOfMemory;
  const TStatus stored = StoreArrayRef(context, names.Result, text, vtUnicodeString);
  if (stored != kStatusOk) UA_Free(&text);
  return stored;
}

// An unusable seed changes nothing: a failing command must not leave the
// generator in a state the script did not ask for.
TStatus CmdRandomSeed(TScriptContext* context) {
  TFetchStatus status;
  const uint32_t seed = FetchDWORD(context, &status, 0);
  if (status == kFetchUnusable) return kStatusBadParam;
  SeedRandomGenerator(status == kFetchValue ? seed : TimeStampSeed());
  return kStatusOk;
}

TStatus CmdTextExpandEnvironment(TScriptContext* context) {
  TConvertVariables names;
  if (FetchConvertVariables(context, &names) != kStatusOk) return kStatusBadParam;
  const TZorvatVariable* v = ResolveVar(context, names.Source);
  if (v == nullptr) return kStatusNoSuchVariable;
  if (v->VarType != vtUnicodeString && v->VarType != vtBinBlock) return kStatusNoItems;
  TFetchedText converted(v->VarType == vtBinBlock ? USTR_FromBB(v->UA) : nullptr);
  const TArrayHeader* text = v->VarType == vtBinBlock ? converted.Get() : v->UA;
  if (v->VarType == vtBinBlock && text == nullptr) return kStatusOutOfMemory;
  std::u16string expanded;
  const TStatus status =
      ExpandEnvironment(USTR_ToNative(text), &expanded, &context->LastWindowsError);
  if (status != kStatusOk) return status;
  return Var_StoreUnicodeString(context, names.Result, expanded.data(), uint32_t(expanded.size()));
}
