// Native calls: a script calls any exported function of any library (or any
// function whose address a variable holds) with argument words of its own
// choosing, in one of five calling conventions, and can keep the 64-bit
// result; and it releases the libraries it loaded by name. Libraries are
// bound through the loaded-library list, so each is loaded once and stays
// loaded until DllFreeAll (or until the runtime goes away).
//
// An omitted argument passes the script context itself: that is how a
// called library reaches the runtime's exported Var_ functions (it finds
// them by name in the module that the context's first field names) and
// stores results into the script's variables.
//
// The call goes through a small routine of our own that sets up the stack
// and registers, calls, and then restores the stack pointer from its frame
// pointer, so a callee that removes too many or too few bytes (a wrong
// convention or a wrong argument count) cannot unbalance the runtime's
// stack. A fault inside the callee is not handled here: the executor's guard
// ends the run with 104.
#include <windows.h>

#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <string>

#include "base/bytes.h"
#include "base/platform.h"
#include "base/status.h"
#include "runtime/commands/commands.h"
#include "runtime/core/fetch.h"
#include "runtime/core/image.h"
#include "runtime/core/library_list.h"
#include "runtime/core/variables.h"
#include "runtime/values/text.h"

static_assert(sizeof(void*) == 4, "the native call is i686 code");

// What the call routine needs, prepared in C++: the words in the order in
// which they must lie on the stack (the lowest address first), the values of
// EAX, EDX and ECX, and a heap vector that the routine frees as soon as it
// has copied the words (so that nothing is lost when the callee faults and
// the executor's guard leaves this frame without returning through it).
struct TNativeCall {
  const void* Function;
  const uint32_t* Stack;
  uint32_t StackWordCount;
  uint32_t Eax;
  uint32_t Edx;
  uint32_t Ecx;
  void* HeapWords;               // null when the words are in a local array
  void (*Release)(void* block);  // frees HeapWords
};
static_assert(offsetof(TNativeCall, Function) == 0 && offsetof(TNativeCall, Stack) == 4 &&
              offsetof(TNativeCall, StackWordCount) == 8 && offsetof(TNativeCall, Eax) == 12 &&
              offsetof(TNativeCall, Edx) == 16 && offsetof(TNativeCall, Ecx) == 20 &&
              offsetof(TNativeCall, HeapWords) == 24 && offsetof(TNativeCall, Release) == 28);

// The 64-bit result is EDX:EAX, which is also how a cdecl function returns a
// uint64_t here. The stack area is aligned to 16 bytes at the call, which
// every convention accepts and code built for SSE expects.
extern "C" uint64_t CallNative(const TNativeCall* call);

asm(R"(
    .text
    .p2align 4
    .globl _CallNative
_CallNative:
    pushl %ebp
    movl %esp, %ebp
    pushl %ebx
    pushl %esi
    pushl %edi
    movl 8(%ebp), %ebx          # the TNativeCall record
    movl 8(%ebx), %ecx          # room for the stack words, aligned
    leal 0(,%ecx,4), %eax
    subl %eax, %esp
    andl $-16, %esp
    movl 4(%ebx), %esi          # copy them, lowest address first
    movl %esp, %edi
    cld
    rep movsl
    movl 24(%ebx), %eax         # the heap vector is no longer needed
    testl %eax, %eax
    jz 1f
    pushl %eax
    call *28(%ebx)
    addl $4, %esp
1:
    movl 0(%ebx), %esi
    movl 12(%ebx), %eax         # the register words last: nothing may
    movl 16(%ebx), %edx         # change them before the call
    movl 20(%ebx), %ecx
    call *%esi
    leal -12(%ebp), %esp        # whatever the callee removed
    popl %edi
    popl %esi
    popl %ebx
    popl %ebp
    ret
)");

namespace {

enum TConvention : uint32_t {
  kStdcall = 0,   // last word pushed first, the callee removes them
  kPascal = 1,    // first word pushed first, the callee removes them
  kCdecl = 2,     // as stdcall, the caller removes them
  kRegister = 3,  // words 1-3 in EAX, EDX, ECX, the rest pushed from word 4 on
  kFastcall = 4,  // words 1-2 in ECX, EDX, the rest as stdcall
};

// Argument words up to this many live in a local array.
constexpr uint32_t kLocalWords = 24;
// The words are copied onto the stack below the current frame in one step.
// 1000 words (4000 bytes) stay within one page below the stack pointer, so
// the stack grows through its guard page as it should; a longer list fails
// with 102 rather than writing past the guard page. No native function
// takes anywhere near this many arguments.
constexpr uint32_t kMaxWords = 1000;

uint32_t AddressWord(const void* address) {
  return uint32_t(reinterpret_cast<uintptr_t>(address));
}

// The next parameter as it stands: its kind byte and payload, with IP moved
// past it (but not past the end byte). Preparation has checked that every
// parameter lies inside its code section.
uint8_t TakeRawParam(TScriptContext* context, const uint8_t** payload) {
  if (context->IP >= context->CodeEnd) return ptEndOfParam;
  const uint8_t* p = context->ScriptStart + context->IP;
  *payload = p + 1;
  if (p[0] != ptEndOfParam) context->IP += 1 + kParamPayloadSize[p[0]];
  return p[0];
}

uint8_t NextKind(const TScriptContext* context) {
  return context->IP < context->CodeEnd ? context->ScriptStart[context->IP] : uint8_t(ptEndOfParam);
}

// ---- The function ----

HMODULE ModuleOf(TLibHandle handle) {
  return reinterpret_cast<HMODULE>(handle);
}

// The exported function `name` (UTF-16, converted to an ANSI name) of
// `module`: 0 or 1063.
TStatus ResolveExport(HMODULE module, const char16_t* name, uint32_t length,
                      const void** function) {
  std::string ansi(PlatformWideToAnsi(name, length, nullptr, 0), '\0');
  PlatformWideToAnsi(name, length, reinterpret_cast<uint8_t*>(ansi.data()), uint32_t(ansi.size()));
  *function = reinterpret_cast<const void*>(GetProcAddress(module, ansi.c_str()));
  return *function != nullptr ? kStatusOk : kStatusFunctionNotExported;
}

// What the function parameter names.
struct TTarget {
  const void* Function = nullptr;  // the function to call, or
  TLibHandle Module = 0;           // a module that was only to be loaded
  bool OnlyLoad = false;
};

// "module*name", "*name" (the main executable) or "module" alone: 0, 1062
// or 1063.
TStatus ResolveFunctionName(const TArrayHeader* text, TTarget* target) {
  const char16_t* units = USTR_Chars(text);
  const uint32_t length = USTR_Length(text);
  const uint32_t star = uint32_t(std::find(units, units + length, u'*') - units);
  if (star == length) {
    target->OnlyLoad = true;
    target->Module = LibList_Load(units, length);
    return target->Module != 0 ? kStatusOk : kStatusLibraryLoadFailed;
  }
  const TLibHandle module = star == 0 ? reinterpret_cast<TLibHandle>(GetModuleHandleW(nullptr))
                                      : LibList_Load(units, star);
  if (module == 0) return kStatusLibraryLoadFailed;
  return ResolveExport(ModuleOf(module), units + star + 1, length - star - 1, &target->Function);
}

// A function named by a text ("library*function").
TStatus ResolveTextTarget(TScriptContext* context, TTarget* target) {
  TFetchedText text;
  if (text.Fetch(context) != kFetchValue) return kStatusBadParam;
  return ResolveFunctionName(text.Get(), target);
}

// A number names the variable that holds the function's address.
TStatus ResolveAddressTarget(TScriptContext* context, TTarget* target) {
  uint32_t reference;
  if (FetchRequiredDWORD(context, &reference) != kStatusOk) return kStatusBadParam;
  uint32_t address;
  const TStatus status = GetVarDWORD(context, reference, &address);
  target->Function = reinterpret_cast<const void*>(uintptr_t(address));
  return status;
}

// The function parameter, read by its own kind: a text or block names a
// library and function, a number or a number variable names the variable
// that holds an address. Anything else is 101.
TStatus ResolveTarget(TScriptContext* context, TTarget* target) {
  const uint8_t kind = NextKind(context);
  switch (kind) {
    case ptUnicodeString:
    case ptBinBlock:
      return ResolveTextTarget(context, target);
    case ptInteger:
    case ptDWORD:
    case ptByte:
    case ptWord:
      return ResolveAddressTarget(context, target);
    case ptVariable: {
      const TZorvatVariable* v =
          ResolveVar(context, LoadU32(context->ScriptStart + context->IP + 1));
      if (v == nullptr) return kStatusNoSuchVariable;
      if (v->VarType == vtUnicodeString || v->VarType == vtBinBlock) {
        return ResolveTextTarget(context, target);
      }
      if (v->VarType == vtInteger || v->VarType == vtDWORD) {
        return ResolveAddressTarget(context, target);
      }
      return kStatusBadVarKindForNumber;
    }
    default:
      return kStatusBadVarKindForNumber;
  }
}

// ---- The argument words ----

// A variable's argument word: numbers by the address of their value, DWORDs
// by value, texts, blocks, arrays and lists by the address of their first
// item (null when empty). An array that the variable shares with a constant
// of the image is copied first, so that a callee that writes into it does
// not change the constant.
TStatus VariableWord(TScriptContext* context, uint32_t reference, uint32_t* word) {
  TZorvatVariable* v = ResolveVar(context, reference);
  if (v == nullptr) return kStatusNoSuchVariable;
  switch (v->VarType) {
    case vtInteger:
      *word = AddressWord(&v->AsInteger);
      return kStatusOk;
    case vtExtended:
      *word = AddressWord(&v->AsExtended);
      return kStatusOk;
    case vtDWORD:
      *word = v->AsDWORD;
      return kStatusOk;
    case vtUninitialized:
    case vtInvalid:
      return kStatusBadVarKindForNumber;
    default:
      break;
  }
  if (UA_ItemCount(v->UA, v->VarType) == 0) {
    *word = 0;
    return kStatusOk;
  }
  const TStatus writable = MakeVarWritable(context, reference);
  if (writable != kStatusOk) return writable;
  *word = AddressWord(UA_Data(v->UA));
  return kStatusOk;
}

// The argument word of the next parameter.
TStatus TakeArgumentWord(TScriptContext* context, uint32_t* word) {
  const uint8_t* p = nullptr;
  const uint8_t kind = TakeRawParam(context, &p);
  switch (kind) {
    case ptDefault:
      *word = AddressWord(context);
      return kStatusOk;
    case ptInteger:
    case ptExtended:
      *word = AddressWord(p);  // by reference, the bytes inside the image
      return kStatusOk;
    case ptDWORD:
      *word = LoadU32(p);
      return kStatusOk;
    case ptByte:
      *word = uint32_t(int32_t(int8_t(p[0])));
      return kStatusOk;
    case ptWord:
      *word = uint32_t(int32_t(int16_t(LoadU16(p))));
      return kStatusOk;
    case ptBinBlock:
    case ptUnicodeString:
      *word = AddressWord(UA_Data(context->Prepared->Constants[LoadU32(p)]));
      return kStatusOk;
    case ptVariable:
      return VariableWord(context, LoadU32(p), word);
    default:
      return kStatusBadVarKindForNumber;
  }
}

// The argument vector: a local array for the usual few words, the heap for
// more. The heap block leaves this holder when the call routine takes it.
class TArgumentWords {
 public:
  TArgumentWords() = default;
  TArgumentWords(const TArgumentWords&) = delete;
  TArgumentWords& operator=(const TArgumentWords&) = delete;
  ~TArgumentWords() { std::free(heap_); }

  // Room for `count` words: false when the heap cannot provide it.
  bool Reserve(uint32_t count) {
    if (count <= kLocalWords) return true;
    heap_ = static_cast<uint32_t*>(std::malloc(size_t(count) * sizeof(uint32_t)));
    return heap_ != nullptr;
  }
  uint32_t* Words() { return heap_ != nullptr ? heap_ : local_; }
  void* GiveAwayHeap() {
    uint32_t* heap = heap_;
    heap_ = nullptr;
    return heap;
  }

 private:
  uint32_t local_[kLocalWords];
  uint32_t* heap_ = nullptr;
};

// Frees the heap vector for the call routine, which calls it (cdecl).
void ReleaseWords(void* block) {
  std::free(block);
}

// Places the words, given in argument order, as the convention wants them:
// the register words first, the rest in stack order (lowest address first).
void ArrangeWords(TConvention convention, uint32_t* words, uint32_t count, TNativeCall* call) {
  uint32_t inRegisters = 0;
  switch (convention) {
    case kStdcall:
    case kCdecl:
      break;
    case kPascal:
      std::reverse(words, words + count);
      break;
    case kRegister:
      inRegisters = std::min(count, 3u);
      call->Eax = count > 0 ? words[0] : 0;
      call->Edx = count > 1 ? words[1] : 0;
      call->Ecx = count > 2 ? words[2] : 0;
      std::reverse(words + inRegisters, words + count);
      break;
    case kFastcall:
      inRegisters = std::min(count, 2u);
      call->Ecx = count > 0 ? words[0] : 0;
      call->Edx = count > 1 ? words[1] : 0;
      break;
  }
  call->Stack = words + inRegisters;
  call->StackWordCount = count - inRegisters;
}

// Steps 2 to 6 after the function is known: result variable, convention,
// arguments, the call and its result.
TStatus CallFunction(TScriptContext* context, const void* function) {
  TFetchStatus status;
  const uint32_t result = FetchDWORD(context, &status, 0);
  if (status == kFetchUnusable) return kStatusBadParam;
  const bool storeResult = status == kFetchValue;
  if (storeResult && ResolveVar(context, result) == nullptr) return kStatusNoSuchVariable;
  const uint32_t convention = FetchDWORD(context, &status, kStdcall);
  if (status == kFetchUnusable) return kStatusBadParam;
  if (convention > kFastcall) return kStatusBadCallingConvention;

  uint32_t end;
  const uint32_t count = CountParams(context, context->IP, &end);
  if (count > kMaxWords) return kStatusBadParam;
  TArgumentWords words;
  if (!words.Reserve(count)) return kStatusOutOfMemory;
  for (uint32_t i = 0; i < count; ++i) {
    const TStatus taken = TakeArgumentWord(context, &words.Words()[i]);
    if (taken != kStatusOk) return taken;
  }

  TNativeCall call{};
  call.Function = function;
  ArrangeWords(TConvention(convention), words.Words(), count, &call);
  call.Release = &ReleaseWords;
  call.HeapWords = words.GiveAwayHeap();
  const uint64_t value = CallNative(&call);
  return storeResult ? Var_StoreInteger(context, result, int64_t(value)) : kStatusOk;
}

// A module named alone is only loaded; its handle is the result.
TStatus StoreModule(TScriptContext* context, TLibHandle module) {
  TFetchStatus status;
  const uint32_t result = FetchDWORD(context, &status, 0);
  if (status == kFetchUnusable) return kStatusBadParam;
  if (status != kFetchValue) return kStatusOk;
  return Var_StoreDWORD(context, result, uint32_t(module));
}

TStatus DllCall(TScriptContext* context) {
  TTarget target;
  const TStatus status = ResolveTarget(context, &target);
  if (status != kStatusOk) return status;
  return target.OnlyLoad ? StoreModule(context, target.Module)
                         : CallFunction(context, target.Function);
}

}  // namespace

TStatus CmdDllCall(TScriptContext* context) {
  uint32_t end;
  CountParams(context, context->IP, &end);
  const TStatus status = DllCall(context);
  context->IP = end;
  return status;
}

TStatus CmdDllFreeAll(TScriptContext*) {
  LibList_FreeAll();
  return kStatusOk;
}
