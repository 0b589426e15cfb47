#include "compiler/sections.h"

#include <cstdlib>
#include <cstring>

#include "base/fatal.h"
#include "compiler/compile_codes.h"
#include "compiler/compiler_work.h"
#include "compiler/keywords.h"

namespace {

constexpr uint64_t kBufferStep = 4096;

// Brings the name index up to date with sections added since the last look.
void IndexSections(TRawScript* raw, TCompilerWork* work) {
  for (; work->IndexedSections < raw->Sections.Count; ++work->IndexedSections) {
    const TCompilerAnsiText& name = raw->Sections.Items[work->IndexedSections].SectionName;
    HashIndexInsert(work->SectionNames, HashBytes(name.Items, name.Count), work->IndexedSections);
  }
}

bool IsReservedName(const TCompilerAnsiText& name) {
  if (name.Count != 3) return false;
  char upper[3];
  for (int i = 0; i < 3; ++i) {
    char c = name.Items[i];
    upper[i] = c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c;
  }
  return std::memcmp(upper, "LDS", 3) == 0 || std::memcmp(upper, "JTS", 3) == 0;
}

void FreeSection(TCompSection& section) {
  std::free(section.Ptr);
  AnsiFree(section.SectionName);
  TextListFree(section.Labels);
  GrowArrayFree(section.LabelsInfo);
}

}  // namespace

int32_t FindSection(TRawScript* raw, const char* name, uint32_t length) {
  TCompilerWork* work = EnsureWork(raw);
  IndexSections(raw, work);
  const uint32_t* found =
      HashIndexFind(work->SectionNames, HashBytes(name, length), [&](uint32_t index) {
        const TCompilerAnsiText& n = raw->Sections.Items[index].SectionName;
        return n.Count == length && std::memcmp(n.Items, name, length) == 0;
      });
  return found != nullptr ? int32_t(*found) : -1;
}

bool AddSection(TRawScript* raw, const char* name, uint32_t length, uint32_t flags) {
  if (FindSection(raw, name, length) >= 0) return false;
  TCompSection* section = GrowArrayPush(raw->Sections);
  AnsiAssign(section->SectionName, name, length);
  section->Flags = flags;
  raw->CurrentSection = raw->Sections.Count - 1;
  return true;
}

bool AppendBytes(TCompSection& section, const void* bytes, uint32_t length) {
  const uint64_t needed = uint64_t(section.Size) + length;
  if (needed > 0xFFFFFFFFu) return false;
  if (needed > section.BufSize) {
    uint64_t capacity = uint64_t(section.BufSize) * 2;
    if (capacity < needed) capacity = needed;
    capacity = (capacity + kBufferStep - 1) / kBufferStep * kBufferStep;
    if (capacity > 0xFFFFFFFFu) capacity = 0xFFFFFFFFu;
    void* buffer = std::realloc(section.Ptr, size_t(capacity));
    if (buffer == nullptr) FatalOutOfMemory();
    section.Ptr = static_cast<uint8_t*>(buffer);
    section.BufSize = uint32_t(capacity);
  }
  if (length > 0) std::memcpy(section.Ptr + section.Size, bytes, length);
  section.Size = uint32_t(needed);
  return true;
}

void EmitBytesGrowing(TRawScript* raw, const void* bytes, uint32_t length) {
  if (!AppendBytes(CurrentSection(raw), bytes, length)) EnsureWork(raw)->ImageTooLarge = true;
}

uint32_t DeclareSection(TRawScript* raw, TTextSpan kindWord, TTextSpan name) {
  uint32_t flags;
  if (KeywordEquals(kindWord, kKeywordCode)) {
    flags = kCodeSectionFlag;
  } else if (KeywordEquals(kindWord, kKeywordData)) {
    flags = 0;
  } else {
    return kCompileBadSectionDeclaration;
  }
  TCompilerAnsiText ansi{};
  AnsiFromSpan(ansi, name);
  uint32_t result = kCompileOk;
  // The image's directory ends a name at its first zero byte: a name that
  // holds one would be written as an image the runtime refuses to load.
  if (std::memchr(ansi.Items, 0, ansi.Count) != nullptr) {
    result = kCompileBadSectionDeclaration;
  } else if (IsReservedName(ansi)) {
    result = kCompileReservedSection;
  } else if (int32_t index = FindSection(raw, ansi.Items, ansi.Count); index < 0) {
    AddSection(raw, ansi.Items, ansi.Count, flags);
  } else if (raw->Sections.Items[index].Flags != flags) {
    result = kCompileSectionKindClash;
  } else {
    raw->CurrentSection = uint32_t(index);
  }
  AnsiFree(ansi);
  return result;
}

void CreateStandardSections(TRawScript* raw) {
  AddSection(raw, "LDS", 3, 0);
  AddSection(raw, "JTS", 3, 0);
  AddSection(raw, "GCS", 3, kCodeSectionFlag);
}

void FreeSections(TRawScript* raw) {
  for (uint32_t i = 0; i < raw->Sections.Count; ++i) FreeSection(raw->Sections.Items[i]);
  GrowArrayFree(raw->Sections);
  raw->CurrentSection = 0;
  if (raw->Work != nullptr) {
    HashIndexFree(raw->Work->SectionNames);
    raw->Work->IndexedSections = 0;
    FreeLongDataIndex(raw->Work->LongData);
  }
}
