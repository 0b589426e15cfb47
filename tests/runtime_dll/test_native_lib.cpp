// zv_testlib.dll: a native library of the kind a script calls. It gets the
// script context, finds the runtime's exported Var_ functions by name in the
// module that the context's first field names, and stores results into
// script variables — the interface every native library uses.
#include <windows.h>

#include <cstdint>

#include "runtime/core/types.h"

namespace {

typedef uint32_t(__stdcall* TStoreDWORD)(void*, uint32_t, uint32_t);
typedef uint32_t(__stdcall* TStoreText)(void*, uint32_t, const wchar_t*, uint32_t);
typedef uint32_t(__stdcall* TInitList)(void*, uint32_t);
typedef uint32_t(__stdcall* TAddText)(void*, uint32_t, const wchar_t*, int32_t);

template <typename T>
T Find(const TScriptContext* context, const char* name) {
  HMODULE runtime = reinterpret_cast<HMODULE>(uintptr_t(context->MyOwnModule));
  return reinterpret_cast<T>(reinterpret_cast<void*>(GetProcAddress(runtime, name)));
}

}  // namespace

// Stores 0xC0FFEE, a text and a list of two texts; returns the first failing
// status, or 0xFFFF when a function cannot be found.
extern "C" __declspec(dllexport) uint32_t __stdcall StoreResults(TScriptContext* context,
                                                                 uint32_t dwordRef,
                                                                 uint32_t textRef,
                                                                 uint32_t listRef) {
  TStoreDWORD storeDWORD = Find<TStoreDWORD>(context, "Var_StoreDWORD");
  TStoreText storeText = Find<TStoreText>(context, "Var_StoreUnicodeString");
  TInitList initList = Find<TInitList>(context, "Var_InitUStrL");
  TAddText addText = Find<TAddText>(context, "Var_AddItemUStrL");
  if (!storeDWORD || !storeText || !initList || !addText) return 0xFFFF;
  uint32_t status = storeDWORD(context, dwordRef, 0xC0FFEE);
  if (status == 0) status = storeText(context, textRef, L"from the library", 16);
  if (status == 0) status = initList(context, listRef);
  if (status == 0) status = addText(context, listRef, L"one", -1);
  if (status == 0) status = addText(context, listRef, L"two and more", 3);
  return status;
}

// Tries to store into the variable `reference`; returns the runtime's answer.
extern "C" __declspec(dllexport) uint32_t __stdcall StoreDWORDInto(TScriptContext* context,
                                                                   uint32_t reference) {
  TStoreDWORD storeDWORD = Find<TStoreDWORD>(context, "Var_StoreDWORD");
  return storeDWORD ? storeDWORD(context, reference, 1) : 0xFFFF;
}
