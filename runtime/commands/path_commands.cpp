// Paths as texts: split a path into its name, folder, base name and
// extension, build one from those parts, and name the entries of the
// special-folder table. None of these touch the file system, so they run in
// every build.
#include <cstdint>
#include <string>

#include "base/status.h"
#include "runtime/commands/commands.h"
#include "runtime/commands/special_folders.h"
#include "runtime/core/fetch.h"
#include "runtime/core/variables.h"
#include "runtime/values/block.h"
#include "runtime/values/text.h"

const TSpecialFolder kSpecialFolders[kSpecialFolderCount] = {
    {u"WINDOWS", 36},
    {u"WINDIR", 36},
    {u"SYSTEM ROOT", 36},
    {u"SYSTEM", 37},
    {u"SYSTEM X86", 41},
    {u"PROGRAM FILES", 38},
    {u"PROGRAM FILES X86", 42},
    {u"COMMON PROGRAM FILES", 43},
    {u"COMMON PROGRAM FILES X86", 44},
    {u"RESOURCES", 56},
    {u"RESOURCES LOCALIZED", 57},
    {u"STARTUP", 7},
    {u"COMMON STARTUP", 24},
    {u"ALT STARTUP", 29},
    {u"COMMON ALT STARTUP", 30},
    {u"DESKTOP", 0},
    {u"DESKTOP DIRECTORY", 16},
    {u"COMMON DESKTOP DIRECTORY", 25},
    {u"FONTS", 20},
    {u"BIT BUCKET", 10},
    {u"CD BURN AREA", 59},
    {u"ADMIN TOOLS", 48},
    {u"COMMON ADMIN TOOLS", 47},
    {u"DRIVES", 17},
    {u"COMPUTERS NEAR ME", 61},
    {u"CONNECTIONS", 49},
    {u"NETHOOD", 19},
    {u"NETWORK", 18},
    {u"PRINTERS", 4},
    {u"PRINTHOOD", 27},
    {u"PROFILE", 40},
    {u"APPDATA", 26},
    {u"LOCAL APPDATA", 28},
    {u"COMMON APPDATA", 35},
    {u"HISTORY", 34},
    {u"INTERNET", 1},
    {u"INTERNET CACHE", 32},
    {u"COOKIES", 33},
    {u"PERSONAL", 5},
    {u"MY DOCUMENTS", 12},
    {u"COMMON DOCUMENTS", 46},
    {u"PROGRAMS", 2},
    {u"COMMON PROGRAMS", 23},
    {u"START MENU", 11},
    {u"COMMON START MENU", 22},
    {u"RECENT", 8},
    {u"FAVORITES", 6},
    {u"COMMON FAVORITES", 31},
    {u"CONTROLS", 3},
    {u"TEMPLATES", 21},
    {u"COMMON TEMPLATES", 45},
    {u"MY MUSIC", 13},
    {u"COMMON MUSIC", 53},
    {u"SAMPLE MUSIC", 64},
    {u"MY PICTURES", 39},
    {u"COMMON PICTURES", 54},
    {u"SAMPLE PICTURES", 66},
    {u"MY VIDEO", 14},
    {u"COMMON VIDEO", 55},
    {u"SAMPLE VIDEO", 67},
    {u"PHOTO ALBUMS", 69},
    {u"PLAYLISTS", 63},
    {u"SAMPLE PLAYLISTS", 65},
    {u"SEND TO", 9},
};

int32_t FindSpecialFolder(const char16_t* name, uint32_t length) {
  for (uint32_t i = 0; i < kSpecialFolderCount; ++i) {
    const std::u16string_view entry(kSpecialFolders[i].Name);
    if (USTR_CompareNoCase(entry.data(), uint32_t(entry.size()), name, length) == 0) {
      return int32_t(i);
    }
  }
  return -1;
}

namespace {

bool IsSeparator(char16_t unit) {
  return unit == u'\\' || unit == u'/';
}

// Where the parts of a path begin: the name after the last separator, and
// the extension after the last dot of the name unless that dot starts it.
struct TPathParts {
  size_t NameStart;
  size_t ExtensionDot;  // npos: no extension
};

TPathParts FindPathParts(const std::u16string& path) {
  TPathParts parts{0, std::u16string::npos};
  size_t lastDot = std::u16string::npos;
  for (size_t i = path.size(); i > 0; --i) {
    const char16_t unit = path[i - 1];
    if (IsSeparator(unit)) {
      parts.NameStart = i;
      break;
    }
    if (unit == u'.' && lastDot == std::u16string::npos) lastDot = i - 1;
  }
  if (lastDot != std::u16string::npos && lastDot != parts.NameStart) parts.ExtensionDot = lastDot;
  return parts;
}

}  // namespace

TStatus CmdPathSplit(TScriptContext* context) {
  uint32_t pathVar;
  if (FetchRequiredDWORD(context, &pathVar) != kStatusOk) return kStatusBadParam;
  uint32_t outputs[4];
  bool given[4];
  for (int i = 0; i < 4; ++i) {
    TFetchStatus status;
    outputs[i] = FetchDWORD(context, &status, 0);
    if (status == kFetchUnusable) return kStatusBadParam;
    given[i] = status == kFetchValue;
  }
  const TZorvatVariable* v = ResolveVar(context, pathVar);
  if (v == nullptr) return kStatusNoSuchVariable;
  if (v->VarType != vtUnicodeString) return kStatusWrongKind;
  // A copy: an output variable may be the path variable itself, and every
  // part must come from the path as it was.
  const std::u16string path = USTR_ToNative(v->UA);
  const TPathParts parts = FindPathParts(path);
  const size_t end = path.size();
  const size_t baseEnd = parts.ExtensionDot == std::u16string::npos ? end : parts.ExtensionDot;
  const size_t extensionStart = parts.ExtensionDot == std::u16string::npos ? end : baseEnd + 1;
  const size_t ranges[4][2] = {
      {parts.NameStart, end},      // name
      {0, parts.NameStart},        // folder with its separator
      {parts.NameStart, baseEnd},  // base name
      {extensionStart, end},       // extension
  };
  // Every part is built before the first is stored, so that a part that
  // cannot be allocated leaves all the outputs as they were.
  PArrayHeader texts[4] = {};
  for (int i = 0; i < 4; ++i) {
    if (!given[i]) continue;
    texts[i] = USTR_FromBuffer(path.data() + ranges[i][0], uint32_t(ranges[i][1] - ranges[i][0]));
    if (texts[i] == nullptr) {
      for (PArrayHeader& text : texts) UA_Free(&text);
      return kStatusOutOfMemory;
    }
  }
  TStatus status = kStatusOk;
  for (int i = 0; i < 4; ++i) {
    if (!given[i]) continue;
    if (status == kStatusOk) status = StoreArrayRef(context, outputs[i], texts[i], vtUnicodeString);
    if (status != kStatusOk) UA_Free(&texts[i]);
  }
  return status;
}

TStatus CmdPathBuild(TScriptContext* context) {
  uint32_t result;
  if (FetchRequiredDWORD(context, &result) != kStatusOk) return kStatusBadParam;
  TFetchedText parts[3];  // folder, name, extension
  for (TFetchedText& part : parts) {
    if (part.Fetch(context) == kFetchUnusable) return kStatusBadParam;
  }
  const std::u16string folder = USTR_ToNative(parts[0].Get());
  const std::u16string name = USTR_ToNative(parts[1].Get());
  const std::u16string extension = USTR_ToNative(parts[2].Get());
  if (name.empty()) return kStatusEmptyPathName;
  std::u16string path = folder;
  if (!folder.empty() && !IsSeparator(folder.back())) path += u'\\';
  path += name;
  if (!extension.empty()) path += u'.' + extension;
  return Var_StoreUnicodeString(context, result, path.data(), uint32_t(path.size()));
}

TStatus CmdSpecialFolderGetName(TScriptContext* context) {
  TFetchStatus status;
  const uint32_t index = FetchDWORD(context, &status, 0);
  if (status == kFetchEnd) return kStatusBadVarKindForNumber;
  if (status == kFetchUnusable) return kStatusBadParam;
  uint32_t result;
  if (FetchRequiredDWORD(context, &result) != kStatusOk) return kStatusBadParam;
  if (index >= kSpecialFolderCount) return Var_StoreBinBlock(context, result, nullptr, 0);
  const std::u16string_view name(kSpecialFolders[index].Name);
  return Var_StoreUnicodeString(context, result, name.data(), uint32_t(name.size()));
}
