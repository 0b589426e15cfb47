// Drives and folders one at a time: the drive list and drive types, the
// paths of the special folders, folder creation, attributes with a check that
// the path is the file or folder the command expects, and the conversion of
// file times between UTC and local time. The tree commands are in
// drive_tree_commands_win32.cpp.
#include <shlobj.h>
#include <windows.h>

#include <cstdint>

#include "base/status.h"
#include "runtime/commands/commands.h"
#include "runtime/commands/file_paths_win32.h"
#include "runtime/commands/special_folders.h"
#include "runtime/core/fetch.h"
#include "runtime/core/variables.h"
#include "runtime/values/list.h"
#include "runtime/values/text.h"

namespace {

constexpr int64_t kTicksPerMillisecond = 10000;

TStatus StoreSpecialFolderPath(TScriptContext* context, uint32_t index, uint32_t result) {
  if (index >= kSpecialFolderCount) return kStatusSpecialFolderIndex;
  wchar_t path[MAX_PATH] = {};
  const BOOL found =
      SHGetSpecialFolderPathW(nullptr, path, int(kSpecialFolders[index].Csidl), FALSE);
  const uint32_t length = found ? uint32_t(lstrlenW(path)) : 0;
  return Var_StoreUnicodeString(context, result, reinterpret_cast<const char16_t*>(path), length);
}

// Codes 340 to 343: the path and then either the attributes to set
// (default normal) or the variable that receives them.
TStatus Attributes(TScriptContext* context, bool folder, bool set) {
  TFetchedPath path;
  TStatus status = path.Fetch(context);
  uint32_t value = 0;
  if (set) {
    TFetchStatus fetched;
    value = FetchDWORD(context, &fetched, FILE_ATTRIBUTE_NORMAL);
    if (status == kStatusOk && fetched == kFetchUnusable) status = kStatusBadParam;
  } else if (status == kStatusOk) {
    status = FetchRequiredDWORD(context, &value);
  }
  if (status != kStatusOk) return status;
  if (!path.Usable()) return kStatusAttributesFailed;
  const DWORD current = RecordedCall(context, [&] { return GetFileAttributesW(path.Get()); });
  if (current == INVALID_FILE_ATTRIBUTES) return kStatusAttributesFailed;
  if (((current & FILE_ATTRIBUTE_DIRECTORY) != 0) != folder) return kStatusFileFolderMismatch;
  if (!set) return Var_StoreDWORD(context, value, current);
  const BOOL changed = RecordedCall(context, [&] { return SetFileAttributesW(path.Get(), value); });
  return changed ? kStatusOk : kStatusAttributesFailed;
}

// Codes 301 and 302: an integer variable converted in place or into a
// second variable.
TStatus ConvertFileTime(TScriptContext* context, bool toUtc) {
  uint32_t source;
  if (FetchRequiredDWORD(context, &source) != kStatusOk) return kStatusBadParam;
  TFetchStatus fetched;
  const uint32_t result = FetchDWORD(context, &fetched, source);
  if (fetched == kFetchUnusable) return kStatusBadParam;
  const TZorvatVariable* v = ResolveVar(context, source);
  if (v == nullptr || v->VarType != vtInteger) return kStatusNoItems;
  const FILETIME time = FileTimeOf(v->AsInteger);
  SYSTEMTIME given, converted;
  FILETIME out;
  // TzSpecificLocalTimeToSystemTime is the exact inverse of the UTC to local
  // conversion, including the hour around a daylight-saving change.
  const bool ok = FileTimeToSystemTime(&time, &given) &&
                  (toUtc ? TzSpecificLocalTimeToSystemTime(nullptr, &given, &converted)
                         : SystemTimeToTzSpecificLocalTime(nullptr, &given, &converted)) &&
                  SystemTimeToFileTime(&converted, &out);
  // A time the calendar cannot hold is no file time.
  if (!ok) return kStatusNoItems;
  // The calendar record holds whole milliseconds; the 100-ns ticks below
  // them are the same in every time zone, so they are carried over rather
  // than lost.
  const int64_t ticks = v->AsInteger % kTicksPerMillisecond;
  return Var_StoreInteger(context, result, FileTimeValue(out) + ticks);
}

}  // namespace

TStatus CmdDriveList(TScriptContext* context) {
  uint32_t result;
  if (FetchRequiredDWORD(context, &result) != kStatusOk) return kStatusBadParam;
  if (ResolveVar(context, result) == nullptr) return kStatusNoSuchVariable;
  const DWORD drives = GetLogicalDrives();
  PArrayHeader list = xL_New();
  for (uint32_t bit = 0; list != nullptr && bit < 26; ++bit) {
    if ((drives & (1u << bit)) == 0) continue;
    const char16_t root[3] = {char16_t(u'A' + bit), u':', u'\\'};
    if (UStrL_AddBuffer(&list, root, 3) != kStatusOk) xL_Free(&list);
  }
  if (list == nullptr) return kStatusOutOfMemory;
  return StoreArrayRef(context, result, list, vtUnicodeStringList);
}

TStatus CmdDriveGetType(TScriptContext* context) {
  TFetchedPath path;
  TStatus status = path.Fetch(context);
  uint32_t result = 0;
  if (status == kStatusOk) status = FetchRequiredDWORD(context, &result);
  if (status != kStatusOk) return status;
  const UINT type = path.Usable() ? GetDriveTypeW(path.Get()) : DRIVE_NO_ROOT_DIR;
  return Var_StoreDWORD(context, result, type);
}

TStatus CmdSpecialFolderByName(TScriptContext* context) {
  TFetchedText name;
  const TFetchStatus fetched = name.Fetch(context);
  if (fetched == kFetchUnusable) return kStatusBadParam;
  uint32_t result;
  if (FetchRequiredDWORD(context, &result) != kStatusOk) return kStatusBadParam;
  int32_t index = 0;  // an omitted name is the first entry
  if (fetched == kFetchValue) {
    index = FindSpecialFolder(USTR_Chars(name.Get()), USTR_Length(name.Get()));
    if (index < 0) return kStatusSpecialFolderName;
  }
  return StoreSpecialFolderPath(context, uint32_t(index), result);
}

TStatus CmdSpecialFolderByIndex(TScriptContext* context) {
  uint32_t index, result;
  if (FetchRequiredDWORD(context, &index) != kStatusOk) return kStatusBadParam;
  if (FetchRequiredDWORD(context, &result) != kStatusOk) return kStatusBadParam;
  return StoreSpecialFolderPath(context, index, result);
}

TStatus CmdFolderCreate(TScriptContext* context) {
  TFetchedPath path;
  if (path.Fetch(context) != kStatusOk) return kStatusBadParam;
  if (!path.Usable()) return kStatusFolderCreateFailed;
  auto* security = static_cast<SECURITY_ATTRIBUTES*>(context->SecurityAttributes);
  const BOOL created =
      RecordedCall(context, [&] { return CreateDirectoryW(path.Get(), security); });
  return created ? kStatusOk : kStatusFolderCreateFailed;
}

TStatus CmdFileSetAttributes(TScriptContext* context) {
  return Attributes(context, false, true);
}

TStatus CmdFileGetAttributes(TScriptContext* context) {
  return Attributes(context, false, false);
}

TStatus CmdFolderSetAttributes(TScriptContext* context) {
  return Attributes(context, true, true);
}

TStatus CmdFolderGetAttributes(TScriptContext* context) {
  return Attributes(context, true, false);
}

TStatus CmdFileTimeLocalToUtc(TScriptContext* context) {
  return ConvertFileTime(context, true);
}

TStatus CmdFileTimeUtcToLocal(TScriptContext* context) {
  return ConvertFileTime(context, false);
}
