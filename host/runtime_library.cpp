#include "host/runtime_library.h"

#include "base/own_path_win32.h"

namespace {

template <typename T>
bool Resolve(HMODULE module, const char* name, T& function, std::wstring& error) {
  function = reinterpret_cast<T>(reinterpret_cast<void*>(GetProcAddress(module, name)));
  if (function != nullptr) return true;
  error = L"Zorvat.dll does not export " + std::wstring(name, name + strlen(name));
  return false;
}

}  // namespace

std::wstring ProgramFolder() {
  const std::wstring path = OwnExecutablePath();
  return path.substr(0, path.find_last_of(L"\\/") + 1);
}

bool TRuntimeLibrary::Load(std::wstring& error) {
  std::wstring path = ProgramFolder() + L"Zorvat.dll";
  Module = LoadLibraryW(path.c_str());
  if (Module == nullptr) {
    error = L"cannot load " + path;
    return false;
  }
  return Resolve(Module, "KernelVersion", KernelVersion, error) &&
         Resolve(Module, "LoadAndExecute", LoadAndExecute, error) &&
         Resolve(Module, "InitContext", InitContext, error) &&
         Resolve(Module, "CompileScript", CompileScript, error) &&
         Resolve(Module, "ExecuteByteCode", ExecuteByteCode, error);
}

TRuntimeLibrary::~TRuntimeLibrary() {
  if (Module != nullptr) FreeLibrary(Module);
}
