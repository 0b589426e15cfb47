// Processes and threads: start programs and documents, keep hold of the
// started process and its main thread, open other processes and threads by
// identifier, change and read their priorities, suspend and resume threads,
// test whether they still run, and terminate them. Reading and writing the
// memory of another process is in memory_commands_win32.cpp.
//
// Everything centres on the context's LastStartedProcess, which the start and
// open commands fill and the other commands use when no handle is given. The
// handles recorded there are never closed here: a script may have copied
// them into variables (ProcessGetLast) and go on using them after it started
// or opened the next process. A start or open that fails leaves the record
// as it was.
#include <windows.h>
// shellapi.h builds on the declarations of windows.h.
#include <shellapi.h>

#include <iterator>
#include <string>

#include "base/status.h"
#include "runtime/commands/commands.h"
#include "runtime/commands/optional_results.h"
#include "runtime/commands/process_handles_win32.h"
#include "runtime/core/fetch.h"
#include "runtime/core/variables.h"
#include "runtime/values/text.h"

namespace {

static_assert(sizeof(TProcessInfo) == sizeof(PROCESS_INFORMATION));

constexpr DWORD kDefaultProcessAccess = PROCESS_TERMINATE | PROCESS_VM_OPERATION | PROCESS_VM_READ |
                                        PROCESS_VM_WRITE | PROCESS_SET_INFORMATION |
                                        PROCESS_QUERY_INFORMATION;
constexpr DWORD kDefaultThreadAccess =
    THREAD_TERMINATE | THREAD_SUSPEND_RESUME | THREAD_SET_INFORMATION | THREAD_QUERY_INFORMATION;
static_assert(kDefaultProcessAccess == 0x639 && kDefaultThreadAccess == 0x63);

// Priority classes by the index a script gives (0 idle ... 5 realtime).
constexpr DWORD kPriorityClasses[] = {
    IDLE_PRIORITY_CLASS,         BELOW_NORMAL_PRIORITY_CLASS, NORMAL_PRIORITY_CLASS,
    ABOVE_NORMAL_PRIORITY_CLASS, HIGH_PRIORITY_CLASS,         REALTIME_PRIORITY_CLASS,
};

// An index picks a class; any other value is taken as a class itself, so
// that a script may also pass the platform's own constants.
DWORD PriorityClassOf(uint32_t value) {
  return value < std::size(kPriorityClasses) ? kPriorityClasses[value] : value;
}

const wchar_t* Wide(const TArrayHeader* text) {
  return reinterpret_cast<const wchar_t*>(USTR_Chars(text));
}

// A text parameter that may be omitted: null when it is.
const wchar_t* OptionalWide(const TFetchedText& text, TFetchStatus status) {
  return status == kFetchValue ? Wide(text.Get()) : nullptr;
}

// OpenThread, looked up once in kernel32 so that the runtime still loads
// where the platform lacks it; the thread commands then fail.
typedef HANDLE(WINAPI* TOpenThread)(DWORD access, BOOL inherit, DWORD threadId);
HANDLE OpenThreadById(DWORD access, DWORD threadId) {
  static const TOpenThread openThread = reinterpret_cast<TOpenThread>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "OpenThread")));
  return openThread != nullptr ? openThread(access, FALSE, threadId) : nullptr;
}

// ---- Starting ----

// A copy of the text that begins and ends with a double quote; null when it
// cannot be made.
PArrayHeader QuotedCopy(PArrayHeader text) {
  PArrayHeader quoted = USTR_Clone(text);
  if (!USTR_Quote(&quoted)) UA_Free(&quoted);
  return quoted;
}

// The program in double quotes, then a blank and the arguments when there
// are any, in a buffer that the start routine may write into. False when the
// text cannot be built.
bool BuildCommandLine(PArrayHeader program, const TArrayHeader* arguments, std::u16string* line) {
  PArrayHeader text = QuotedCopy(program);
  const bool built =
      text != nullptr && (arguments == nullptr || USTR_Append2(&text, USTR_Blank(), arguments));
  if (built) *line = USTR_ToNative(text);
  UA_Free(&text);
  return built;
}

void RecordStarted(TScriptContext* context, const PROCESS_INFORMATION& started) {
  context->LastStartedProcess = {started.hProcess, started.hThread, started.dwProcessId,
                                 started.dwThreadId};
}

// ---- Processes and threads alike ----

enum TTarget : uint8_t { kProcess, kThread };

TStatus FetchTargetHandle(TScriptContext* context, TTarget target, HANDLE* handle) {
  return target == kProcess ? FetchProcessHandle(context, handle)
                            : FetchThreadHandle(context, handle);
}

// Codes 16 and 17.
TStatus StoreLast(TScriptContext* context, TTarget target) {
  TOptionalResult results[2];
  for (TOptionalResult& result : results) {
    if (FetchOptionalResult(context, &result) != kStatusOk) return kStatusBadParam;
  }
  const TProcessInfo& last = context->LastStartedProcess;
  const uint32_t values[2] = {
      ValueOfHandle(target == kProcess ? last.hProcess : last.hThread),
      target == kProcess ? last.dwProcessId : last.dwThreadId,
  };
  return StoreOptionalDWORDs(context, results, values, 2);
}

// Codes 13 and 14.
TStatus Terminate(TScriptContext* context, TTarget target) {
  HANDLE handle;
  TStatus status = FetchTargetHandle(context, target, &handle);
  if (status != kStatusOk) return status;
  TFetchStatus codeStatus;
  const uint32_t exitCode = FetchDWORD(context, &codeStatus, 0);
  if (codeStatus == kFetchUnusable) return kStatusBadParam;
  const BOOL done =
      target == kProcess ? TerminateProcess(handle, exitCode) : TerminateThread(handle, exitCode);
  return done ? kStatusOk : kStatusTerminateFailed;
}

// Codes 111 and 112: running means the exit code can be read and is still
// STILL_ACTIVE; a handle that cannot be asked is not running.
TStatus StoreIsRunning(TScriptContext* context, TTarget target) {
  HANDLE handle;
  TStatus status = FetchTargetHandle(context, target, &handle);
  if (status != kStatusOk) return status;
  uint32_t reference;
  if (FetchRequiredDWORD(context, &reference) != kStatusOk) return kStatusBadParam;
  DWORD exitCode = 0;
  const BOOL read = target == kProcess ? GetExitCodeProcess(handle, &exitCode)
                                       : GetExitCodeThread(handle, &exitCode);
  return Var_StoreDWORD(context, reference, read && exitCode == STILL_ACTIVE ? 1 : 0);
}

// Codes 80 and 81.
TStatus SuspendOrResume(TScriptContext* context, bool suspend) {
  HANDLE handle;
  TStatus status = FetchThreadHandle(context, &handle);
  if (status != kStatusOk) return status;
  TOptionalResult result;
  if (FetchOptionalResult(context, &result) != kStatusOk) return kStatusBadParam;
  if (result.Given && ResolveVar(context, result.Reference) == nullptr) {
    return kStatusNoSuchVariable;
  }
  const uint32_t previous = suspend ? SuspendThread(handle) : ResumeThread(handle);
  if (previous == uint32_t(-1)) return kStatusSuspendResumeFailed;
  return StoreOptionalDWORDs(context, &result, &previous, 1);
}

// Codes 97 and 98: the identifier, the result, the access rights. The
// result variable is checked first, so a handle is never opened that could
// not be handed to the script.
TStatus OpenById(TScriptContext* context, TTarget target) {
  uint32_t idReference, reference;
  if (FetchRequiredDWORD(context, &idReference) != kStatusOk) return kStatusBadParam;
  if (FetchRequiredDWORD(context, &reference) != kStatusOk) return kStatusBadParam;
  TFetchStatus accessStatus;
  const uint32_t access = FetchDWORD(
      context, &accessStatus, target == kProcess ? kDefaultProcessAccess : kDefaultThreadAccess);
  if (accessStatus == kFetchUnusable) return kStatusBadParam;
  uint32_t id;
  TStatus status = GetVarDWORD(context, idReference, &id);
  if (status != kStatusOk) return status;
  if (ResolveVar(context, reference) == nullptr) return kStatusNoSuchVariable;
  TProcessInfo& last = context->LastStartedProcess;
  if (target == kProcess) {
    HANDLE process = OpenProcess(access, FALSE, id);
    if (process == nullptr) return kStatusProcessOpenFailed;
    last.hProcess = process;
    last.dwProcessId = id;
  } else {
    HANDLE thread = OpenThreadById(access, id);
    if (thread == nullptr) return kStatusThreadOpenFailed;
    last.hThread = thread;
    last.dwThreadId = id;
  }
  return Var_StoreDWORD(context, reference,
                        ValueOfHandle(target == kProcess ? last.hProcess : last.hThread));
}

// ---- Priorities ----

TStatus FetchPriorityClass(TScriptContext* context, DWORD* priorityClass) {
  TFetchStatus status;
  *priorityClass = PriorityClassOf(FetchDWORD(context, &status, NORMAL_PRIORITY_CLASS));
  return status == kFetchUnusable ? kStatusBadParam : kStatusOk;
}

TStatus FetchThreadPriority(TScriptContext* context, int* priority) {
  TFetchStatus status;
  *priority = int(int32_t(FetchDWORD(context, &status, THREAD_PRIORITY_NORMAL)));
  return status == kFetchUnusable ? kStatusBadParam : kStatusOk;
}

}  // namespace

TStatus CmdProcessStart(TScriptContext* context) {
  TFetchedText program, arguments, directory;
  if (program.Fetch(context) != kFetchValue) return kStatusBadParam;
  const TFetchStatus argumentsStatus = arguments.Fetch(context);
  const TFetchStatus directoryStatus = directory.Fetch(context);
  TFetchStatus showStatus, flagsStatus;
  const uint32_t showMode = FetchDWORD(context, &showStatus, 0);
  const uint32_t flags = FetchDWORD(context, &flagsStatus, 0);
  if (argumentsStatus == kFetchUnusable || directoryStatus == kFetchUnusable ||
      showStatus == kFetchUnusable || flagsStatus == kFetchUnusable) {
    return kStatusBadParam;
  }
  std::u16string commandLine;
  const TArrayHeader* args = argumentsStatus == kFetchValue ? arguments.Get() : nullptr;
  if (!BuildCommandLine(program.Get(), args, &commandLine)) return kStatusOutOfMemory;
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  if (showStatus == kFetchValue) {
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = WORD(showMode);
  }
  auto* security = static_cast<SECURITY_ATTRIBUTES*>(context->SecurityAttributes);
  PROCESS_INFORMATION started = {};
  const BOOL ok = CreateProcessW(
      Wide(program.Get()), reinterpret_cast<wchar_t*>(commandLine.data()), security, security,
      FALSE, flags, nullptr, OptionalWide(directory, directoryStatus), &startup, &started);
  context->LastWindowsError = GetLastError();
  if (!ok) return kStatusStartFailed;
  RecordStarted(context, started);
  return kStatusOk;
}

// Without parameters the file's own name, quoted, is passed as the
// parameters: a program opened this way receives its path as its argument.
TStatus CmdShellOpen(TScriptContext* context) {
  TFetchedText file, parameters, directory, verb;
  if (file.Fetch(context) != kFetchValue) return kStatusBadParam;
  const TFetchStatus parametersStatus = parameters.Fetch(context);
  const TFetchStatus directoryStatus = directory.Fetch(context);
  TFetchStatus showStatus;
  const uint32_t showMode = FetchDWORD(context, &showStatus, SW_SHOW);
  const TFetchStatus verbStatus = verb.Fetch(context);
  if (parametersStatus == kFetchUnusable || directoryStatus == kFetchUnusable ||
      showStatus == kFetchUnusable || verbStatus == kFetchUnusable) {
    return kStatusBadParam;
  }
  TFetchedText quotedFile(parametersStatus == kFetchValue ? nullptr : QuotedCopy(file.Get()));
  if (parametersStatus != kFetchValue && quotedFile.Get() == nullptr) return kStatusOutOfMemory;
  SHELLEXECUTEINFOW info = {};
  info.cbSize = sizeof info;
  info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_DOENVSUBST;
  info.lpFile = Wide(file.Get());
  info.lpParameters =
      parametersStatus == kFetchValue ? Wide(parameters.Get()) : Wide(quotedFile.Get());
  info.lpDirectory = OptionalWide(directory, directoryStatus);
  info.lpVerb = OptionalWide(verb, verbStatus);
  info.nShow = int(showMode);
  const BOOL ok = ShellExecuteExW(&info);
  context->LastWindowsError = GetLastError();
  if (!ok) return kStatusStartFailed;
  context->LastStartedProcess.hProcess = info.hProcess;
  return kStatusOk;
}

TStatus CmdProcessGetLast(TScriptContext* context) {
  return StoreLast(context, kProcess);
}

TStatus CmdThreadGetLast(TScriptContext* context) {
  return StoreLast(context, kThread);
}

TStatus CmdProcessTerminate(TScriptContext* context) {
  return Terminate(context, kProcess);
}

TStatus CmdThreadTerminate(TScriptContext* context) {
  return Terminate(context, kThread);
}

TStatus CmdProcessIsRunning(TScriptContext* context) {
  return StoreIsRunning(context, kProcess);
}

TStatus CmdThreadIsRunning(TScriptContext* context) {
  return StoreIsRunning(context, kThread);
}

TStatus CmdThreadSuspend(TScriptContext* context) {
  return SuspendOrResume(context, true);
}

TStatus CmdThreadResume(TScriptContext* context) {
  return SuspendOrResume(context, false);
}

TStatus CmdProcessOpen(TScriptContext* context) {
  return OpenById(context, kProcess);
}

TStatus CmdThreadOpen(TScriptContext* context) {
  return OpenById(context, kThread);
}

TStatus CmdThreadSetPriority(TScriptContext* context) {
  HANDLE thread;
  TStatus status = FetchThreadHandle(context, &thread);
  if (status != kStatusOk) return status;
  int priority;
  if (FetchThreadPriority(context, &priority) != kStatusOk) return kStatusBadParam;
  return SetThreadPriority(thread, priority) ? kStatusOk : kStatusThreadPriorityFailed;
}

// Without an identifier the last started thread is meant: its identifier,
// not its handle, is what OpenThread takes.
TStatus CmdThreadSetPriorityById(TScriptContext* context) {
  uint32_t id;
  TStatus status = FetchHandleValue(context, context->LastStartedProcess.dwThreadId, &id);
  if (status != kStatusOk) return status;
  int priority;
  if (FetchThreadPriority(context, &priority) != kStatusOk) return kStatusBadParam;
  HANDLE thread = OpenThreadById(THREAD_SET_INFORMATION, id);
  if (thread == nullptr) return kStatusThreadPriorityFailed;
  const BOOL set = SetThreadPriority(thread, priority);
  CloseHandle(thread);
  return set ? kStatusOk : kStatusThreadPriorityFailed;
}

TStatus CmdProcessSetPriority(TScriptContext* context) {
  HANDLE process;
  TStatus status = FetchProcessHandle(context, &process);
  if (status != kStatusOk) return status;
  DWORD priorityClass;
  if (FetchPriorityClass(context, &priorityClass) != kStatusOk) return kStatusBadParam;
  return SetPriorityClass(process, priorityClass) ? kStatusOk : kStatusPriorityClassFailed;
}

// Without an identifier the last started process is meant: its identifier,
// not its handle, is what OpenProcess takes.
TStatus CmdProcessSetPriorityById(TScriptContext* context) {
  uint32_t id;
  TStatus status = FetchHandleValue(context, context->LastStartedProcess.dwProcessId, &id);
  if (status != kStatusOk) return status;
  DWORD priorityClass;
  if (FetchPriorityClass(context, &priorityClass) != kStatusOk) return kStatusBadParam;
  HANDLE process = OpenProcess(PROCESS_SET_INFORMATION, FALSE, id);
  if (process == nullptr) return kStatusPriorityClassFailed;
  const BOOL set = SetPriorityClass(process, priorityClass);
  CloseHandle(process);
  return set ? kStatusOk : kStatusPriorityClassFailed;
}

TStatus CmdProcessGetPriority(TScriptContext* context) {
  HANDLE process;
  TStatus status = FetchProcessHandle(context, &process);
  if (status != kStatusOk) return status;
  uint32_t reference;
  if (FetchRequiredDWORD(context, &reference) != kStatusOk) return kStatusBadParam;
  const DWORD priorityClass = GetPriorityClass(process);
  if (priorityClass == 0) return kStatusPriorityGetFailed;
  return Var_StoreDWORD(context, reference, priorityClass);
}

TStatus CmdThreadGetPriority(TScriptContext* context) {
  HANDLE thread;
  TStatus status = FetchThreadHandle(context, &thread);
  if (status != kStatusOk) return status;
  uint32_t reference;
  if (FetchRequiredDWORD(context, &reference) != kStatusOk) return kStatusBadParam;
  const int priority = GetThreadPriority(thread);
  if (priority == THREAD_PRIORITY_ERROR_RETURN) return kStatusPriorityGetFailed;
  return Var_StoreDWORD(context, reference, uint32_t(priority));
}
