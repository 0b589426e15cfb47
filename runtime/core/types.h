// The value model and the script context: the records that every part of the
// runtime shares. A command handler receives a TScriptContext and returns a
// status; script values live in TZorvatVariable slots held in frames.
#pragma once

#include <cstddef>
#include <cstdint>

#include "base/grow_array.h"
#include "base/status.h"
#include "base/value_kinds.h"
#include "include/zorvat.h"
#include "runtime/values/unified_array.h"

// A status is 0 for success; the codes are listed in base/status.h.
typedef uint32_t TStatus;

// A script variable: a kind and one value. Array kinds own the array that
// UA points to unless the array is static (a constant of the image or a
// built-in empty value).
struct TZorvatVariable {
  TVarType VarType;
  union {
    uint32_t AsDWORD;
    int64_t AsInteger;
    TExtended AsExtended;
    PArrayHeader UA;
  };
};

typedef TGrowArray<TZorvatVariable> TZorvatVariables;  // one frame
typedef TGrowArray<TZorvatVariables> TVarStack;        // frame 0 = globals
typedef TGrowArray<uint32_t> TCallStack;               // return positions

// One entry of the section index, in directory order.
struct TSection {
  const char* Name;  // zero-terminated, inside the loaded image's directory
  uint8_t* SectionPtr;
  uint32_t SectionFlag;  // bit 0 set: code section
  uint32_t SectionLength;
};
typedef TSection* PSectionTable;

// The process and thread a start or open command produced; laid out as the
// platform's PROCESS_INFORMATION record.
struct TProcessInfo {
  void* hProcess;
  void* hThread;
  uint32_t dwProcessId;
  uint32_t dwThreadId;
};

struct TPreparedImage;  // what preparation learned about the code (image.h)

// Everything a running script touches. The fields up to OnErrorGoto are the
// documented record that native libraries called by a script see; the fields
// after it are the runtime's own. Hosts that use the three-step interface
// allocate sizeof(TScriptContext) bytes, zero-filled.
//
// Code positions (IP, Error_At, OnErrorGoto, return positions) are offsets
// from the first byte of the image.
struct TScriptContext {
  uint32_t MyOwnModule;  // module that exports the Var_ functions
  uint8_t* ScriptStart;
  uint32_t ScriptLength;
  uint32_t SectionCount;
  PSectionTable SectionIndex;  // owned
  TVarStack StackFrames;
  TCallStack CallStack;
  void* SecurityAttributes;
  TProcessInfo LastStartedProcess;
  uint8_t* LongDataSection;
  uint32_t ActionAfterError;
  uint32_t IgnoreSymlinks;
  uint32_t FileDialogBufferSize;
  uint32_t KeyPressTime;
  uint32_t SendMsgTimeout;
  uint32_t IP;
  int32_t ScriptErrorCode;
  uint32_t Error_At;
  uint32_t LastWindowsError;
  bool ExitFlag;
  uint32_t OnErrorGoto;  // 0: no error handler

  // Set by InitContext when the image's directory cannot be read safely; the
  // context then has no sections and preparation reports the same code.
  TStatus ImageFault;
  // Owned; null until PrepareImage succeeded.
  TPreparedImage* Prepared;
  // Bounds of the code section that IP is in, [CodeStart, CodeEnd).
  uint32_t CodeStart;
  uint32_t CodeEnd;
};

// What follows a command that failed (ActionAfterError); every value above
// kErrorPolicyCallHandler ignores the error, as kErrorPolicyIgnore does.
constexpr uint32_t kErrorPolicyStop = ZV_ERROR_POLICY_STOP;
constexpr uint32_t kErrorPolicyShowBox = ZV_ERROR_POLICY_SHOW_BOX;
constexpr uint32_t kErrorPolicyCallHandler = ZV_ERROR_POLICY_CALL_HANDLER;
constexpr uint32_t kErrorPolicyIgnore = ZV_ERROR_POLICY_IGNORE;

// The initial values of the settings, as InitContext sets them.
constexpr uint32_t kDefaultActionAfterError = ZV_ERROR_POLICY_SHOW_BOX;
constexpr uint32_t kDefaultFileDialogBufferSize = 0x8000;
constexpr uint32_t kDefaultKeyPressTime = 50;
constexpr uint32_t kDefaultSendMsgTimeout = 500;

// The value kind a parameter kind reads as, for a variable parameter.
TVarType ParamKindToVarKind(TParamType kind);
// Element size of a value kind's array (0 for scalar kinds).
uint32_t VarKindElemSize(TVarType kind);
// Whether a value kind has items (arrays, texts, blocks and lists). Inline:
// every store asks it of the value it replaces.
inline bool VarKindHasItems(TVarType kind) {
  constexpr uint32_t kKindsWithItems =
      (1u << vtIntArray) | (1u << vtExtArray) | (1u << vtBinBlock) | (1u << vtBinBlockList) |
      (1u << vtDWORDArray) | (1u << vtUnicodeString) | (1u << vtUnicodeStringList);
  return kind < 32 && ((kKindsWithItems >> kind) & 1) != 0;
}
