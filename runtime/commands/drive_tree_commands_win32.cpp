// Whole directory trees: search a tree into parallel result lists, delete a
// tree, copy a tree and move one. The walks keep one path buffer that grows
// and shrinks as they go down and up, and one find-data record for the whole
// walk, so a deep tree costs little stack and no allocation per entry.
//
// The IgnoreSymlinks setting stops every walk at folders that are reparse
// points (links and junctions): they are neither searched nor descended into.
#include <windows.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "base/status.h"
#include "runtime/commands/commands.h"
#include "runtime/commands/file_paths_win32.h"
#include "runtime/commands/optional_results.h"
#include "runtime/core/fetch.h"
#include "runtime/core/variables.h"
#include "runtime/values/list.h"
#include "runtime/values/text.h"
#include "runtime/values/unified_array.h"

namespace {

bool IsDotEntry(const wchar_t* name) {
  return name[0] == L'.' && (name[1] == 0 || (name[1] == L'.' && name[2] == 0));
}

bool IsFolder(DWORD attributes) {
  return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// A folder the walks do not enter while IgnoreSymlinks is set.
bool IsSkippedLink(const TScriptContext* context, DWORD attributes) {
  return context->IgnoreSymlinks != 0 && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

// ---- Search ----

// The result lists in parameter order after the start folder (the flag
// that chooses full paths stands between the names and the sizes).
enum TSearchList { kNames, kSizes, kAttributes, kLevels, kCreation, kAccess, kWrite, kListCount };

struct TSearch {
  const TScriptContext* Context;
  bool IncludeFiles;
  bool FullPaths;
  uint32_t MaxDepth;
  TOptionalResult Lists[kListCount];
  PArrayHeader Names = nullptr;
  std::vector<int64_t> Sizes, Creation, Access, Write;
  std::vector<uint32_t> Attributes, Levels;
  std::wstring Path;  // the folder being listed, without a trailing separator
  std::wstring Name;  // scratch for full names
  WIN32_FIND_DATAW Data;
};

bool Wants(const TSearch& s, TSearchList list) {
  return s.Lists[list].Given;
}

// Appends the entry in s.Data to every requested list. False when the name
// list cannot grow.
bool RecordEntry(TSearch* s, uint32_t level) {
  const WIN32_FIND_DATAW& d = s->Data;
  if (Wants(*s, kNames)) {
    const wchar_t* name = d.cFileName;
    if (s->FullPaths) {
      s->Name.assign(s->Path).append(1, L'\\').append(d.cFileName);
      name = s->Name.c_str();
    }
    if (UStrL_AddBuffer(&s->Names, reinterpret_cast<const char16_t*>(name), -1) != kStatusOk) {
      return false;
    }
  }
  if (Wants(*s, kSizes)) {
    s->Sizes.push_back(int64_t((uint64_t(d.nFileSizeHigh) << 32) | d.nFileSizeLow));
  }
  if (Wants(*s, kAttributes)) s->Attributes.push_back(d.dwFileAttributes);
  if (Wants(*s, kLevels)) s->Levels.push_back(level);
  if (Wants(*s, kCreation)) s->Creation.push_back(FileTimeValue(d.ftCreationTime));
  if (Wants(*s, kAccess)) s->Access.push_back(FileTimeValue(d.ftLastAccessTime));
  if (Wants(*s, kWrite)) s->Write.push_back(FileTimeValue(d.ftLastWriteTime));
  return true;
}

// Opens the listing of s.Path; its first entry lands in s.Data. No search
// reports short names, so the listing skips them (making them up is a large
// part of the cost on some file systems), and fetches entries in large runs.
HANDLE OpenListing(TSearch* s) {
  s->Path.append(L"\\*");
  const HANDLE find = FindFirstFileExW(s->Path.c_str(), FindExInfoBasic, &s->Data,
                                       FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH);
  s->Path.resize(s->Path.size() - 2);
  return find;
}

// The open listings of a walk, closed on every way out.
struct TOpenListings {
  struct TLevel {
    HANDLE Find;
    size_t PathLength;
  };
  std::vector<TLevel> Levels;
  ~TOpenListings() {
    for (const TLevel& level : Levels) FindClose(level.Find);
  }
};

// Depth first, each folder recorded before its contents. Walks with an
// explicit stack of open listings rather than recursion, so that no tree
// depth can exhaust the thread's stack.
TStatus WalkTree(TSearch* s) {
  TOpenListings open;
  HANDLE find = OpenListing(s);
  if (find == INVALID_HANDLE_VALUE) return kStatusSearchStartFailed;
  open.Levels.push_back({find, s->Path.size()});
  bool entryWaiting = true;  // FindFirstFileW has filled s->Data already
  while (!open.Levels.empty()) {
    if (!entryWaiting && !FindNextFileW(open.Levels.back().Find, &s->Data)) {
      FindClose(open.Levels.back().Find);
      open.Levels.pop_back();
      if (!open.Levels.empty()) s->Path.resize(open.Levels.back().PathLength);
      continue;
    }
    entryWaiting = false;
    if (IsDotEntry(s->Data.cFileName)) continue;
    const DWORD attributes = s->Data.dwFileAttributes;
    const uint32_t level = uint32_t(open.Levels.size());
    if ((IsFolder(attributes) || s->IncludeFiles) && !RecordEntry(s, level)) {
      return kStatusOutOfMemory;
    }
    if (!IsFolder(attributes) || level >= s->MaxDepth || IsSkippedLink(s->Context, attributes)) {
      continue;
    }
    const size_t parentLength = s->Path.size();
    s->Path.append(1, L'\\').append(s->Data.cFileName);
    find = s->Path.size() <= kMaxPathUnits ? OpenListing(s) : INVALID_HANDLE_VALUE;
    if (find == INVALID_HANDLE_VALUE) {
      s->Path.resize(parentLength);  // a folder that cannot be listed is skipped
      continue;
    }
    open.Levels.push_back({find, s->Path.size()});
    entryWaiting = true;
  }
  return kStatusOk;
}

template <typename T>
PArrayHeader ArrayOf(const std::vector<T>& items) {
  PArrayHeader array = UA_New(uint32_t(items.size()), sizeof(T));
  if (array != nullptr && !items.empty()) {
    std::memcpy(UA_Data(array), items.data(), items.size() * sizeof(T));
  }
  return array;
}

// Builds every requested list first and stores them only when all exist,
// so that a failure leaves every variable as it was.
TStatus StoreSearchLists(TScriptContext* context, TSearch* s) {
  if (s->Names == nullptr) s->Names = xL_New();
  PArrayHeader arrays[kListCount] = {
      s->Names,
      Wants(*s, kSizes) ? ArrayOf(s->Sizes) : nullptr,
      Wants(*s, kAttributes) ? ArrayOf(s->Attributes) : nullptr,
      Wants(*s, kLevels) ? ArrayOf(s->Levels) : nullptr,
      Wants(*s, kCreation) ? ArrayOf(s->Creation) : nullptr,
      Wants(*s, kAccess) ? ArrayOf(s->Access) : nullptr,
      Wants(*s, kWrite) ? ArrayOf(s->Write) : nullptr,
  };
  s->Names = nullptr;
  constexpr TVarType kKinds[kListCount] = {vtUnicodeStringList, vtIntArray, vtDWORDArray,
                                           vtDWORDArray,        vtIntArray, vtIntArray,
                                           vtIntArray};
  bool complete = true;
  for (int i = 0; i < kListCount; ++i) {
    if (Wants(*s, TSearchList(i)) && arrays[i] == nullptr) complete = false;
  }
  for (int i = 0; i < kListCount; ++i) {
    if (complete && Wants(*s, TSearchList(i)) &&
        StoreArrayRef(context, s->Lists[i].Reference, arrays[i], kKinds[i]) == kStatusOk) {
      continue;
    }
    if (i == kNames) {
      xL_Free(&arrays[i]);
    } else {
      UA_Free(&arrays[i]);
    }
  }
  return complete ? kStatusOk : kStatusOutOfMemory;
}

// Codes 227 and 228.
TStatus Search(TScriptContext* context, bool includeFiles) {
  TFetchedPath start;
  TStatus status = start.Fetch(context);
  TSearch s;
  s.Context = context;
  s.IncludeFiles = includeFiles;
  TFetchStatus fetched;
  if (status == kStatusOk) status = FetchOptionalResult(context, &s.Lists[kNames]);
  s.FullPaths = FetchDWORD(context, &fetched, 1) != 0;
  if (status == kStatusOk && fetched == kFetchUnusable) status = kStatusBadParam;
  for (int i = kSizes; status == kStatusOk && i < kListCount; ++i) {
    status = FetchOptionalResult(context, &s.Lists[i]);
  }
  s.MaxDepth = FetchDWORD(context, &fetched, 255);
  if (status == kStatusOk && fetched == kFetchUnusable) status = kStatusBadParam;
  if (status != kStatusOk) return status;
  for (const TOptionalResult& list : s.Lists) {
    if (list.Given && ResolveVar(context, list.Reference) == nullptr) return kStatusNoSuchVariable;
  }
  if (!start.Usable()) return kStatusSearchStartFailed;
  s.Path.assign(start.Get(), start.Length());
  if (!s.Path.empty() && (s.Path.back() == L'\\' || s.Path.back() == L'/')) s.Path.pop_back();
  status = WalkTree(&s);
  if (status == kStatusOk) return StoreSearchLists(context, &s);
  xL_Free(&s.Names);
  return status;
}

// ---- Delete ----

struct TTreeDelete {
  const TScriptContext* Context;
  bool Descend;
  bool Contents;
  bool Force;
  WIN32_FIND_DATAW Data;
};

// Deletes `folder` (with its trailing backslash) as the flags say and
// returns the platform error of the last call that failed, or 0. The
// buffer is restored before returning.
DWORD DeleteTree(TTreeDelete* d, std::wstring& folder) {
  if (folder.size() > kMaxPathUnits) return ERROR_FILENAME_EXCED_RANGE;
  if (d->Contents) {
    folder.append(1, L'*');
    const HANDLE find = FindFirstFileW(folder.c_str(), &d->Data);
    folder.pop_back();
    if (find == INVALID_HANDLE_VALUE) return GetLastError();
    do {
      if (IsDotEntry(d->Data.cFileName)) continue;
      const DWORD attributes = d->Data.dwFileAttributes;
      const size_t length = folder.size();
      folder.append(d->Data.cFileName);
      if (IsFolder(attributes)) {
        if (d->Descend && !IsSkippedLink(d->Context, attributes)) {
          folder.append(1, L'\\');
          DeleteTree(d, folder);  // what stays makes the removal below fail
        }
      } else {
        if (d->Force) SetFileAttributesW(folder.c_str(), FILE_ATTRIBUTE_ARCHIVE);
        DeleteFileW(folder.c_str());
      }
      folder.resize(length);
    } while (FindNextFileW(find, &d->Data));
    FindClose(find);
  }
  if (RemoveDirectoryW(folder.c_str())) return ERROR_SUCCESS;
  DWORD error = GetLastError();
  if (d->Force) {
    const DWORD attributes = GetFileAttributesW(folder.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES &&
        SetFileAttributesW(folder.c_str(), attributes & ~DWORD(FILE_ATTRIBUTE_READONLY)) &&
        RemoveDirectoryW(folder.c_str())) {
      return ERROR_SUCCESS;
    }
    error = GetLastError();
  }
  return error;
}

// ---- Copy and move ----

struct TTreeCopy {
  const TScriptContext* Context;
  SECURITY_ATTRIBUTES* Security;
  bool Move;
  uint32_t Errors = 0;
  WIN32_FIND_DATAW Data;
};

void CopyEntry(TTreeCopy* t, std::wstring& source, std::wstring& target, DWORD attributes);

// Copies the tree `source` into `target` (both with their trailing
// backslash), counting the errors; the first error ends the walk. Moving
// deletes each source file only once its copy stands.
void CopyTree(TTreeCopy* t, std::wstring& source, std::wstring& target) {
  if (source.size() > kMaxPathUnits || target.size() > kMaxPathUnits) {
    ++t->Errors;
    return;
  }
  if (!CreateDirectoryW(target.c_str(), t->Security) && GetLastError() != ERROR_ALREADY_EXISTS) {
    ++t->Errors;
    return;
  }
  source.append(1, L'*');
  const HANDLE find = FindFirstFileW(source.c_str(), &t->Data);
  source.pop_back();
  if (find == INVALID_HANDLE_VALUE) {
    ++t->Errors;
    return;
  }
  do {
    if (IsDotEntry(t->Data.cFileName)) continue;
    const size_t sourceLength = source.size();
    const size_t targetLength = target.size();
    source.append(t->Data.cFileName);
    target.append(t->Data.cFileName);
    CopyEntry(t, source, target, t->Data.dwFileAttributes);
    source.resize(sourceLength);
    target.resize(targetLength);
  } while (t->Errors == 0 && FindNextFileW(find, &t->Data));
  FindClose(find);
  if (!t->Move || t->Errors != 0) return;
  if (RemoveDirectoryW(source.c_str())) return;
  SetFileAttributesW(source.c_str(), FILE_ATTRIBUTE_ARCHIVE);
  if (!RemoveDirectoryW(source.c_str())) ++t->Errors;
}

void CopyEntry(TTreeCopy* t, std::wstring& source, std::wstring& target, DWORD attributes) {
  if (IsFolder(attributes) && !IsSkippedLink(t->Context, attributes)) {
    source.append(1, L'\\');
    target.append(1, L'\\');
    CopyTree(t, source, target);
    return;
  }
  if (!CopyFileW(source.c_str(), target.c_str(), FALSE)) {
    ++t->Errors;  // and the source stays where it is
    return;
  }
  if (!t->Move) return;
  SetFileAttributesW(source.c_str(), FILE_ATTRIBUTE_ARCHIVE);
  if (!DeleteFileW(source.c_str())) ++t->Errors;
}

std::wstring WithBackslash(const TFetchedPath& path) {
  std::wstring folder(path.Get(), path.Length());
  if (folder.empty() || (folder.back() != L'\\' && folder.back() != L'/')) folder.append(1, L'\\');
  return folder;
}

std::wstring FullPath(const std::wstring& path) {
  const DWORD length = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
  if (length == 0) return std::wstring();
  std::wstring full(length, L'\0');
  const DWORD written = GetFullPathNameW(path.c_str(), length, full.data(), nullptr);
  full.resize(written < length ? written : 0);
  for (wchar_t& unit : full) {
    if (unit == L'/') unit = L'\\';
  }
  return full;
}

// Whether the target lies in the source tree or is the source itself: a
// copy would then walk into what it has just written and never end, and a
// move would delete what it copied.
bool TargetInsideSource(const std::wstring& source, const std::wstring& target) {
  const std::wstring fullSource = FullPath(source);
  const std::wstring fullTarget = FullPath(target);
  if (fullSource.empty() || fullTarget.empty()) return true;
  return fullTarget.size() >= fullSource.size() &&
         CompareStringOrdinal(fullTarget.c_str(), int(fullSource.size()), fullSource.c_str(),
                              int(fullSource.size()), TRUE) == CSTR_EQUAL;
}

// Codes 249 and 247.
TStatus CopyOrMoveTree(TScriptContext* context, bool move) {
  TFetchedPath sourcePath, targetPath;
  TStatus status = sourcePath.Fetch(context);
  if (status == kStatusOk) status = targetPath.Fetch(context);
  if (status != kStatusOk) return status;
  if (!sourcePath.Usable() || !targetPath.Usable()) return kStatusTreeCopyErrors;
  std::wstring source = WithBackslash(sourcePath);
  std::wstring target = WithBackslash(targetPath);
  // Refused before anything is created: a missing source, and a target
  // inside the source.
  const DWORD attributes = GetFileAttributesW(source.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || !IsFolder(attributes)) return kStatusTreeCopyErrors;
  if (TargetInsideSource(source, target)) return kStatusTreeCopyErrors;
  TTreeCopy t;
  t.Context = context;
  t.Security = static_cast<SECURITY_ATTRIBUTES*>(context->SecurityAttributes);
  t.Move = move;
  CopyTree(&t, source, target);
  return t.Errors == 0 ? kStatusOk : kStatusTreeCopyErrors;
}

}  // namespace

TStatus CmdFolderSearch(TScriptContext* context) {
  return Search(context, false);
}

TStatus CmdFileSearch(TScriptContext* context) {
  return Search(context, true);
}

TStatus CmdFolderDelete(TScriptContext* context) {
  TFetchedPath path;
  TStatus status = path.Fetch(context);
  TFetchStatus fetched;
  const uint32_t flags = FetchDWORD(context, &fetched, 7);
  if (status == kStatusOk && fetched == kFetchUnusable) status = kStatusBadParam;
  if (status != kStatusOk) return status;
  DWORD error = ERROR_FILENAME_EXCED_RANGE;
  if (path.Usable() && !path.Empty()) {
    TTreeDelete d;
    d.Context = context;
    d.Descend = (flags & 1) != 0;
    d.Contents = (flags & 2) != 0;
    d.Force = (flags & 4) != 0;
    std::wstring folder = WithBackslash(path);
    error = DeleteTree(&d, folder);
  } else if (path.Empty()) {
    error = ERROR_PATH_NOT_FOUND;
  }
  context->LastWindowsError = error;
  return error == ERROR_SUCCESS ? kStatusOk : kStatusTreeDeleteFailed;
}

TStatus CmdFolderCopy(TScriptContext* context) {
  return CopyOrMoveTree(context, false);
}

TStatus CmdFolderMove(TScriptContext* context) {
  return CopyOrMoveTree(context, true);
}
