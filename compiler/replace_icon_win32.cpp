#include "compiler/replace_icon_win32.h"

#include <windows.h>

#include <cstdlib>

#include "base/platform.h"
#include "compiler/icon_file.h"

namespace {

const WORD kNeutral = MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL);
constexpr uint32_t kRunnerIconImages = 4;
const wchar_t kMainIcon[] = L"MAINICON";

LPCWSTR Wide(const char16_t* text) {
  return reinterpret_cast<LPCWSTR>(text);
}

bool IsType(LPCWSTR type, LPCWSTR wanted) {
  return IS_INTRESOURCE(type) &&
         LOWORD(reinterpret_cast<ULONG_PTR>(type)) == LOWORD(reinterpret_cast<ULONG_PTR>(wanted));
}

// The runner's icon: its group and its images 1 to 4, language neutral. The
// new icon takes their place; those of its images that it does not replace
// must not stay behind, unreferenced.
bool IsRunnerIcon(LPCWSTR type, LPCWSTR name, WORD language) {
  if (language != kNeutral) return false;
  if (IsType(type, RT_GROUP_ICON)) return !IS_INTRESOURCE(name) && lstrcmpiW(name, kMainIcon) == 0;
  if (!IsType(type, RT_ICON) || !IS_INTRESOURCE(name)) return false;
  const WORD id = LOWORD(reinterpret_cast<ULONG_PTR>(name));
  return id >= 1 && id <= kRunnerIconImages;
}

struct TResourceCopy {
  HMODULE Source;
  HANDLE Update;
  bool Copied;
};

BOOL CALLBACK CopyLanguage(HMODULE, LPCWSTR type, LPCWSTR name, WORD language, LONG_PTR param) {
  TResourceCopy& copy = *reinterpret_cast<TResourceCopy*>(param);
  if (IsRunnerIcon(type, name, language)) return TRUE;
  HRSRC found = FindResourceExW(copy.Source, type, name, language);
  HGLOBAL loaded = found != nullptr ? LoadResource(copy.Source, found) : nullptr;
  void* data = loaded != nullptr ? LockResource(loaded) : nullptr;
  copy.Copied = data != nullptr && UpdateResourceW(copy.Update, type, name, language, data,
                                                   SizeofResource(copy.Source, found));
  return copy.Copied;
}

BOOL CALLBACK CopyName(HMODULE module, LPCWSTR type, LPWSTR name, LONG_PTR param) {
  EnumResourceLanguagesW(module, type, name, CopyLanguage, param);
  return reinterpret_cast<TResourceCopy*>(param)->Copied;
}

BOOL CALLBACK CopyType(HMODULE module, LPWSTR type, LONG_PTR param) {
  EnumResourceNamesW(module, type, CopyName, param);
  return reinterpret_cast<TResourceCopy*>(param)->Copied;
}

// Queues every resource of the executable except the runner's icon. The
// update then starts from an empty resource section: deleting a resource
// from an update that keeps the existing ones is lost on some systems, which
// merge the file's resources back in when the update is committed.
bool CopyOtherResources(const char16_t* exePath, HANDLE update) {
  HMODULE source = LoadLibraryExW(Wide(exePath), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  if (source == nullptr) return false;
  TResourceCopy copy{source, update, true};
  EnumResourceTypesW(source, CopyType, reinterpret_cast<LONG_PTR>(&copy));
  // The file must not stay mapped: committing the update rewrites it.
  FreeLibrary(source);
  return copy.Copied;
}

// After the first image that cannot be written no further one is tried.
bool WriteImages(HANDLE update, const TIconList& icons) {
  for (uint32_t i = 0; i < icons.Count; ++i) {
    const TOneIconInfo& image = icons.Images[i];
    if (!UpdateResourceW(update, RT_ICON, MAKEINTRESOURCEW(i + 1), kNeutral,
                         const_cast<uint8_t*>(image.DataPtr), image.DataSize)) {
      return false;
    }
  }
  return true;
}

bool WriteGroup(HANDLE update, TIconResources& icon) {
  return UpdateResourceW(update, RT_GROUP_ICON, kMainIcon, kNeutral, icon.Group, icon.GroupSize);
}

bool UpdateExecutable(const char16_t* exePath, TIconResources& icon) {
  HANDLE update = BeginUpdateResourceW(Wide(exePath), TRUE);
  if (update == nullptr) return false;
  // The group goes last, once every image it refers to is in place.
  bool written = CopyOtherResources(exePath, update) && WriteImages(update, icon.Icons) &&
                 WriteGroup(update, icon);
  // A discarded update leaves the file as it was; only a commit changes it.
  return EndUpdateResourceW(update, !written) && written;
}

// The icon file's bytes in a buffer of their own (free with std::free); null
// when the file cannot be opened or read whole, or when no buffer of its size
// can be had: a file named by mistake fails the icon, not the host.
uint8_t* ReadWholeFile(const char16_t* path, uint32_t* length) {
  TPlatformFile file = PlatformOpenRead(path);
  if (file == nullptr) return nullptr;
  uint64_t size = 0;
  uint8_t* bytes = nullptr;
  if (PlatformFileSize(file, &size) && size <= 0xFFFFFFFFu) {
    bytes = static_cast<uint8_t*>(std::malloc(size > 0 ? size_t(size) : 1));
  }
  uint32_t got = 0;
  if (bytes != nullptr && !(PlatformReadAt(file, 0, bytes, uint32_t(size), &got) && got == size)) {
    std::free(bytes);
    bytes = nullptr;
  }
  PlatformClose(file);
  *length = got;
  return bytes;
}

}  // namespace

bool ReplaceIconFromFile(const char16_t* exePath, const char16_t* iconPath) {
  uint32_t length = 0;
  uint8_t* bytes = ReadWholeFile(iconPath, &length);
  if (bytes == nullptr) return false;
  bool replaced = ReplaceIcon(exePath, bytes, length);
  std::free(bytes);
  return replaced;
}

bool ReplaceIcon(const char16_t* exePath, const uint8_t* iconFile, uint32_t length) {
  TIconResources icon;
  return ReadIconFile(iconFile, length, &icon) && UpdateExecutable(exePath, icon);
}
