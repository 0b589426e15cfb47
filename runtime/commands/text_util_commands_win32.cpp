// The text utilities that need Windows: writing a text to an open handle,
// putting a text on the clipboard as Unicode text or emptying it, asking the
// user for file names with the standard open and save dialogs, and the path
// of the running program's executable.
#include <windows.h>
// After windows.h, which it builds on.
#include <commdlg.h>

#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <string>

#include "base/status.h"
#include "runtime/commands/commands.h"
#include "runtime/commands/text_command_support.h"
#include "runtime/commands/window_refs_win32.h"
#include "runtime/core/fetch.h"
#include "runtime/core/variables.h"
#include "runtime/values/list.h"
#include "runtime/values/text.h"

namespace {

constexpr DWORD kDefaultDialogFlags = OFN_EXPLORER;
// The path of the executable is read in steps of this many characters.
constexpr DWORD kPathStep = MAX_PATH;
// Longer than any path Windows accepts, so that a platform that keeps
// reporting a short buffer cannot keep the command growing it for ever.
constexpr DWORD kMaxPathUnits = 0x10000;
// A file-name buffer above this many characters cannot be allocated in a
// 32-bit process anyway.
constexpr uint32_t kMaxDialogBuffer = 0x3FFFFFFF;

const wchar_t* Wide(const TArrayHeader* text) {
  return reinterpret_cast<const wchar_t*>(USTR_Chars(text));
}

// ---- Clipboard ----

// Places the units and their terminating zero as CF_UNICODETEXT on the open
// clipboard; the memory belongs to the clipboard once it is set.
bool SetClipboardUnits(const char16_t* units, uint32_t length) {
  const SIZE_T bytes = (SIZE_T(length) + 1) * sizeof(char16_t);
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE | GMEM_DDESHARE, bytes);
  if (memory == nullptr) return false;
  void* data = GlobalLock(memory);
  if (data == nullptr) {
    GlobalFree(memory);
    return false;
  }
  std::memcpy(data, units, bytes);
  GlobalUnlock(memory);
  if (SetClipboardData(CF_UNICODETEXT, memory) == nullptr) {
    GlobalFree(memory);
    return false;
  }
  return true;
}

// ---- File dialogs ----

// What a file dialog command was given.
struct TDialogRequest {
  uint32_t Target;
  TFetchedText Initial, Filter, Title;
  const TArrayHeader* TitleText = nullptr;
  uint32_t MultiSelect = 0;
  uint32_t Flags = 0;
  HWND Owner = nullptr;
};

TStatus FetchDialogRequest(TScriptContext* context, bool save, TDialogRequest* r) {
  const TArrayHeader* unused;
  if (FetchRequiredDWORD(context, &r->Target) != kStatusOk) return kStatusBadParam;
  if (FetchTextOr(context, &r->Initial, nullptr, &unused) != kStatusOk) return kStatusBadParam;
  if (FetchTextOr(context, &r->Filter, nullptr, &unused) != kStatusOk) return kStatusBadParam;
  if (FetchTextOr(context, &r->Title, USTR_Empty(), &r->TitleText) != kStatusOk) {
    return kStatusBadParam;
  }
  if (FetchDWORDOr(context, save ? 0 : 1, &r->MultiSelect) != kStatusOk) return kStatusBadParam;
  if (FetchDWORDOr(context, kDefaultDialogFlags, &r->Flags) != kStatusOk) return kStatusBadParam;
  TFetchStatus status;
  const uint32_t owner = FetchDWORD(context, &status, 0);
  if (status == kFetchUnusable) return kStatusBadParam;
  if (status != kFetchValue) return kStatusOk;
  return ReadSingleWindow(context, owner, &r->Owner);
}

// Zero-terminated copies of the parts of the dialog's texts, kept for as
// long as the dialog runs.
struct TDialogTexts {
  std::wstring Folder, File, Filter;
};

// "folder|file": the part before the first "|" is the initial folder, the
// part after it the initial file name; without a "|" the whole text is the
// folder.
void SplitInitial(const TArrayHeader* initial, TDialogTexts* texts) {
  const std::wstring whole(Wide(initial), USTR_Length(initial));
  const size_t bar = whole.find(L'|');
  texts->Folder = whole.substr(0, bar);
  if (bar != std::wstring::npos) texts->File = whole.substr(bar + 1);
}

// Pairs separated by "|" become the zero-separated list the dialog reads,
// with a second zero at the end.
void MakeFilter(const TArrayHeader* filter, TDialogTexts* texts) {
  texts->Filter.assign(Wide(filter), USTR_Length(filter));
  for (wchar_t& c : texts->Filter) {
    if (c == L'|') c = 0;
  }
  texts->Filter.push_back(0);
}

// Adds the chosen files to the list: one full path, or a folder followed by
// names that each become folder + "\" + name.
TStatus AddChosenFiles(TScriptContext* context, uint32_t target, const wchar_t* buffer,
                       uint32_t size) {
  const std::wstring first(buffer, wcsnlen(buffer, size));
  uint32_t at = uint32_t(first.size()) + 1;
  if (at >= size || buffer[at] == 0) {
    return Var_AddItemUStrL(context, target, reinterpret_cast<const char16_t*>(first.c_str()),
                            int32_t(first.size()));
  }
  std::wstring folder = first;
  if (!folder.empty() && folder.back() != L'\\' && folder.back() != L'/') folder += L'\\';
  while (at < size && buffer[at] != 0) {
    const std::wstring name(buffer + at, wcsnlen(buffer + at, size - at));
    const std::wstring path = folder + name;
    const TStatus added = Var_AddItemUStrL(
        context, target, reinterpret_cast<const char16_t*>(path.c_str()), int32_t(path.size()));
    if (added != kStatusOk) return added;
    at += uint32_t(name.size()) + 1;
  }
  return kStatusOk;
}

// Old-style dialogs separate the names of a multiple selection by blanks
// (they give short names, which hold none); a single path keeps its blanks.
void SeparateOldStyleNames(wchar_t* buffer, uint32_t size, DWORD flags) {
  if ((flags & OFN_EXPLORER) != 0 || (flags & OFN_ALLOWMULTISELECT) == 0) return;
  for (uint32_t i = 0; i < size && buffer[i] != 0; ++i) {
    if (buffer[i] == L' ') buffer[i] = 0;
  }
}

// The file-name buffer of a dialog, freed on every way out.
struct TDialogBuffer {
  wchar_t* Units = nullptr;
  ~TDialogBuffer() { std::free(Units); }
};

// The current directory, put back when the dialog is over: a dialog may
// change it to the folder the user browsed to.
struct TSavedDirectory {
  std::wstring Path;
  TSavedDirectory() {
    const DWORD length = GetCurrentDirectoryW(0, nullptr);
    if (length == 0) return;
    Path.resize(length);
    Path.resize(GetCurrentDirectoryW(length, &Path[0]));
  }
  ~TSavedDirectory() {
    if (!Path.empty()) SetCurrentDirectoryW(Path.c_str());
  }
};

TStatus ShowFileDialog(TScriptContext* context, bool save) {
  TDialogRequest request;
  const TStatus fetched = FetchDialogRequest(context, save, &request);
  if (fetched != kStatusOk) return fetched;
  TDialogTexts texts;
  SplitInitial(request.Initial.Get(), &texts);
  MakeFilter(request.Filter.Get(), &texts);
  const TStatus made = Var_InitUStrL(context, request.Target);
  if (made != kStatusOk) return made;
  const uint32_t size = context->FileDialogBufferSize != 0 ? context->FileDialogBufferSize : 1;
  if (size > kMaxDialogBuffer) return kStatusOutOfMemory;
  TDialogBuffer buffer;
  buffer.Units = static_cast<wchar_t*>(std::calloc(size, sizeof(wchar_t)));
  if (buffer.Units == nullptr) return kStatusOutOfMemory;
  const size_t initialLength = texts.File.size() < size - 1 ? texts.File.size() : size - 1;
  std::memcpy(buffer.Units, texts.File.data(), initialLength * sizeof(wchar_t));

  OPENFILENAMEW dialog = {};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = request.Owner;
  dialog.lpstrFilter = texts.Filter.size() > 1 ? texts.Filter.c_str() : nullptr;
  dialog.lpstrFile = buffer.Units;
  dialog.nMaxFile = size;
  dialog.lpstrInitialDir = texts.Folder.empty() ? nullptr : texts.Folder.c_str();
  dialog.lpstrTitle = USTR_Length(request.TitleText) != 0 ? Wide(request.TitleText) : nullptr;
  dialog.Flags = request.MultiSelect != 0 ? request.Flags | OFN_ALLOWMULTISELECT
                                          : request.Flags & ~DWORD(OFN_ALLOWMULTISELECT);
  TSavedDirectory savedDirectory;
  const BOOL chosen = save ? GetSaveFileNameW(&dialog) : GetOpenFileNameW(&dialog);
  if (!chosen) {
    context->LastWindowsError = CommDlgExtendedError();
    return context->LastWindowsError != 0 ? kStatusFileDialogFailed : kStatusOk;
  }
  SeparateOldStyleNames(buffer.Units, size, dialog.Flags);
  return AddChosenFiles(context, request.Target, buffer.Units, size);
}

}  // namespace

// The last error is cleared first, so that a successful write records 0.
TStatus CmdTextWriteToHandle(TScriptContext* context) {
  uint32_t reference, handle;
  TFetchedText held;
  const TArrayHeader* text;
  if (FetchRequiredDWORD(context, &reference) != kStatusOk) return kStatusBadParam;
  if (FetchTextOr(context, &held, nullptr, &text) != kStatusOk) return kStatusBadParam;
  const TStatus read = GetVarDWORD(context, reference, &handle);
  if (read != kStatusOk) return read;
  const DWORD bytes = USTR_Length(text) * DWORD(sizeof(char16_t));
  DWORD written = 0;
  SetLastError(0);
  HANDLE file = reinterpret_cast<HANDLE>(static_cast<uintptr_t>(handle));
  const BOOL ok = WriteFile(file, USTR_Chars(text), bytes, &written, nullptr);
  context->LastWindowsError = GetLastError();
  return ok && written == bytes ? kStatusOk : kStatusWriteFailed;
}

// The clipboard is not emptied first, so that a script can add the Unicode
// form beside an 8-bit text it has just placed; an empty text empties it.
TStatus CmdClipboardSetUnicodeText(TScriptContext* context) {
  TFetchedText held;
  const TArrayHeader* text;
  if (FetchTextOr(context, &held, nullptr, &text) != kStatusOk) return kStatusBadParam;
  if (!OpenClipboard(nullptr)) {
    context->LastWindowsError = GetLastError();
    return kStatusClipboardSetFailed;
  }
  const bool ok = USTR_Length(text) == 0 ? EmptyClipboard() != 0
                                         : SetClipboardUnits(USTR_Chars(text), USTR_Length(text));
  CloseClipboard();
  return ok ? kStatusOk : kStatusClipboardSetFailed;
}

TStatus CmdClipboardClear(TScriptContext*) {
  if (OpenClipboard(nullptr)) {
    EmptyClipboard();
    CloseClipboard();
  }
  return kStatusOk;
}

TStatus CmdFileOpenDialog(TScriptContext* context) {
  return ShowFileDialog(context, false);
}
TStatus CmdFileSaveDialog(TScriptContext* context) {
  return ShowFileDialog(context, true);
}

// The last error tells a complete path (0) from a buffer that was too short;
// it is cleared before each call, since a successful call need not clear it.
TStatus CmdProcessGetExePath(TScriptContext* context) {
  uint32_t reference;
  if (FetchRequiredDWORD(context, &reference) != kStatusOk) return kStatusBadParam;
  std::wstring path;
  for (DWORD size = kPathStep; size <= kMaxPathUnits; size += kPathStep) {
    path.resize(size);
    SetLastError(0);
    const DWORD length = GetModuleFileNameW(nullptr, &path[0], size);
    context->LastWindowsError = GetLastError();
    if (context->LastWindowsError == ERROR_INSUFFICIENT_BUFFER) continue;
    if (context->LastWindowsError != 0) return kStatusExePathFailed;
    return Var_StoreUnicodeString(context, reference,
                                  reinterpret_cast<const char16_t*>(path.c_str()), length);
  }
  return kStatusExePathFailed;
}
