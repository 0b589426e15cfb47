// The runtime library as a host sees it: Zorvat.dll loaded from the host's
// own folder and its exports looked up by name.
#pragma once

#include <windows.h>

#include <string>

#include "runtime/core/types.h"

struct TRuntimeLibrary {
  HMODULE Module = nullptr;
  int32_t(__stdcall* KernelVersion)() = nullptr;
  TStatus(__stdcall* LoadAndExecute)(const wchar_t*, const char*) = nullptr;
  TStatus(__stdcall* InitContext)(TScriptContext*, uint8_t*, uint32_t) = nullptr;
  TStatus(__stdcall* CompileScript)(TScriptContext*) = nullptr;
  TStatus(__stdcall* ExecuteByteCode)(TScriptContext*, const char*) = nullptr;

  // Loads the library and every export; false (with the reason in `error`)
  // when the library or one of the exports is missing.
  bool Load(std::wstring& error);
  ~TRuntimeLibrary();
};

// The folder of the running program, with a trailing backslash.
std::wstring ProgramFolder();
