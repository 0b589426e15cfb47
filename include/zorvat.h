/* Zorvat.dll and ZorvatEx.exe as a host or a native library sees them.
 *
 * Both modules export the same undecorated names, all __stdcall. A host runs
 * an image in one call (LoadAndExecute) or in three steps (InitContext,
 * CompileScript, ExecuteByteCode) on a context record it allocates itself:
 * sizeof(TScriptContextRecord) bytes, zero-filled. A native library that a
 * script calls receives the running script's context and stores results
 * into script variables with the Var_ functions, which it looks up by name
 * in the module that MyOwnModule names.
 *
 * The functions are declared as pointer types, because a host finds them with
 * GetProcAddress under the names given beside each type. Results of type
 * uint32_t are status codes (0: success). Texts are UTF-16. */
#ifndef ZORVAT_H
#define ZORVAT_H

#include <stdint.h>
#ifndef __cplusplus
#include <uchar.h>
#endif

#ifdef _WIN32
#define ZV_STDCALL __stdcall
#else
#define ZV_STDCALL
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* The runtime's own context; hosts and libraries pass it by pointer. */
typedef struct TScriptContext TScriptContext;

typedef struct TScriptContextArray {
  void* Items;
  uint32_t Count;
  uint32_t Capacity;
} TScriptContextArray;

/* Laid out as the platform's PROCESS_INFORMATION. */
typedef struct TScriptContextProcessInfo {
  void* hProcess;
  void* hThread;
  uint32_t dwProcessId;
  uint32_t dwThreadId;
} TScriptContextProcessInfo;

/* The context record as a host and a native library see it. The fields up to
 * OnErrorGoto are documented; the ones after it belong to the runtime and
 * only make the record its full size. Code positions (IP, Error_At,
 * OnErrorGoto) are offsets from the first byte of the image. */
typedef struct TScriptContextRecord {
  uint32_t MyOwnModule; /* the module that exports the Var_ functions */
  uint8_t* ScriptStart;
  uint32_t ScriptLength;
  uint32_t SectionCount;
  void* SectionIndex;
  TScriptContextArray StackFrames;
  TScriptContextArray CallStack;
  void* SecurityAttributes;
  TScriptContextProcessInfo LastStartedProcess;
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
  uint8_t ExitFlag;
  uint32_t OnErrorGoto; /* 0: no error handler */
  uint32_t RuntimeReserved1;
  void* RuntimeReserved2;
  uint32_t RuntimeReserved3[2];
} TScriptContextRecord;

/* ActionAfterError (runtime setting 3): what follows a command that failed.
 * Any value above 2 ignores the error and goes on with the next command. */
#define ZV_ERROR_POLICY_STOP 0         /* the run ends with the command's status */
#define ZV_ERROR_POLICY_SHOW_BOX 1     /* the same, after the error box (the default) */
#define ZV_ERROR_POLICY_CALL_HANDLER 2 /* the error handler is called, if one is set */
#define ZV_ERROR_POLICY_IGNORE 3

/* "KernelVersion": the runtime's version. */
typedef int32_t(ZV_STDCALL* TZvKernelVersion)(void);
/* "LoadAndExecute": reads the image from the end of the file, checks,
 * prepares and runs the named code section ("GCS" for null). */
typedef uint32_t(ZV_STDCALL* TZvLoadAndExecute)(const char16_t* fileName, const char* sectionName);
/* "InitContext": attaches an image the caller keeps to a zero-filled record. */
typedef uint32_t(ZV_STDCALL* TZvInitContext)(TScriptContext* context, uint8_t* image,
                                             uint32_t length);
/* "CompileScript": checks and prepares the image. */
typedef uint32_t(ZV_STDCALL* TZvCompileScript)(TScriptContext* context);
/* "ExecuteByteCode": runs the named code section ("GCS" for null). */
typedef uint32_t(ZV_STDCALL* TZvExecuteByteCode)(TScriptContext* context, const char* sectionName);

/* "Var_StoreDWORD", "Var_StoreInteger", "Var_StoreFloat" (80-bit extended),
 * "Var_StoreBinBlock", "Var_StoreUnicodeString": store a value into the
 * variable the reference names. */
typedef uint32_t(ZV_STDCALL* TZvVarStoreDWORD)(TScriptContext* context, uint32_t reference,
                                               uint32_t value);
typedef uint32_t(ZV_STDCALL* TZvVarStoreInteger)(TScriptContext* context, uint32_t reference,
                                                 int64_t value);
typedef uint32_t(ZV_STDCALL* TZvVarStoreFloat)(TScriptContext* context, uint32_t reference,
                                               long double value);
typedef uint32_t(ZV_STDCALL* TZvVarStoreBinBlock)(TScriptContext* context, uint32_t reference,
                                                  const void* data, uint32_t length);
typedef uint32_t(ZV_STDCALL* TZvVarStoreUnicodeString)(TScriptContext* context, uint32_t reference,
                                                       const char16_t* text, uint32_t length);
/* "Var_InitBBL", "Var_InitUStrL": make the variable an empty block list or
 * text list. "Var_AddItemBBL", "Var_AddItemUStrL": append one item (a text
 * length of -1: up to the terminating zero). */
typedef uint32_t(ZV_STDCALL* TZvVarInitList)(TScriptContext* context, uint32_t reference);
typedef uint32_t(ZV_STDCALL* TZvVarAddItemBBL)(TScriptContext* context, uint32_t reference,
                                               const void* data, uint32_t length);
typedef uint32_t(ZV_STDCALL* TZvVarAddItemUStrL)(TScriptContext* context, uint32_t reference,
                                                 const char16_t* text, int32_t length);

#ifdef __cplusplus
}
#endif

#endif /* ZORVAT_H */
