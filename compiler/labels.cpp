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

// How far ahead the fix-up asks for the index slots it is going to read.
constexpr uint32_t kPrefetchDistance = 16;

const TLabelEntry* FindLabel(TRawScript* raw, const TLabelIndex& index, const TLabelKey& key,
                             uint64_t hash) {
  const uint32_t* found = HashIndexFind(index.Index, hash, [&](uint32_t k) {
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

TLabelKey KeyOfLabel(const TRawScript* raw, uint32_t s, uint32_t l) {
  const TCompSection& section = raw->Sections.Items[s];
  const TOneLabelInfo& info = section.LabelsInfo.Items[l];
  return {info.SectionGlobal ? kAllSections : s, info.ModuleIndex, SpanOf(section.Labels.Items[l])};
}

// Indexes every label by section (or "all sections"), module and name. The
// first label of a key wins: the first defined within a section and, for
// section-global labels, the one in the first section that has one.
void BuildLabelIndex(TRawScript* raw, TLabelIndex& index) {
  TGrowArray<uint64_t> hashes{};
  for (uint32_t s = 0; s < raw->Sections.Count; ++s) {
    const TCompSection& section = raw->Sections.Items[s];
    const uint32_t count = section.Labels.Count < section.LabelsInfo.Count
                               ? section.Labels.Count
                               : section.LabelsInfo.Count;
    for (uint32_t l = 0; l < count; ++l) {
      *GrowArrayPush(index.Entries) = {s, l};
      *GrowArrayPush(hashes) = KeyHash(KeyOfLabel(raw, s, l));
    }
  }
  HashIndexReserve(index.Index, index.Entries.Count);
  // Entries keeps the labels in order; the index holds the first of each key.
  for (uint32_t i = 0; i < index.Entries.Count; ++i) {
    if (i + kPrefetchDistance < hashes.Count) {
      HashIndexPrefetch(index.Index, hashes.Items[i + kPrefetchDistance]);
    }
    const TLabelEntry label = index.Entries.Items[i];
    if (FindLabel(raw, index, KeyOfLabel(raw, label.Section, label.Label), hashes.Items[i])) {
      continue;
    }
    HashIndexInsert(index.Index, hashes.Items[i], i);
  }
  GrowArrayFree(hashes);
}

void StoreU32At(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = uint8_t(v >> (8 * i));
}

// A reference's key, or why it has none.
struct TReferenceKey {
  TLabelKey Key;
  uint64_t Hash;
  uint32_t Result;  // kCompileOk when the key is usable
};

TReferenceKey KeyOfReference(TRawScript* raw, uint32_t k) {
  const TOneLabelReference& ref = raw->LabelReferences.Items[k];
  TReferenceKey key{{kAllSections, ref.Module, SpanOf(ref.Name)}, 0, kCompileOk};
  if (ref.SectionWhere < 0 || uint32_t(ref.SectionWhere) >= raw->Sections.Count ||
      uint64_t(ref.LabelOffsetInFile) + 4 > raw->Sections.Items[ref.SectionWhere].Size) {
    key.Result = kCompileNoSuchLabel;  // not a placeholder this compilation wrote
    return key;
  }
  if (ref.Section.Count > 0) {
    int32_t section = FindSection(raw, ref.Section.Items, ref.Section.Count);
    if (section < 0) {
      key.Result = kCompileNoSuchSection;
      return key;
    }
    key.Key.Section = uint32_t(section);
  }
  key.Hash = KeyHash(key.Key);
  return key;
}

// Fills entry k of "JTS" (at `jtsStart` + 4k) and the placeholder of reference k.
uint32_t ResolveOne(TRawScript* raw, const TLabelIndex& index, const TReferenceKey& key,
                    uint32_t jtsStart, uint32_t k) {
  if (key.Result != kCompileOk) return key.Result;
  const TLabelEntry* label = FindLabel(raw, index, key.Key, key.Hash);
  if (label == nullptr) return kCompileNoSuchLabel;
  const TOneLabelReference& ref = raw->LabelReferences.Items[k];
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
  TGrowArray<TReferenceKey> keys{};
  for (uint32_t k = 0; k < count; ++k) *GrowArrayPush(keys) = KeyOfReference(raw, k);
  uint32_t result = kCompileOk;
  for (uint32_t k = 0; k < count && result == kCompileOk; ++k) {
    if (k + kPrefetchDistance < count) {
      HashIndexPrefetch(index.Index, keys.Items[k + kPrefetchDistance].Hash);
    }
    result = ResolveOne(raw, index, keys.Items[k], jtsStart, k);
    if (result != kCompileOk) {
      TOneScriptLine origin = LineOrigin(raw, raw->LabelReferences.Items[k].LineNumber);
      raw->ErrLine = origin.LineNumber;
      raw->ErrModule = origin.ModuleIndex;
    }
  }
  GrowArrayFree(keys);
  return result;
}

void FreeLabelReferences(TRawScript* raw) {
  for (uint32_t i = 0; i < raw->LabelReferences.Count; ++i) {
    TextFree(raw->LabelReferences.Items[i].Name);
    AnsiFree(raw->LabelReferences.Items[i].Section);
  }
  GrowArrayFree(raw->LabelReferences);
  raw->TrueLabelRefCount = 0;
}
