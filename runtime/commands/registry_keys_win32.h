// Registry key paths as scripts write them: one text that begins with the
// name of a root key and its backslash (compared ignoring case), followed by
// the sub-key path. Scripts never hold registry handles; every command opens
// the key it needs through these helpers and closes it before returning.
// Shared by the registry commands and the registry tree listing.
#pragma once

#include <windows.h>

#include <string>

#include "base/status.h"
#include "runtime/core/types.h"
#include "runtime/values/unified_array.h"

struct TRegistryRoot {
  const wchar_t* Prefix;  // as scripts write it, trailing backslash included
  uint32_t PrefixLength;
  HKEY Key;
};

// A key path split into its root and its sub-key path.
struct TRegistryPath {
  const TRegistryRoot* Root = nullptr;
  std::wstring SubKey;
  // The text held a zero unit. The registry functions would stop reading at
  // it and so act on another key than the one the script named (a recursive
  // delete of "...\Software<zero>Old" would take all of Software), so such a
  // path names no key at all.
  bool HasZero = false;
};

// 0, or 1045 when the text does not begin with one of the root prefixes.
TStatus SplitRegistryPath(const TArrayHeader* text, TRegistryPath* path);

// A value name from a script text; false when it holds a zero unit, for the
// same reason as a key path.
bool RegistryValueName(const TArrayHeader* text, std::wstring* name);

// An open key, closed when the holder goes.
class TRegKey {
 public:
  TRegKey() = default;
  TRegKey(const TRegKey&) = delete;
  TRegKey& operator=(const TRegKey&) = delete;
  ~TRegKey() { Close(); }

  // RegOpenKeyExW's result; a path with a zero unit is ERROR_INVALID_NAME.
  LONG Open(const TRegistryPath& path, REGSAM access);
  LONG Open(HKEY root, const std::wstring& subKey, REGSAM access);
  HKEY Get() const { return key_; }
  void Close() {
    if (key_ != nullptr) RegCloseKey(key_);
    key_ = nullptr;
  }

 private:
  HKEY key_ = nullptr;
};
