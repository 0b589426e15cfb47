#include "runtime/commands/registry_keys_win32.h"

#include "runtime/values/text.h"

namespace {

#define ZV_ROOT(name) \
  { L## #name L"\\", sizeof(#name), name }
// Searched in this order; the first prefix that the path begins with wins.
const TRegistryRoot kRoots[] = {
    ZV_ROOT(HKEY_CURRENT_USER),   ZV_ROOT(HKEY_LOCAL_MACHINE), ZV_ROOT(HKEY_CLASSES_ROOT),
    ZV_ROOT(HKEY_CURRENT_CONFIG), ZV_ROOT(HKEY_USERS),         ZV_ROOT(HKEY_PERFORMANCE_DATA),
    ZV_ROOT(HKEY_DYN_DATA),
};
#undef ZV_ROOT

bool HoldsZero(const char16_t* units, uint32_t length) {
  for (uint32_t i = 0; i < length; ++i) {
    if (units[i] == 0) return true;
  }
  return false;
}

}  // namespace

TStatus SplitRegistryPath(const TArrayHeader* text, TRegistryPath* path) {
  const char16_t* units = USTR_Chars(text);
  const uint32_t length = USTR_Length(text);
  for (const TRegistryRoot& root : kRoots) {
    if (length < root.PrefixLength) continue;
    const char16_t* prefix = reinterpret_cast<const char16_t*>(root.Prefix);
    if (USTR_CompareNoCase(units, root.PrefixLength, prefix, root.PrefixLength) != 0) continue;
    path->Root = &root;
    const char16_t* rest = units + root.PrefixLength;
    const uint32_t restLength = length - root.PrefixLength;
    path->SubKey.assign(reinterpret_cast<const wchar_t*>(rest), restLength);
    path->HasZero = HoldsZero(rest, restLength);
    return kStatusOk;
  }
  return kStatusBadRegistryRoot;
}

bool RegistryValueName(const TArrayHeader* text, std::wstring* name) {
  const char16_t* units = USTR_Chars(text);
  const uint32_t length = USTR_Length(text);
  name->assign(reinterpret_cast<const wchar_t*>(units), length);
  return !HoldsZero(units, length);
}

LONG TRegKey::Open(const TRegistryPath& path, REGSAM access) {
  Close();
  if (path.HasZero) return ERROR_INVALID_NAME;
  return Open(path.Root->Key, path.SubKey, access);
}

LONG TRegKey::Open(HKEY root, const std::wstring& subKey, REGSAM access) {
  Close();
  const LONG result = RegOpenKeyExW(root, subKey.c_str(), 0, access, &key_);
  if (result != ERROR_SUCCESS) key_ = nullptr;
  return result;
}
