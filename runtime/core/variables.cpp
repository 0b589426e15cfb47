#include "runtime/core/variables.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>
#include <thread>
#include <type_traits>
#include <vector>

#include "base/bytes.h"
#include "base/heap.h"
#include "base/status.h"
#include "runtime/values/block.h"
#include "runtime/values/list.h"
#include "runtime/values/text.h"

namespace {

// Native libraries may store into a script's variables from threads of their
// own while the script runs (the dialog library's forms report events that
// way). Such a store always runs under one process-wide lock, taken by the
// exported functions for the whole store of a scalar, and by the other
// stores around the change they make. The script's own thread
// takes the lock only where memory moves or is released: when a frame or the
// frame stack grows, when an array value is released or replaced, and when a
// frame holding arrays is emptied. What it does most often needs no lock,
// because it moves and frees nothing that a library store could be using: a
// scalar stored over a scalar, a frame pushed into storage it already has,
// variables added within a frame's capacity, a frame of scalars popped (a
// popped frame keeps its storage for the next push).
//
// A library store that races such a store to the same variable leaves a
// scalar with either value, or the library's array whole: the script's
// thread writes a scalar's payload first and its kind last, a locked store
// its kind first (both targets are x86, where stores become visible in the
// order they were made). A race that overwrites an array with a scalar
// leaks the array rather than freeing it twice.
std::atomic_flag varsLock = ATOMIC_FLAG_INIT;
// Whether this thread holds varsLock: a library store holds it while the
// store it calls decides whether to take it again.
thread_local bool holdsVarsLock = false;

using VarsGuard = TVariablesLock;

// A locked store writes the kind first and its payload after it.
template <typename T>
void StoreLocked(TZorvatVariable* v, T value) {
  ReleaseVar(v);
  if constexpr (std::is_same_v<T, uint32_t>) {
    v->VarType = vtDWORD;
    std::atomic_signal_fence(std::memory_order_seq_cst);
    v->AsDWORD = value;
  } else if constexpr (std::is_same_v<T, int64_t>) {
    v->VarType = vtInteger;
    std::atomic_signal_fence(std::memory_order_seq_cst);
    v->AsInteger = value;
  } else {
    v->VarType = vtExtended;
    std::atomic_signal_fence(std::memory_order_seq_cst);
    v->AsExtended = value;
  }
}

// The live contexts, and the lock that keeps one from being released while a
// library store into it is under way. It is taken before the
// variables' lock, never while that is held.
std::mutex liveLock;
std::vector<TScriptContext*> liveContexts;

TZorvatVariables* Frame(TScriptContext* context, bool global) {
  TVarStack& frames = context->StackFrames;
  if (frames.Count == 0) return nullptr;
  return global ? &frames.Items[0] : &frames.Items[frames.Count - 1];
}

// Releases the frame's variables from the end backwards; the frame keeps
// its storage for the next call that pushes one.
void EmptyFrame(TZorvatVariables& frame) {
  for (uint32_t i = frame.Count; i > 0; --i) ReleaseVar(&frame.Items[i - 1]);
  frame.Count = 0;
}

// Makes room for one more frame. The slots past Count hold either nothing
// (zero) or the storage of a frame popped earlier, so growth zero-fills the
// new slots. A failed growth is reported (1002), not fatal.
bool ReserveFrameSlot(TVarStack& frames) {
  if (frames.Count < frames.Capacity) return true;
  const uint64_t capacity = frames.Capacity < 8 ? 8 : uint64_t(frames.Capacity) * 2;
  if (capacity * sizeof(TZorvatVariables) > kMaxHeapBlockBytes) return false;
  void* items =
      MemResize(static_cast<void*>(frames.Items), size_t(capacity) * sizeof(TZorvatVariables));
  if (items == nullptr) return false;
  frames.Items = static_cast<TZorvatVariables*>(items);
  std::memset(static_cast<void*>(frames.Items + frames.Capacity), 0,
              size_t(capacity - frames.Capacity) * sizeof(TZorvatVariables));
  frames.Capacity = uint32_t(capacity);
  return true;
}

// A frame popped earlier lends its storage to the next push, so a
// subroutine that pushes a frame and allocates a few locals allocates nothing
// once the recursion has been as deep before. Called with the lock held.
TStatus PushFrameLocked(TScriptContext* context) {
  TVarStack& frames = context->StackFrames;
  if (frames.Count >= kMaxFrameDepth) return kStatusFrameDepth;
  if (!ReserveFrameSlot(frames)) return kStatusOutOfMemory;
  frames.Items[frames.Count++].Count = 0;
  return kStatusOk;
}

bool IsListKind(TVarType kind) {
  return kind == vtBinBlockList || kind == vtUnicodeStringList;
}

// Puts a freshly built array into a variable; the variable's old value is
// released after the new one is in hand.
void TakeArray(TZorvatVariable* v, PArrayHeader array, TVarType kind) {
  if (!(VarKindHasItems(v->VarType) && v->UA == array)) ReleaseVar(v);
  v->VarType = kind;
  std::atomic_signal_fence(std::memory_order_seq_cst);  // kind first (see above)
  v->UA = array;
}

// Appends a block or text built by `add` to a list variable of `kind`.
template <typename Add>
TStatus AddListItem(TScriptContext* context, uint32_t reference, TVarType kind, Add add) {
  VarsGuard guard;
  TZorvatVariable* v = ResolveVar(context, reference);
  if (v == nullptr) return kStatusNoSuchVariable;
  if (v->VarType != kind) return kStatusWrongKind;
  return add(&v->UA);
}

// `status` when the variable exists, else 1001 (a missing variable is
// reported first, as by every store).
TStatus MissingOr(TScriptContext* context, uint32_t reference, TStatus status) {
  VarsGuard guard;
  return ResolveVar(context, reference) == nullptr ? kStatusNoSuchVariable : status;
}

// Stores a freshly built array, or frees it when the variable is missing.
TStatus TakeOrFree(TScriptContext* context, uint32_t reference, PArrayHeader array, TVarType kind) {
  {
    VarsGuard guard;
    TZorvatVariable* v = ResolveVar(context, reference);
    if (v != nullptr) {
      TakeArray(v, array, kind);
      return kStatusOk;
    }
  }
  UA_Free(&array);
  return kStatusNoSuchVariable;
}

uint32_t UnitsToZero(const char16_t* text) {
  uint32_t n = 0;
  while (text[n] != 0 && n < 0x7FFFFFFF) ++n;
  return n;
}

// A private copy of a caller's buffer, taken outside the lock.
template <typename T>
class StagedCopy {
 public:
  StagedCopy(const T* data, uint32_t count)
      : copy_(count == 0 ? nullptr : new (std::nothrow) T[count]) {
    if (copy_) std::memcpy(copy_.get(), data, size_t(count) * sizeof(T));
    ok_ = count == 0 || copy_ != nullptr;
  }
  bool Ok() const { return ok_; }
  const T* Data() const { return copy_.get(); }

 private:
  std::unique_ptr<T[]> copy_;
  bool ok_ = false;
};

TStatus InitList(TScriptContext* context, uint32_t reference, TVarType kind) {
  VarsGuard guard;
  TZorvatVariable* v = ResolveVar(context, reference);
  if (v == nullptr) return kStatusNoSuchVariable;
  PArrayHeader list = xL_New();
  if (list == nullptr) return kStatusOutOfMemory;
  TakeArray(v, list, kind);
  return kStatusOk;
}

}  // namespace

void MarkContextLive(TScriptContext* context, bool live) {
  std::lock_guard<std::mutex> guard(liveLock);
  std::erase(liveContexts, context);
  if (live) liveContexts.push_back(context);
}

TLibraryStoreScope::TLibraryStoreScope(TScriptContext* context) {
  liveLock.lock();
  live_ = context != nullptr &&
          std::find(liveContexts.begin(), liveContexts.end(), context) != liveContexts.end();
}

TLibraryStoreScope::~TLibraryStoreScope() {
  liveLock.unlock();
}

TVariablesLock::TVariablesLock() : taken_(!holdsVarsLock) {
  if (!taken_) return;
  while (varsLock.test_and_set(std::memory_order_acquire)) std::this_thread::yield();
  holdsVarsLock = true;
}

TVariablesLock::~TVariablesLock() {
  if (!taken_) return;
  holdsVarsLock = false;
  varsLock.clear(std::memory_order_release);
}

TStatus PushFrame(TScriptContext* context) {
  if (TryPushFrameInPlace(context)) return kStatusOk;
  VarsGuard guard;
  return PushFrameLocked(context);
}

namespace {

bool AnyHasItems(const TZorvatVariable* variables, uint32_t count) {
  for (uint32_t i = 0; i < count; ++i) {
    if (VarKindHasItems(variables[i].VarType)) return true;
  }
  return false;
}

// Releases the arrays of a frame that holds some, under the lock; kept out
// of the common path.
[[gnu::noinline]] void EmptyFrameLocked(TZorvatVariables& frame) {
  VarsGuard guard;
  EmptyFrame(frame);
}

// Adds variables where the frame (or the frame stack) must grow, under the
// lock.
[[gnu::noinline]] TStatus AllocVarsGrowing(TScriptContext* context, uint32_t n, bool global,
                                           uint32_t* first) {
  VarsGuard guard;
  if (context->StackFrames.Count == 0) {
    const TStatus pushed = PushFrameLocked(context);
    if (pushed != kStatusOk) return pushed;
  }
  TZorvatVariables* frame = Frame(context, global);
  // A frame never grows past what one heap block may hold.
  if ((uint64_t(frame->Count) + n) * sizeof(TZorvatVariable) > kMaxHeapBlockBytes) {
    return kStatusOutOfMemory;
  }
  const uint32_t oldCount = frame->Count;
  if (GrowArrayTryPushZeroed(*frame, n) == nullptr) return kStatusOutOfMemory;
  *first = oldCount;
  return kStatusOk;
}

}  // namespace

TStatus PopFrame(TScriptContext* context) {
  if (TryPopScalarFrame(context)) return kStatusOk;
  TVarStack& frames = context->StackFrames;
  const uint32_t count = frames.Count;
  if (count == 0) return kStatusNoFrame;
  TZorvatVariables& frame = frames.Items[count - 1];
  EmptyFrameLocked(frame);
  PublishCount(&frames.Count, count - 1);
  frame.Count = 0;
  return kStatusOk;
}

TStatus AllocVars(TScriptContext* context, uint32_t n, bool global, uint32_t* first) {
  uint32_t unused;
  if (first == nullptr) first = &unused;
  *first = kNoVariable;
  if (n == 0) return kStatusVarCountError;
  TZorvatVariables* frame = Frame(context, global);
  if (frame == nullptr || n > frame->Capacity - frame->Count) {
    return AllocVarsGrowing(context, n, global, first);
  }
  *first = frame->Count;
  AddVarsInPlace(frame, n);
  return kStatusOk;
}

TStatus FreeVars(TScriptContext* context, uint32_t n, bool global) {
  TZorvatVariables* frame = Frame(context, global);
  if (frame == nullptr) return kStatusNoFrame;
  TStatus status = n > frame->Count ? kStatusVarCountError : kStatusOk;
  uint32_t keep = n > frame->Count ? 0 : frame->Count - n;
  if (AnyHasItems(frame->Items + keep, frame->Count - keep)) {
    VarsGuard guard;
    while (frame->Count > keep) ReleaseVar(&frame->Items[--frame->Count]);
  }
  PublishCount(&frame->Count, keep);
  return status;
}

void ReleaseFrames(TScriptContext* context) {
  VarsGuard guard;
  TVarStack& frames = context->StackFrames;
  for (uint32_t i = frames.Count; i > 0; --i) EmptyFrame(frames.Items[i - 1]);
  for (uint32_t i = 0; i < frames.Capacity; ++i) GrowArrayFree(frames.Items[i]);
  GrowArrayFree(frames);
}

void ReleaseVar(TZorvatVariable* variable) {
  if (IsListKind(variable->VarType)) {
    xL_Free(&variable->UA);
  } else if (VarKindHasItems(variable->VarType)) {
    UA_Free(&variable->UA);
  }
  std::memset(static_cast<void*>(variable), 0, sizeof *variable);
}

TStatus GetVarDWORD(TScriptContext* context, uint32_t reference, uint32_t* value) {
  TZorvatVariable* v = ResolveVar(context, reference);
  if (v == nullptr) return kStatusNoSuchVariable;
  if (v->VarType != vtInteger && v->VarType != vtDWORD) return kStatusBadVarKindForNumber;
  *value = v->AsDWORD;
  return kStatusOk;
}

TStatus GetVarExtended(TScriptContext* context, uint32_t reference, TExtended* value) {
  TZorvatVariable* v = ResolveVar(context, reference);
  if (v == nullptr) return kStatusNoSuchVariable;
  switch (v->VarType) {
    case vtInteger:
      *value = TExtended(v->AsInteger);
      return kStatusOk;
    case vtExtended:
      *value = v->AsExtended;
      return kStatusOk;
    case vtDWORD:
      *value = TExtended(v->AsDWORD);
      return kStatusOk;
    default:
      return kStatusBadVarKindForNumber;
  }
}

TStatus GetVarDWORDOrFirst(TScriptContext* context, uint32_t reference, uint32_t* value) {
  TZorvatVariable* v = ResolveVar(context, reference);
  if (v == nullptr) return kStatusWrongKind;
  switch (v->VarType) {
    case vtInteger:
    case vtDWORD:
      *value = v->AsDWORD;
      return kStatusOk;
    case vtDWORDArray:
      if (UA_ItemCount(v->UA, vtDWORDArray) == 0) return kStatusIndexOutOfRange;
      *value = LoadU32(UA_Data(v->UA));
      return kStatusOk;
    default:
      return kStatusWrongKind;
  }
}

void* UA_ItemPtr(const TZorvatVariable* value, uint32_t index) {
  if (!VarKindHasItems(value->VarType) || value->UA == nullptr) return nullptr;
  if (index >= UA_ItemCount(value->UA, value->VarType)) return nullptr;
  return UA_Data(value->UA) + uint64_t(index) * value->UA->ElemSize;
}

void* VarItemPtr(TScriptContext* context, uint32_t reference, uint32_t index) {
  TZorvatVariable* v = ResolveVar(context, reference);
  return v == nullptr ? nullptr : UA_ItemPtr(v, index);
}

void* VarItemSpan(TScriptContext* context, uint32_t reference, uint32_t index, uint32_t* span) {
  *span = 0;
  TZorvatVariable* v = ResolveVar(context, reference);
  if (v == nullptr) return nullptr;
  void* item = UA_ItemPtr(v, index);
  if (item != nullptr) *span = UA_ItemCount(v->UA, v->VarType) - index;
  return item;
}

TStatus ZV_STDCALL Var_StoreDWORD(TScriptContext* context, uint32_t reference, uint32_t value) {
  TZorvatVariable* v = ResolveVar(context, reference);
  if (v == nullptr) return kStatusNoSuchVariable;
  if (!VarKindHasItems(v->VarType)) {
    RewriteScalar(v, value);
    return kStatusOk;
  }
  VarsGuard guard;
  StoreLocked(v, value);
  return kStatusOk;
}

TStatus ZV_STDCALL Var_StoreInteger(TScriptContext* context, uint32_t reference, int64_t value) {
  TZorvatVariable* v = ResolveVar(context, reference);
  if (v == nullptr) return kStatusNoSuchVariable;
  if (!VarKindHasItems(v->VarType)) {
    RewriteScalar(v, value);
    return kStatusOk;
  }
  VarsGuard guard;
  StoreLocked(v, value);
  return kStatusOk;
}

TStatus ZV_STDCALL Var_StoreFloat(TScriptContext* context, uint32_t reference, TExtended value) {
  TZorvatVariable* v = ResolveVar(context, reference);
  if (v == nullptr) return kStatusNoSuchVariable;
  if (!VarKindHasItems(v->VarType)) {
    RewriteScalar(v, value);
    return kStatusOk;
  }
  VarsGuard guard;
  StoreLocked(v, value);
  return kStatusOk;
}

// The caller's data is copied before the lock is taken: a library that passes
// a bad pointer faults while nothing is held, and the executor's fault guard
// can end the run without leaving every other store waiting on the lock.
TStatus ZV_STDCALL Var_StoreBinBlock(TScriptContext* context, uint32_t reference, const void* data,
                                     uint32_t length) {
  if (data == nullptr && length != 0) return MissingOr(context, reference, kStatusOutOfMemory);
  PArrayHeader block = BB_FromBuffer(data, length);
  if (block == nullptr) return MissingOr(context, reference, kStatusOutOfMemory);
  return TakeOrFree(context, reference, block, vtBinBlock);
}

TStatus ZV_STDCALL Var_StoreUnicodeString(TScriptContext* context, uint32_t reference,
                                          const char16_t* text, uint32_t length) {
  if (text == nullptr && length != 0) return MissingOr(context, reference, kStatusOutOfMemory);
  PArrayHeader copy = USTR_FromBuffer(text, length);
  if (copy == nullptr) return MissingOr(context, reference, kStatusOutOfMemory);
  return TakeOrFree(context, reference, copy, vtUnicodeString);
}

TStatus StoreBuiltText(TScriptContext* context, uint32_t reference, const char16_t* text,
                       uint32_t length) {
  {
    VarsGuard guard;
    TZorvatVariable* v = ResolveVar(context, reference);
    if (v == nullptr) return kStatusNoSuchVariable;
    PArrayHeader old = v->VarType == vtUnicodeString ? v->UA : nullptr;
    // Only a block of the capacity a new text of this length would get: a
    // variable does not keep a large block for a short text.
    if (length != 0 && length < 0x7FFFFFFF && old != nullptr && UA_FitsInPlace(old, length + 1)) {
      std::memmove(USTR_Chars(old), text, size_t(length) * sizeof(char16_t));
      USTR_Chars(old)[length] = 0;
      old->ElemCount = length + 1;
      return kStatusOk;
    }
  }
  return Var_StoreUnicodeString(context, reference, text, length);
}

TStatus ZV_STDCALL Var_InitBBL(TScriptContext* context, uint32_t reference) {
  return InitList(context, reference, vtBinBlockList);
}

TStatus ZV_STDCALL Var_InitUStrL(TScriptContext* context, uint32_t reference) {
  return InitList(context, reference, vtUnicodeStringList);
}

TStatus ZV_STDCALL Var_AddItemBBL(TScriptContext* context, uint32_t reference, const void* data,
                                  uint32_t length) {
  if (data == nullptr && length != 0) return MissingOr(context, reference, kStatusOutOfMemory);
  StagedCopy<uint8_t> copy(static_cast<const uint8_t*>(data), length);
  if (!copy.Ok()) return MissingOr(context, reference, kStatusOutOfMemory);
  return AddListItem(context, reference, vtBinBlockList,
                     [&](PArrayHeader* list) { return BBL_AddBuffer(list, copy.Data(), length); });
}

TStatus ZV_STDCALL Var_AddItemUStrL(TScriptContext* context, uint32_t reference,
                                    const char16_t* text, int32_t length) {
  // -1 alone means "up to the terminating zero".
  if ((text == nullptr && length != 0) || length < -1) {
    return MissingOr(context, reference, kStatusOutOfMemory);
  }
  uint32_t units = length >= 0 ? uint32_t(length) : UnitsToZero(text);
  StagedCopy<char16_t> copy(text, units);
  if (!copy.Ok()) return MissingOr(context, reference, kStatusOutOfMemory);
  return AddListItem(context, reference, vtUnicodeStringList, [&](PArrayHeader* list) {
    return UStrL_AddBuffer(list, copy.Data(), int32_t(units));
  });
}

TStatus StoreArrayRef(TScriptContext* context, uint32_t reference, PArrayHeader array,
                      TVarType kind) {
  VarsGuard guard;
  TZorvatVariable* v = ResolveVar(context, reference);
  if (v == nullptr) return kStatusNoSuchVariable;
  TakeArray(v, array, kind);
  return kStatusOk;
}

TStatus MakeVarWritable(TScriptContext* context, uint32_t reference) {
  VarsGuard guard;
  TZorvatVariable* v = ResolveVar(context, reference);
  if (v == nullptr) return kStatusNoSuchVariable;
  bool arrayKind = VarKindHasItems(v->VarType) && !IsListKind(v->VarType);
  if (arrayKind && v->UA != nullptr && UA_IsStatic(v->UA)) {
    // Reallocating with the same capacity copies header and items.
    if (UA_Alloc(&v->UA, v->UA->TrueElemCount, v->UA->ElemSize) == nullptr) {
      return kStatusOutOfMemory;
    }
  }
  return kStatusOk;
}
