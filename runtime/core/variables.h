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
// Native libraries may store through the Var_ functions from threads of their
// own (the dialog library's forms do): every store and every change of a
// frame's length takes one process-wide lock. Reads take none; a library
// thread only ever writes.
#pragma once

#include <cstdint>

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

// Appends an empty frame: 0; 108 at kMaxFrameDepth frames; 1002 when the
// frame stack cannot grow.
TStatus PushFrame(TScriptContext* context);
// Releases every variable of the last frame and removes it; 1003 without one.
TStatus PopFrame(TScriptContext* context);
// Appends n new (uninitialised) variables to frame 0 or to the last frame,
// pushing a frame first when there is none, and stores the index of the first
// in *first. 0; 1007 when n is 0; 1002 when the frame would not fit 32-bit
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

// ---- Lookup and typed reads ----
// The variable a reference names, or null. Inline: every variable parameter
// of every command goes through it.
inline TZorvatVariable* ResolveVar(TScriptContext* context, uint32_t reference) {
  const TVarStack& frames = context->StackFrames;
  if (frames.Count == 0) return nullptr;
  const TZorvatVariables& frame =
      (reference & kLocalBit) == 0 ? frames.Items[0] : frames.Items[frames.Count - 1];
  const uint32_t index = reference & ~kLocalBit;
  return index < frame.Count ? &frame.Items[index] : nullptr;
}
// Releases the value by kind and leaves the variable uninitialised.
void ReleaseVar(TZorvatVariable* variable);

// vtInteger (low 32 bits) or vtDWORD. 1001 missing, 101 other kinds.
TStatus GetVarDWORD(TScriptContext* context, uint32_t reference, uint32_t* value);
// vtInteger, or vtDWORD zero-extended. 1001 / 101.
TStatus GetVarInt64(TScriptContext* context, uint32_t reference, int64_t* value);
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
