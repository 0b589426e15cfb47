#include "compiler/labels.h"

#include "base/value_kinds.h"
#include "compiler/compile_codes.h"
#include "compiler/hash_index.h"
#include "compiler/image_writer.h"
#include "compiler/sections.h"

namespace {

constexpr uint32_t kAllSections = 0xFFFFFFFF;  // the section of a section-global key

struct TLabelKey {
  uint32_t Section;  // kAllSections for section-global labels
  int32_t Module;
  TTextSpan Name;
};

// A label found by the index: where it is defined.
struct TLabelEntry {
  uint32_t Section;
  uint32_t Label;
};

struct TLabelIndex {
  THashIndex Index;
  TGrowArray<TLabelEntry> Entries;
  ~TLabelIndex() {
    HashIndexFree(Index);
    GrowArrayFree(Entries);
  }
};

uint64_t KeyHash(const TLabelKey& key) {
  return HashNoCase(key.Name) ^ MixHash((uint64_t(key.Section) << 32) | uint32_t(key.Module));
}

const TLabelEntry* FindLabel(TRawScript* raw, const TLabelIndex& index, const TLabelKey& key) {
  const uint32_t* found = HashIndexFind(index.Index, KeyHash(key), [&](uint32_t k) {
    const TLabelEntry& e = index.Entries.Items[k];
    const TCompSection& section = raw->Sections.Items[e.Section];
    const TOneLabelInfo& info = section.LabelsInfo.Items[e.Label];
    const bool global = key.Section == kAllSections;
    return info.SectionGlobal == global && info.ModuleIndex == key.Module &&
           (global || e.Section == key.Section) &&
           EqualsNoCase(SpanOf(section.Labels.Items[e.Label]), key.Name);
  });
  return found != nullptr ? &index.Entries.Items[*found] : nullptr;
}

// Indexes every label by section (or "all sections"), module and name. The
// first label of a key wins: the first defined within a section and, for
// section-global labels, the one in the first section that has one.
void BuildLabelIndex(TRawScript* raw, TLabelIndex& index) {
  for (uint32_t s = 0; s < raw->Sections.Count; ++s) {
    const TCompSection& section = raw->Sections.Items[s];
    const uint32_t count = section.Labels.Count < section.LabelsInfo.Count
                               ? section.Labels.Count
                               : section.LabelsInfo.Count;
    for (uint32_t l = 0; l < count; ++l) {
      const TOneLabelInfo& info = section.LabelsInfo.Items[l];
      TLabelKey key{info.SectionGlobal ? kAllSections : s, info.ModuleIndex,
                    SpanOf(section.Labels.Items[l])};
      if (FindLabel(raw, index, key) != nullptr) continue;
      *GrowArrayPush(index.Entries) = {s, l};
      HashIndexInsert(index.Index, KeyHash(key), index.Entries.Count - 1);
    }
  }
}

void StoreU32At(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = uint8_t(v >> (8 * i));
}

// Fills entry k of "JTS" (at `jtsStart` + 4k) and the placeholder of reference k.
uint32_t ResolveOne(TRawScript* raw, const TLabelIndex& index, uint32_t jtsStart, uint32_t k) {
  const TOneLabelReference& ref = raw->LabelReferences.Items[k];
  if (ref.SectionWhere < 0 || uint32_t(ref.SectionWhere) >= raw->Sections.Count ||
      uint64_t(ref.LabelOffsetInFile) + 4 > raw->Sections.Items[ref.SectionWhere].Size) {
    return kCompileNoSuchLabel;  // not a placeholder this compilation wrote
  }
  TLabelKey key{kAllSections, ref.Module, SpanOf(ref.Name)};
  if (ref.Section.Count > 0) {
    int32_t section = FindSection(raw, ref.Section.Items, ref.Section.Count);
    if (section < 0) return kCompileNoSuchSection;
    key.Section = uint32_t(section);
  }
  const TLabelEntry* label = FindLabel(raw, index, key);
  if (label == nullptr) return kCompileNoSuchLabel;
  const TCompSection& target = raw->Sections.Items[label->Section];
  TCompSection& where = raw->Sections.Items[ref.SectionWhere];
  StoreU32At(raw->Sections.Items[kJtsSection].Ptr + jtsStart + 4 * k,
             where.OffsetInFile + ref.LabelOffsetInFile);
  StoreU32At(where.Ptr + ref.LabelOffsetInFile,
             target.OffsetInFile + target.LabelsInfo.Items[label->Label].OffsetInSection);
  return kCompileOk;
}

// The text after the "^" of a definition or reference, and whether it has
// the "@" of labels visible from every module.
TTextSpan AfterCaret(TTextSpan token, bool* anyModule) {
  *anyModule = token.Length >= 3 && token.Chars[1] == u'@';
  uint32_t skip = *anyModule ? 2 : 1;
  return {token.Chars + skip, token.Length - skip};
}

}  // namespace

uint32_t DefineLabel(TRawScript* raw, TTextSpan token) {
  bool anyModule = false;
  TTextSpan name = AfterCaret(token, &anyModule);
  const bool sectionGlobal = name.Length > 0 && name.Chars[0] == u'.';
  if (sectionGlobal) ++name.Chars, --name.Length;
  if (name.Length == 0 || (name.Length == 1 && (name.Chars[0] == u'.' || name.Chars[0] == u'@'))) {
    return kCompileEmptyLabel;
  }
  TCompSection& section = CurrentSection(raw);
  TextListAdd(section.Labels, name.Chars, name.Length);
  const int32_t module = anyModule ? kAnyModule : LineOrigin(raw, raw->NowCompiling).ModuleIndex;
  *GrowArrayPush(section.LabelsInfo) = {section.Size, module, sectionGlobal};
  return kCompileOk;
}

uint32_t AddLabelReference(TRawScript* raw, TTextSpan token) {
  bool anyModule = false;
  TTextSpan rest = AfterCaret(token, &anyModule);
  uint32_t dot = 0;
  while (dot < rest.Length && rest.Chars[dot] != u'.') ++dot;
  const bool hasSection = dot < rest.Length;
  TTextSpan name = hasSection ? TTextSpan{rest.Chars + dot + 1, rest.Length - dot - 1} : rest;
  if (name.Length == 0) return kCompileEmptyLabel;

  TOneLabelReference* ref = GrowArrayPush(raw->LabelReferences);
  raw->TrueLabelRefCount = int32_t(raw->LabelReferences.Count);
  TextAssign(ref->Name, name.Chars, name.Length);
  const TCompSection& here = CurrentSection(raw);
  if (hasSection) {
    AnsiFromSpan(ref->Section, {rest.Chars, dot});
  } else {
    AnsiAssign(ref->Section, here.SectionName.Items, here.SectionName.Count);
  }
  ref->SectionWhere = int32_t(raw->CurrentSection);
  ref->Module = anyModule ? kAnyModule : LineOrigin(raw, raw->NowCompiling).ModuleIndex;
  ref->LabelOffsetInFile = here.Size + 1;
  ref->LineNumber = raw->NowCompiling;
  EmitByte(raw, ptDWORD);
  EmitU32(raw, 0);
  return kCompileOk;
}

uint32_t ResolveLabels(TRawScript* raw) {
  const uint32_t count = raw->TrueLabelRefCount < 0 ? 0
                         : uint32_t(raw->TrueLabelRefCount) < raw->LabelReferences.Count
                             ? uint32_t(raw->TrueLabelRefCount)
                             : raw->LabelReferences.Count;
  if (count == 0) return kCompileOk;
  TCompSection& jts = raw->Sections.Items[kJtsSection];
  const uint32_t jtsStart = jts.Size;
  if (count > 0x3FFFFFFF) return kCompileImageTooLarge;
  TGrowArray<uint8_t> zeros{};
  GrowArrayPushZeroed(zeros, 4 * count);
  const bool appended = AppendBytes(jts, zeros.Items, 4 * count);
  GrowArrayFree(zeros);
  if (!appended || !LayoutSections(raw)) return kCompileImageTooLarge;
  TLabelIndex index{};
  BuildLabelIndex(raw, index);
  for (uint32_t k = 0; k < count; ++k) {
    uint32_t result = ResolveOne(raw, index, jtsStart, k);
    if (result != kCompileOk) {
      TOneScriptLine origin = LineOrigin(raw, raw->LabelReferences.Items[k].LineNumber);
      raw->ErrLine = origin.LineNumber;
      raw->ErrModule = origin.ModuleIndex;
      return result;
    }
  }
  return kCompileOk;
}

void FreeLabelReferences(TRawScript* raw) {
  for (uint32_t i = 0; i < raw->LabelReferences.Count; ++i) {
    TextFree(raw->LabelReferences.Items[i].Name);
    AnsiFree(raw->LabelReferences.Items[i].Section);
  }
  GrowArrayFree(raw->LabelReferences);
  raw->TrueLabelRefCount = 0;
}
