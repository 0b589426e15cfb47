// The runtime library as a host sees it: Zorvat.dll loaded from the host's
// own folder and its exports looked up by name.
#pragma once

#include <windows.h>

#include <string>

#include "include/zorvat.h"

struct TRuntimeLibrary {
  HMODULE Module = nullptr;
  TZvKernelVersion KernelVersion = nullptr;
  TZvLoadAndExecute LoadAndExecute = nullptr;
  TZvInitContext InitContext = nullptr;
  TZvCompileScript CompileScript = nullptr;
  TZvExecuteByteCode ExecuteByteCode = nullptr;

  // Loads the library and every export; false (with the reason in `error`)
  // when the library or one of the exports is missing.
  bool Load(std::wstring& error);
  ~TRuntimeLibrary();
};

// Windows paths are UTF-16 in both character types.
inline const char16_t* Utf16(const std::wstring& text) {
  return reinterpret_cast<const char16_t*>(text.c_str());
}

// The folder of the running program, with a trailing backslash.
std::wstring ProgramFolder();
