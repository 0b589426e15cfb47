// The exported interface of Zorvat.dll and ZorvatEx.exe (names in
// runtime/zorvat.def): hosts run images with it, and native libraries called
// by a script store results into script variables through the Var_
// functions, which they look up by name in the module MyOwnModule names.
// Everything is __stdcall, the native-call command's default convention.
#include <type_traits>

#include "base/status.h"
#include "include/zorvat.h"
#include "runtime/core/context.h"
#include "runtime/core/executor.h"
#include "runtime/core/image.h"
#include "runtime/core/runtime_api.h"
#include "runtime/core/variables.h"

extern "C" {

int32_t __stdcall ZvKernelVersion() {
  return kRuntimeVersion;
}

TStatus __stdcall ZvLoadAndExecute(const char16_t* fileName, const char* sectionName) {
  if (fileName == nullptr) return kStatusNoImage;
  return LoadAndExecute(fileName, sectionName);
}

TStatus __stdcall ZvInitContext(TScriptContext* context, uint8_t* image, uint32_t length) {
  if (context == nullptr) return kStatusMalformedImage;
  return InitContext(context, image, length);
}

TStatus __stdcall ZvCompileScript(TScriptContext* context) {
  if (context == nullptr) return kStatusMalformedImage;
  return PrepareImage(context);
}

TStatus __stdcall ZvExecuteByteCode(TScriptContext* context, const char* sectionName) {
  if (context == nullptr) return kStatusMalformedImage;
  return ExecuteByteCode(context, sectionName);
}

// A library that passes no context, or one that the runtime has released (a
// form that outlived its script), has no variables to store into. A scalar
// store holds the variables' lock for the whole store: the script's thread
// stores scalars without it, but never moves a frame while it is held.
TStatus __stdcall ZvVarStoreDWORD(TScriptContext* context, uint32_t reference, uint32_t value) {
  TLibraryStoreScope scope(context);
  if (!scope.Live()) return kStatusNoSuchVariable;
  TVariablesLock lock;
  return Var_StoreDWORD(context, reference, value);
}

TStatus __stdcall ZvVarStoreInteger(TScriptContext* context, uint32_t reference, int64_t value) {
  TLibraryStoreScope scope(context);
  if (!scope.Live()) return kStatusNoSuchVariable;
  TVariablesLock lock;
  return Var_StoreInteger(context, reference, value);
}

TStatus __stdcall ZvVarStoreFloat(TScriptContext* context, uint32_t reference, TExtended value) {
  TLibraryStoreScope scope(context);
  if (!scope.Live()) return kStatusNoSuchVariable;
  TVariablesLock lock;
  return Var_StoreFloat(context, reference, value);
}

TStatus __stdcall ZvVarStoreBinBlock(TScriptContext* context, uint32_t reference, const void* data,
                                     uint32_t length) {
  TLibraryStoreScope scope(context);
  return scope.Live() ? Var_StoreBinBlock(context, reference, data, length) : kStatusNoSuchVariable;
}

TStatus __stdcall ZvVarStoreUnicodeString(TScriptContext* context, uint32_t reference,
                                          const char16_t* text, uint32_t length) {
  TLibraryStoreScope scope(context);
  return scope.Live() ? Var_StoreUnicodeString(context, reference, text, length)
                      : kStatusNoSuchVariable;
}

TStatus __stdcall ZvVarInitBBL(TScriptContext* context, uint32_t reference) {
  TLibraryStoreScope scope(context);
  return scope.Live() ? Var_InitBBL(context, reference) : kStatusNoSuchVariable;
}

TStatus __stdcall ZvVarInitUStrL(TScriptContext* context, uint32_t reference) {
  TLibraryStoreScope scope(context);
  return scope.Live() ? Var_InitUStrL(context, reference) : kStatusNoSuchVariable;
}

TStatus __stdcall ZvVarAddItemBBL(TScriptContext* context, uint32_t reference, const void* data,
                                  uint32_t length) {
  TLibraryStoreScope scope(context);
  return scope.Live() ? Var_AddItemBBL(context, reference, data, length) : kStatusNoSuchVariable;
}

TStatus __stdcall ZvVarAddItemUStrL(TScriptContext* context, uint32_t reference,
                                    const char16_t* text, int32_t length) {
  TLibraryStoreScope scope(context);
  return scope.Live() ? Var_AddItemUStrL(context, reference, text, length) : kStatusNoSuchVariable;
}

}  // extern "C"

// Each export has exactly the type the public header gives it.
static_assert(std::is_same_v<decltype(&ZvKernelVersion), TZvKernelVersion>);
static_assert(std::is_same_v<decltype(&ZvLoadAndExecute), TZvLoadAndExecute>);
static_assert(std::is_same_v<decltype(&ZvInitContext), TZvInitContext>);
static_assert(std::is_same_v<decltype(&ZvCompileScript), TZvCompileScript>);
static_assert(std::is_same_v<decltype(&ZvExecuteByteCode), TZvExecuteByteCode>);
static_assert(std::is_same_v<decltype(&ZvVarStoreDWORD), TZvVarStoreDWORD>);
static_assert(std::is_same_v<decltype(&ZvVarStoreInteger), TZvVarStoreInteger>);
static_assert(std::is_same_v<decltype(&ZvVarStoreFloat), TZvVarStoreFloat>);
static_assert(std::is_same_v<decltype(&ZvVarStoreBinBlock), TZvVarStoreBinBlock>);
static_assert(std::is_same_v<decltype(&ZvVarStoreUnicodeString), TZvVarStoreUnicodeString>);
static_assert(std::is_same_v<decltype(&ZvVarInitBBL), TZvVarInitList>);
static_assert(std::is_same_v<decltype(&ZvVarInitUStrL), TZvVarInitList>);
static_assert(std::is_same_v<decltype(&ZvVarAddItemBBL), TZvVarAddItemBBL>);
static_assert(std::is_same_v<decltype(&ZvVarAddItemUStrL), TZvVarAddItemUStrL>);
