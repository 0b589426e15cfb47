// On 32-bit Windows a processor fault is raised as a structured exception
// that walks the chain of exception registrations at fs:[0]. The guard puts a
// registration of its own on that chain while the body runs. Its handler sees
// only the exceptions that nothing inside the body handled; for an error
// exception it jumps back to the guard with longjmp, whose msvcrt
// implementation unwinds the registrations of the frames it leaves. C++
// exceptions (DWARF unwinding) never reach the chain and are caught by
// try/catch.
#include <windows.h>

#include <csetjmp>
#include <new>

#include "base/status.h"
#include "runtime/core/fault_guard.h"

namespace {

// An exception registration record, followed by what the handler needs.
struct TGuardRegistration {
  TGuardRegistration* Next;
  void* Handler;
  jmp_buf* Resume;
};

bool IsErrorException(const EXCEPTION_RECORD* record) {
  return (record->ExceptionCode & 0xC0000000u) == 0xC0000000u;
}

extern "C" EXCEPTION_DISPOSITION __cdecl GuardHandler(EXCEPTION_RECORD* record,
                                                      void* establisherFrame, CONTEXT*, void*) {
  if (record->ExceptionFlags & (EXCEPTION_UNWINDING | EXCEPTION_EXIT_UNWIND)) {
    return ExceptionContinueSearch;
  }
  if (!IsErrorException(record)) return ExceptionContinueSearch;
  longjmp(*static_cast<TGuardRegistration*>(establisherFrame)->Resume, 1);
}

TGuardRegistration* CurrentRegistration() {
  TGuardRegistration* head;
  asm volatile("movl %%fs:0, %0" : "=r"(head));
  return head;
}

void SetRegistration(TGuardRegistration* head) {
  asm volatile("movl %0, %%fs:0" : : "r"(head) : "memory");
}

}  // namespace

TStatus RunGuarded(TGuardedBody body, TScriptContext* context) {
  jmp_buf resume;
  volatile TStatus status = kStatusException;
  if (setjmp(resume) == 0) {
    TGuardRegistration registration = {CurrentRegistration(),
                                       reinterpret_cast<void*>(&GuardHandler), &resume};
    SetRegistration(&registration);
    try {
      status = body(context);
    } catch (const std::bad_alloc&) {
      status = kStatusOutOfMemory;
    } catch (...) {
      status = kStatusException;
    }
    SetRegistration(registration.Next);
  }
  return status;
}
