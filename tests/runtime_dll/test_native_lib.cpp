// zv_testlib.dll: a native library of the kind a script calls. It gets the
// script context, finds the runtime's exported Var_ functions by name in the
// module that the context's first field names, and stores results into
// script variables — the interface every native library uses.
//
// It also has functions in each calling convention that DllCall offers,
// whose results tell in which order (and whether at all) their arguments
// arrived, and functions that read or write through the pointers that
// DllCall passes for numbers, texts and blocks.
#include <windows.h>

#include <cstdint>
#include <cwchar>
#include <initializer_list>

#include "include/zorvat.h"
#include "tests/support/utf16.h"

namespace {

template <typename T>
T Find(const TScriptContext* context, const char* name) {
  const TScriptContextRecord* record = reinterpret_cast<const TScriptContextRecord*>(context);
  HMODULE runtime = reinterpret_cast<HMODULE>(uintptr_t(record->MyOwnModule));
  return reinterpret_cast<T>(reinterpret_cast<void*>(GetProcAddress(runtime, name)));
}

}  // namespace

// Stores 0xC0FFEE, a text and a list of two texts; returns the first failing
// status, or 0xFFFF when a function cannot be found.
extern "C" __declspec(dllexport) uint32_t
    __stdcall StoreResults(TScriptContext* context, uint32_t dwordRef, uint32_t textRef,
                           uint32_t listRef) {
  TZvVarStoreDWORD storeDWORD = Find<TZvVarStoreDWORD>(context, "Var_StoreDWORD");
  TZvVarStoreUnicodeString storeText =
      Find<TZvVarStoreUnicodeString>(context, "Var_StoreUnicodeString");
  TZvVarInitList initList = Find<TZvVarInitList>(context, "Var_InitUStrL");
  TZvVarAddItemUStrL addText = Find<TZvVarAddItemUStrL>(context, "Var_AddItemUStrL");
  if (!storeDWORD || !storeText || !initList || !addText) return 0xFFFF;
  uint32_t status = storeDWORD(context, dwordRef, 0xC0FFEE);
  if (status == 0) status = storeText(context, textRef, U16(L"from the library"), 16);
  if (status == 0) status = initList(context, listRef);
  if (status == 0) status = addText(context, listRef, U16(L"one"), -1);
  if (status == 0) status = addText(context, listRef, U16(L"two and more"), 3);
  return status;
}

// Tries to store into the variable `reference`; returns the runtime's answer.
extern "C" __declspec(dllexport) uint32_t
    __stdcall StoreDWORDInto(TScriptContext* context, uint32_t reference) {
  TZvVarStoreDWORD storeDWORD = Find<TZvVarStoreDWORD>(context, "Var_StoreDWORD");
  return storeDWORD ? storeDWORD(context, reference, 1) : 0xFFFF;
}

// ---- Argument order in each convention: the digits of the result are the
// argument words in the order the script wrote them (1 2 3 4 gives 1234). ----

namespace {

uint64_t Digits(std::initializer_list<uint32_t> words) {
  uint64_t value = 0;
  for (uint32_t word : words) value = value * 10 + word;
  return value;
}

}  // namespace

extern "C" __declspec(dllexport) uint64_t
    __stdcall OrderStdcall(uint32_t a, uint32_t b, uint32_t c, uint32_t d) {
  return Digits({a, b, c, d});
}

extern "C" __declspec(dllexport) uint64_t
    __cdecl OrderCdecl(uint32_t a, uint32_t b, uint32_t c, uint32_t d) {
  return Digits({a, b, c, d});
}

extern "C" __declspec(dllexport) uint64_t
    __fastcall OrderFastcall(uint32_t a, uint32_t b, uint32_t c, uint32_t d) {
  return Digits({a, b, c, d});
}

// The pascal convention pushes the first word first, so the last word lies
// lowest on the stack: as stdcall, the parameters come in reverse.
extern "C" __declspec(dllexport) uint64_t
    __stdcall OrderPascal(uint32_t d, uint32_t c, uint32_t b, uint32_t a) {
  return Digits({a, b, c, d});
}

// The register convention: three words in EAX, EDX, ECX, the rest pushed
// from word 4 on, so the last word lies lowest (the compiler reads the
// stack part as cdecl does).
extern "C" __declspec(dllexport) __attribute__((regparm(3))) uint64_t
    OrderRegister(uint32_t a, uint32_t b, uint32_t c, uint32_t e, uint32_t d) {
  return Digits({a, b, c, d, e});
}

// A result that needs both halves of EDX:EAX.
extern "C" __declspec(dllexport) uint64_t __stdcall Wide64() {
  return 0x123456789ABCDEF0ull;
}

// Thirty words, more than the runtime keeps in its local array: each
// position weighted by its number, so that a word in the wrong place shows.
extern "C" __declspec(dllexport) uint64_t
    __stdcall Weighted30(uint32_t w1, uint32_t w2, uint32_t w3, uint32_t w4, uint32_t w5,
                         uint32_t w6, uint32_t w7, uint32_t w8, uint32_t w9, uint32_t w10,
                         uint32_t w11, uint32_t w12, uint32_t w13, uint32_t w14, uint32_t w15,
                         uint32_t w16, uint32_t w17, uint32_t w18, uint32_t w19, uint32_t w20,
                         uint32_t w21, uint32_t w22, uint32_t w23, uint32_t w24, uint32_t w25,
                         uint32_t w26, uint32_t w27, uint32_t w28, uint32_t w29, uint32_t w30) {
  const uint32_t words[] = {w1,  w2,  w3,  w4,  w5,  w6,  w7,  w8,  w9,  w10,
                            w11, w12, w13, w14, w15, w16, w17, w18, w19, w20,
                            w21, w22, w23, w24, w25, w26, w27, w28, w29, w30};
  uint64_t sum = 0;
  for (uint32_t i = 0; i < 30; ++i) sum += uint64_t(i + 1) * words[i];
  return sum;
}

// ---- Pointers that DllCall passes ----

// Reads a 64-bit integer through its address (an immediate or a variable).
extern "C" __declspec(dllexport) int64_t __stdcall ReadInteger(const int64_t* value) {
  return *value;
}

// Reads an 80-bit float through its address and returns it times 4,
// truncated.
extern "C" __declspec(dllexport) int64_t __stdcall ReadFloatTimes4(const long double* value) {
  return int64_t(*value * 4);
}

// Writes through the address of an integer variable.
extern "C" __declspec(dllexport) uint32_t __stdcall TripleInPlace(int64_t* value) {
  *value *= 3;
  return 0;
}

// 1 for a null pointer.
extern "C" __declspec(dllexport) uint32_t __stdcall IsNull(const void* pointer) {
  return pointer == nullptr ? 1 : 0;
}

extern "C" __declspec(dllexport) uint32_t __stdcall TextLength(const wchar_t* text) {
  return uint32_t(std::wcslen(text));
}

extern "C" __declspec(dllexport) uint32_t __stdcall ByteSum(const uint8_t* bytes, uint32_t n) {
  uint32_t sum = 0;
  for (uint32_t i = 0; i < n; ++i) sum += bytes[i];
  return sum;
}

// Overwrites the first n units of a text with 'X'.
extern "C" __declspec(dllexport) uint32_t __stdcall FillWithX(wchar_t* text, uint32_t n) {
  for (uint32_t i = 0; i < n; ++i) text[i] = L'X';
  return n;
}

// The context may stand anywhere in the argument list: stores a + b into
// the variable `reference` through it.
extern "C" __declspec(dllexport) uint32_t
    __stdcall StoreSum(uint32_t a, TScriptContext* context, uint32_t reference, uint32_t b) {
  TZvVarStoreDWORD storeDWORD = Find<TZvVarStoreDWORD>(context, "Var_StoreDWORD");
  return storeDWORD ? storeDWORD(context, reference, a + b) : 0xFFFF;
}
