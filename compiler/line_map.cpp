#include "compiler/line_map.h"

#include <cinttypes>
#include <cstdarg>
#include <cstdio>
#include <string>

#include "base/platform.h"
#include "base/utf8.h"
#include "compiler/compiler_work.h"
#include "compiler/image_writer.h"

namespace {

// Counts the image's bytes and keeps its last twelve: the checksum and the
// length field, which identify the image the map belongs to.
struct TImageTail {
  uint32_t Length;
  uint8_t Last[12];
};

bool KeepTail(void* context, const void* bytes, uint32_t length) {
  TImageTail* tail = static_cast<TImageTail*>(context);
  const uint8_t* b = static_cast<const uint8_t*>(bytes);
  for (uint32_t i = 0; i < length; ++i) {
    for (int k = 0; k < 11; ++k) tail->Last[k] = tail->Last[k + 1];
    tail->Last[11] = b[i];
  }
  tail->Length += length;
  return true;
}

void AppendFormat(std::string& out, const char* format, ...) __attribute__((format(printf, 2, 3)));
void AppendFormat(std::string& out, const char* format, ...) {
  char buffer[64];
  va_list args;
  va_start(args, format);
  std::vsnprintf(buffer, sizeof buffer, format, args);
  va_end(args);
  out += buffer;
}

}  // namespace

void NoteCompiledLine(TRawScript* raw, uint32_t scriptLine, uint32_t section, uint32_t sizeBefore) {
  if (section >= raw->Sections.Count) return;
  const TCompSection& s = raw->Sections.Items[section];
  if ((s.Flags & kCodeSectionFlag) == 0 || s.Size <= sizeBefore) return;
  *GrowArrayPush(EnsureWork(raw)->LineMap) = {section, sizeBefore, scriptLine};
}

bool SaveLineMap(const TRawScript* raw, const char16_t* sourcePath, const char16_t* mapPath) {
  if (raw->CompilingResult != 0) return false;
  TImageTail tail{};
  if (!WriteCompiledImage(raw, KeepTail, &tail)) return false;
  uint64_t checksum = 0;
  for (int i = 7; i >= 0; --i) checksum = (checksum << 8) | tail.Last[i];

  std::string text = "zorvat line map 1\n";
  AppendFormat(text, "image %u %016" PRIX64 "\n", tail.Length, checksum);
  text += "module 0 ";
  AppendUtf8(text, sourcePath);
  text += '\n';
  for (uint32_t m = 0; m < raw->ScriptModules.Count; ++m) {
    AppendFormat(text, "module %u ", m + 1);
    AppendUtf8(text, TextZ(raw->ScriptModules.Items[m]));
    text += '\n';
  }
  if (raw->Work != nullptr) {
    const TGrowArray<TLineMapEntry>& map = raw->Work->LineMap;
    for (uint32_t i = 0; i < map.Count; ++i) {
      const TLineMapEntry& e = map.Items[i];
      TOneScriptLine origin = LineOrigin(raw, int32_t(e.ScriptLine));
      const uint32_t module = origin.ModuleIndex < 0 ? 0 : uint32_t(origin.ModuleIndex) + 1;
      AppendFormat(text, "%X %u %u\n",
                   raw->Sections.Items[e.Section].OffsetInFile + e.OffsetInSection, module,
                   origin.LineNumber);
    }
  }
  TPlatformFile file = PlatformOpenWrite(mapPath, false);
  if (file == nullptr) return false;
  bool written = PlatformWrite(file, text.data(), uint32_t(text.size()));
  PlatformClose(file);
  return written;
}
