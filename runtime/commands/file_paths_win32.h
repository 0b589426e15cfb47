// What the file, drive and tree commands share: paths fetched as text
// parameters and handed to the wide-character file functions, file handles
// held in script variables, and the recording of the platform's last error.
#pragma once

#include <windows.h>

#include <cstdint>

#include "base/status.h"
#include "runtime/commands/process_handles_win32.h"
#include "runtime/core/fetch.h"
#include "runtime/core/types.h"
#include "runtime/values/text.h"

// The longest path the platform can name at all (a counted string of 16-bit
// lengths). Anything longer cannot name the file the script meant.
constexpr uint32_t kMaxPathUnits = 32767;

// A path fetched from a text parameter. The text keeps its terminator, so it
// goes to the platform as it is; an omitted path is the empty path.
class TFetchedPath {
 public:
  // 0, or 102 when the parameter is unusable.
  TStatus Fetch(TScriptContext* context) {
    return text_.Fetch(context) == kFetchUnusable ? kStatusBadParam : kStatusOk;
  }
  // Whether the platform would see the whole path: a zero unit inside the
  // text would cut it short and name a different file, and a path beyond the
  // platform's limit cannot be named. Commands fail on such a path instead.
  bool Usable() const {
    const uint32_t length = Length();
    if (length > kMaxPathUnits) return false;
    const char16_t* units = Units();
    for (uint32_t i = 0; i < length; ++i) {
      if (units[i] == 0) return false;
    }
    return true;
  }
  const wchar_t* Get() const { return reinterpret_cast<const wchar_t*>(Units()); }
  uint32_t Length() const { return USTR_Length(text_.Get()); }
  bool Empty() const { return Length() == 0; }

 private:
  const char16_t* Units() const {
    return text_.Get() == nullptr ? u"" : USTR_Chars(static_cast<const TArrayHeader*>(text_.Get()));
  }
  TFetchedText text_;
};

// Runs one platform call with the last error cleared first and records the
// error it leaves in LastWindowsError, so that a call that succeeds does not
// leave an older error behind.
template <typename TCall>
auto RecordedCall(TScriptContext* context, TCall call) {
  SetLastError(ERROR_SUCCESS);
  auto result = call();
  context->LastWindowsError = GetLastError();
  return result;
}

// Fetches the next parameter as a variable holding a handle and reads the
// handle from it: 0; 102 when the parameter is not a variable reference;
// 101 for a variable of another kind; 1001 for a missing variable.
inline TStatus FetchHandleVariable(TScriptContext* context, HANDLE* handle) {
  TFetchStatus status;
  const uint32_t reference = FetchDWORD(context, &status, 0);
  if (status != kFetchValue) return kStatusBadParam;
  uint32_t value = 0;
  const TStatus read = GetVarDWORD(context, reference, &value);
  *handle = HandleFromValue(value);
  return read;
}

inline bool HasWildcards(const wchar_t* path) {
  for (; *path != 0; ++path) {
    if (*path == L'*' || *path == L'?') return true;
  }
  return false;
}

inline int64_t FileTimeValue(const FILETIME& time) {
  return int64_t((uint64_t(time.dwHighDateTime) << 32) | time.dwLowDateTime);
}
inline FILETIME FileTimeOf(int64_t value) {
  FILETIME time;
  time.dwLowDateTime = DWORD(uint64_t(value));
  time.dwHighDateTime = DWORD(uint64_t(value) >> 32);
  return time;
}
