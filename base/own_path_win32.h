// The full path of the running executable, however long it is (empty when
// the system cannot tell it). The stand-alone runner reads its appended
// image from there; the console host finds the libraries beside it.
#pragma once

#include <windows.h>

#include <string>

inline std::wstring OwnExecutablePath() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = GetModuleFileNameW(nullptr, path.data(), DWORD(path.size()));
    if (n == 0) return std::wstring();
    if (n < path.size()) {
      path.resize(n);
      return path;
    }
    path.resize(path.size() * 2);
  }
}
