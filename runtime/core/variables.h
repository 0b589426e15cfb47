// Script variables and their frames. Frame 0 holds the globals, the last
// frame the locals of the running subroutine. A variable is named at run time
// only by a 32-bit reference: bit 31 clear = index into frame 0, bit 31 set =
// index (bits 0-30) into the last frame.
//
// A variable owns its array unless the array is static. Every store releases
// the old value by kind; stores that build a new value build it first, so a
// store that fails leaves the variable as it was, and a value may be stored
// from data that lies inside the variable's own old value.
//
// Pointers to variables are valid only until the next change of a frame's
// length (allocation may move a frame).
//
// Native libraries may store through the exported Var_ functions from
// threads of their own (the dialog library's forms do). Their stores run
// under one process-wide lock, which the script's own thread takes only
// where memory moves or is released (variables.cpp says which). Reads take
// none; a library thread only ever writes.
#pragma once

#include <atomic>
#include <cstdint>
#include <cstring>

#include "include/zorvat.h"
#include "runtime/core/types.h"

// The Var_ functions are also exported to native libraries, which call them
// with the platform's standard calling convention (ZV_STDCALL).

constexpr uint32_t kLocalBit = 0x80000000u;
constexpr uint32_t kNoVariable = 0xFFFFFFFFu;

// ---- Frames ----
// The deepest a script may nest frames (frame 0 included). A recursion
// without end stops here with 108, long before the heap runs out.
constexpr uint32_t kMaxFrameDepth = 1000000;

// Stores a length only after what it makes reachable is written, so that a
// library store that reads it finds initialised variables.
inline void PublishCount(uint32_t* count, uint32_t value) {
  std::atomic_signal_fence(std::memory_order_seq_cst);
  *count = value;
}

// The common cases of the frame commands, inline for the quick routines of a
// call's frame: each does its work and returns true, or returns false having
// changed nothing when the general function must do it (memory must move or
// be released, a limit is reached).
//
// A frame pushed into storage the frame stack already has.
inline bool TryPushFrameInPlace(TScriptContext* context) {
  TVarStack& frames = context->StackFrames;
  const uint32_t count = frames.Count;
  if (count >= frames.Capacity || count >= kMaxFrameDepth) [[unlikely]]
    return false;
  frames.Items[count].Count = 0;
  PublishCount(&frames.Count, count + 1);
  return true;
}
// n (uninitialised, zeroed) variables added within the frame's capacity.
// A call's few locals are zeroed one by one, eight bytes at a time: a call
// to the C library's memset costs more than the stores, and so does the loop
// that some targets make of a memset of one variable's size.
inline void ClearVariable(TZorvatVariable* v) {
  static_assert(sizeof(TZorvatVariable) % sizeof(uint64_t) == 0);
  const uint64_t zero = 0;
  char* bytes = reinterpret_cast<char*>(v);
  for (size_t at = 0; at < sizeof *v; at += sizeof zero)
    std::memcpy(bytes + at, &zero, sizeof zero);
}
inline void AddVarsInPlace(TZorvatVariables* frame, uint32_t n) {
  const uint32_t count = frame->Count;
  TZorvatVariable* added = frame->Items + count;
  if (n <= 4) {
    for (uint32_t i = 0; i < n; ++i) ClearVariable(added + i);
  } else {
    std::memset(static_cast<void*>(added), 0, size_t(n) * sizeof *added);
  }
  PublishCount(&frame->Count, count + n);
}
inline bool TryAddLocalsInPlace(TScriptContext* context, uint32_t n) {
  TVarStack& frames = context->StackFrames;
  const uint32_t frameCount = frames.Count;
  if (frameCount == 0 || n == 0) [[unlikely]]
    return false;
  TZorvatVariables& frame = frames.Items[frameCount - 1];
  if (n > frame.Capacity - frame.Count) [[unlikely]]
    return false;
  AddVarsInPlace(&frame, n);
  return true;
}
// The last frame popped when none of its variables holds an array.
inline bool TryPopScalarFrame(TScriptContext* context) {
  TVarStack& frames = context->StackFrames;
  const uint32_t count = frames.Count;
  if (count == 0) [[unlikely]]
    return false;
  TZorvatVariables& frame = frames.Items[count - 1];
  for (uint32_t i = 0; i < frame.Count; ++i) {
    if (VarKindHasItems(frame.Items[i].VarType)) [[unlikely]]
      return false;
  }
  PublishCount(&frames.Count, count - 1);
  frame.Count = 0;
  return true;
}

// Appends an empty frame: 0; 108 at kMaxFrameDepth frames; 1002 when the
// frame stack cannot grow.
TStatus PushFrame(TScriptContext* context);
// Releases every variable of the last frame and removes it; 1003 without one.
TStatus PopFrame(TScriptContext* context);
// Appends n new (uninitialised) variables to frame 0 or to the last frame,
// pushing a frame first when there is none, and stores the index of the first
// in *first (unless `first` is null). 0; 1007 when n is 0; 1002 when the frame would not fit 32-bit
// arithmetic.
TStatus AllocVars(TScriptContext* context, uint32_t n, bool global, uint32_t* first);
// Releases the last n variables of frame 0 or of the last frame, from the end
// backwards. 1007 when the frame held fewer (all are released); 1003 without
// a frame.
TStatus FreeVars(TScriptContext* context, uint32_t n, bool global);
// Releases every frame and empties the frame stack.
void ReleaseFrames(TScriptContext* context);

// ---- Stores from native libraries ----
// A native library may keep a script's context and store into it later from
// a thread of its own (the dialog library's forms do). Such stores reach only
// a live context: InitContext makes one live and the runtime's release
// (ReleaseContext) ends that, so a store that comes after the context was
// released finds no variable (1001) instead of a record that may be gone.
void MarkContextLive(TScriptContext* context, bool live);

// Held by the exported Var_ functions around one store: while it is held, the
// context it found live cannot be released (MarkContextLive waits for it).
class TLibraryStoreScope {
 public:
  explicit TLibraryStoreScope(TScriptContext* context);
  ~TLibraryStoreScope();
  TLibraryStoreScope(const TLibraryStoreScope&) = delete;
  TLibraryStoreScope& operator=(const TLibraryStoreScope&) = delete;
  bool Live() const { return live_; }

 private:
  bool live_;
};

// The variables' lock, for the exported stores of scalars, which need it for
// the whole store (the script's thread stores scalars without it). Other
// stores take it themselves; taking it again on the same thread is allowed.
class TVariablesLock {
 public:
  TVariablesLock();
  ~TVariablesLock();
  TVariablesLock(const TVariablesLock&) = delete;
  TVariablesLock& operator=(const TVariablesLock&) = delete;

 private:
  bool taken_;
};

// ---- Rewriting a scalar in place ----
// In-place arithmetic gives a variable a new value of the scalar kind it
// holds. The payload is written first and the kind again last, as every
// scalar store of the script's thread does, so that a library store racing
// it never leaves an array kind with a scalar's payload (variables.cpp).
inline void PublishKind(TZorvatVariable* v, TVarType kind) {
  std::atomic_signal_fence(std::memory_order_seq_cst);
  v->VarType = kind;
}
inline void RewriteScalar(TZorvatVariable* v, uint32_t value) {
  v->AsDWORD = value;
  PublishKind(v, vtDWORD);
}
inline void RewriteScalar(TZorvatVariable* v, int64_t value) {
  v->AsInteger = value;
  PublishKind(v, vtInteger);
}
inline void RewriteScalar(TZorvatVariable* v, TExtended value) {
  v->AsExtended = value;
  PublishKind(v, vtExtended);
}

// ---- Lookup and typed reads ----
// The variable a reference names, or null. Inline: every variable parameter
// of every command goes through it.
// Each length is read once: a library store resolves while the script's
// thread may change a length without the lock.
inline TZorvatVariable* ResolveVar(TScriptContext* context, uint32_t reference) {
  const TVarStack& frames = context->StackFrames;
  const uint32_t frameCount = __atomic_load_n(&frames.Count, __ATOMIC_RELAXED);
  if (frameCount == 0) [[unlikely]]
    return nullptr;
  const TZorvatVariables& frame =
      (reference & kLocalBit) == 0 ? frames.Items[0] : frames.Items[frameCount - 1];
  const uint32_t index = reference & ~kLocalBit;
  if (index < __atomic_load_n(&frame.Count, __ATOMIC_RELAXED)) [[likely]] {
    return &frame.Items[index];
  }
  return nullptr;
}
// The store of a scalar over a scalar, inline for the hottest handlers: true
// when it was done; false (nothing changed) when the variable is missing or
// holds an array, which the Var_ store handles.
template <typename T>
inline bool TryRewriteScalar(TScriptContext* context, uint32_t reference, T value) {
  TZorvatVariable* v = ResolveVar(context, reference);
  if (v == nullptr || VarKindHasItems(v->VarType)) [[unlikely]]
    return false;
  RewriteScalar(v, value);
  return true;
}

// Releases the value by kind and leaves the variable uninitialised.
void ReleaseVar(TZorvatVariable* variable);

// vtInteger (low 32 bits) or vtDWORD. 1001 missing, 101 other kinds.
TStatus GetVarDWORD(TScriptContext* context, uint32_t reference, uint32_t* value);
// vtInteger, or vtDWORD zero-extended. 1001 / 101. Inline: every multi-way
// branch reads its selector through it.
inline TStatus GetVarInt64(TScriptContext* context, uint32_t reference, int64_t* value) {
  const TZorvatVariable* v = ResolveVar(context, reference);
  if (v == nullptr) return kStatusNoSuchVariable;
  if (v->VarType == vtInteger) {
    *value = v->AsInteger;
  } else if (v->VarType == vtDWORD) {
    *value = int64_t(v->AsDWORD);
  } else {
    return kStatusBadVarKindForNumber;
  }
  return kStatusOk;
}
// vtInteger or vtDWORD (unsigned) converted, or vtExtended. 1001 / 101.
TStatus GetVarExtended(TScriptContext* context, uint32_t reference, TExtended* value);
// vtInteger or vtDWORD as GetVarDWORD; a DWORD array's first item (1011 when
// empty); any other kind and a missing variable 1004.
TStatus GetVarDWORDOrFirst(TScriptContext* context, uint32_t reference, uint32_t* value);
// Address of item `index` of a variable's array value, or null when the index
// is not below the item count or the kind has no items.
void* UA_ItemPtr(const TZorvatVariable* value, uint32_t index);
// Address of item i of the variable's array, or null; with the span form also
// the number of items from i to the end.
void* VarItemPtr(TScriptContext* context, uint32_t reference, uint32_t index);
void* VarItemSpan(TScriptContext* context, uint32_t reference, uint32_t index, uint32_t* span);

// ---- Stores (a reference that names no variable gives 1001 and changes
// nothing; a null data pointer with a non-zero length gives 1002) ----
TStatus ZV_STDCALL Var_StoreDWORD(TScriptContext* context, uint32_t reference, uint32_t value);
TStatus ZV_STDCALL Var_StoreInteger(TScriptContext* context, uint32_t reference, int64_t value);
TStatus ZV_STDCALL Var_StoreFloat(TScriptContext* context, uint32_t reference, TExtended value);
// A new block with a copy of `length` bytes. 0, 1001, 1002.
TStatus ZV_STDCALL Var_StoreBinBlock(TScriptContext* context, uint32_t reference, const void* data,
                                     uint32_t length);
// A new text of `length` UTF-16 units (0 stores the static empty text).
TStatus ZV_STDCALL Var_StoreUnicodeString(TScriptContext* context, uint32_t reference,
                                          const char16_t* text, uint32_t length);
// The same for a text the runtime built itself (never a caller's buffer,
// which must be copied before the lock): a dynamic text the variable already
// holds is rewritten in place when it has room and is not much larger, so a
// loop that keeps storing short texts into one variable does not go to the
// heap every time.
TStatus StoreBuiltText(TScriptContext* context, uint32_t reference, const char16_t* text,
                       uint32_t length);
// A new empty list. 0, 1001, 1002.
TStatus ZV_STDCALL Var_InitBBL(TScriptContext* context, uint32_t reference);
TStatus ZV_STDCALL Var_InitUStrL(TScriptContext* context, uint32_t reference);
// Appends an item to a list variable of the right kind (else 1004).
TStatus ZV_STDCALL Var_AddItemBBL(TScriptContext* context, uint32_t reference, const void* data,
                                  uint32_t length);
// `length` -1 appends the text up to its terminating zero, 0 the empty text.
TStatus ZV_STDCALL Var_AddItemUStrL(TScriptContext* context, uint32_t reference,
                                    const char16_t* text, int32_t length);
// The variable takes the array and its kind and owns it from now on; on 1001
// the caller still owns the array.
TStatus StoreArrayRef(TScriptContext* context, uint32_t reference, PArrayHeader array,
                      TVarType kind);
// Replaces a static array of an array, text or block variable by a dynamic
// copy with the same capacity and contents (copy on write); other values are
// left as they are. 0, 1001, or 1002 when the copy cannot be made (the
// variable then still shares the constant, which must not be written).
TStatus MakeVarWritable(TScriptContext* context, uint32_t reference);
