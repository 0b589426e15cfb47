#include "compiler/command_list.h"

#include <algorithm>

#include "compiler/hash_index.h"
#include "compiler/number_literals.h"
#include "compiler/text_file.h"
#include "compiler/tokenizer.h"

namespace {

TCmdInfoList gCommands{};
// Command names to entries of gCommands, so that finding a statement's
// command is one probe instead of a binary search of many comparisons.
THashIndex gCommandIndex{};

void FreeCommand(TCmdInfo& command) {
  TextFree(command.CmdName);
  for (uint32_t i = 0; i < command.ParamInfo.Count; ++i) {
    TextFree(command.ParamInfo.Items[i].InputMethod);
    TextFree(command.ParamInfo.Items[i].DefaultValue);
  }
  GrowArrayFree(command.ParamInfo);
}

void FreeCommands(TCmdInfoList& list) {
  for (uint32_t i = 0; i < list.Count; ++i) FreeCommand(list.Items[i]);
  GrowArrayFree(list);
}

// Splits a line into its non-empty fields.
void SplitFields(TTextSpan line, TGrowArray<TTextSpan>& fields) {
  fields.Count = 0;
  uint32_t i = 0;
  while (i < line.Length) {
    while (i < line.Length && IsBlank(line.Chars[i])) ++i;
    const uint32_t start = i;
    char16_t quote = 0;
    for (; i < line.Length; ++i) {
      char16_t c = line.Chars[i];
      if (quote != 0) {
        if (c == quote) quote = 0;
      } else if (c == u'\'' || c == u'"') {
        quote = c;
      } else if (c == u',') {
        break;
      }
    }
    if (i > start) *GrowArrayPush(fields) = {line.Chars + start, i - start};
    ++i;  // the comma
  }
}

// A number field: any value that fits 32 bits, signed or not.
bool ParseField32(TTextSpan field, uint32_t* value) {
  int64_t v = 0;
  if (!ParseInteger(field, &v) || v < -2147483648LL || v > 0xFFFFFFFFLL) return false;
  *value = uint32_t(v);
  return true;
}

bool ParseFieldInt32(TTextSpan field, int32_t* value) {
  int64_t v = 0;
  if (!ParseInteger(field, &v) || v < -2147483648LL || v > 2147483647LL) return false;
  *value = int32_t(v);
  return true;
}

// Takes the first bracketed part out of `text`: its inside, if both the
// opening character and a closing one after it are there.
bool CutPart(TCompilerText& text, char16_t open, char16_t close, TCompilerText& inside) {
  uint32_t first = 0;
  while (first < text.Count && text.Items[first] != open) ++first;
  if (first == text.Count) return false;
  uint32_t last = first + 1;
  while (last < text.Count && text.Items[last] != close) ++last;
  if (last == text.Count) return false;
  TextAssign(inside, text.Items + first + 1, last - first - 1);
  std::copy(text.Items + last + 1, text.Items + text.Count + 1, text.Items + first);
  text.Count -= last - first + 1;
  return true;
}

struct TKindFlag {
  char16_t Flag;
  TParamType Kind;
};
constexpr TKindFlag kKindFlags[] = {{u'+', ptInteger},
                                    {u'*', ptExtended},
                                    {u'!', ptBinBlock},
                                    {u'#', ptDWORD},
                                    {u'$', ptUnicodeString}};

// A kind character adds its kind and becomes the input method; the last one
// given wins.
bool ApplyFlag(char16_t c, TParamInfo& info) {
  for (const TKindFlag& f : kKindFlags) {
    if (f.Flag != c) continue;
    info.PType |= KindBit(f.Kind);
    TextAssign(info.InputMethod, &c, 1);
    return true;
  }
  if (c == u'd') {
    info.MayBeDefault = true;
  } else if (c == u'e') {
    info.MayBeEnd = true;
  } else if (c == u'n') {
    info.MayNotExist = true;
  } else {
    return false;
  }
  return true;
}

bool ParseParamInfo(TTextSpan field, TParamInfo& info) {
  info.DataControlsIndex = -1;
  bool valid = true;
  uint32_t i = 0;
  for (; i < field.Length; ++i) {
    char16_t c = field.Chars[i];
    if (c == u'(' || c == u'[' || c == u'{' || c == u'`') break;
    valid &= ApplyFlag(c, info);
  }
  TCompilerText rest{}, inside{};
  TextAssign(rest, field.Chars + i, field.Length - i);
  if (CutPart(rest, u'(', u')', inside) && inside.Count > 0) {
    TextAssign(info.InputMethod, inside.Items, inside.Count);
  }
  valid &=
      CutPart(rest, u'[', u']', inside) && ParseFieldInt32(SpanOf(inside), &info.DescriptionIndex);
  if (CutPart(rest, u'{', u'}', inside) &&
      !ParseFieldInt32(SpanOf(inside), &info.DataControlsIndex)) {
    info.DataControlsIndex = -1;
  }
  if (CutPart(rest, u'`', u'`', inside)) TextAssign(info.DefaultValue, inside.Items, inside.Count);
  TextFree(rest);
  TextFree(inside);
  return valid;
}

bool ParseParamLimit(TTextSpan field, TCmdInfo& command) {
  if (field.Length == 1 && (field.Chars[0] == u'?' || field.Chars[0] == u'$')) {
    command.MaxParamCount = kOpenEndedParams;
    command.CompileToUnicodeStrings = field.Chars[0] == u'$';
    return true;
  }
  return ParseField32(field, &command.MaxParamCount);
}

bool ParseCommandLine(TTextSpan line, TGrowArray<TTextSpan>& fields, TCmdInfo& command) {
  SplitFields(line, fields);
  if (fields.Count < 5) return false;
  const TTextSpan* f = fields.Items;
  if (!ParseField32(f[0], &command.CmdCode) || !ParseField32(f[1], &command.CmdGroupCode) ||
      !ParseParamLimit(f[2], command) || !ParseField32(f[4], &command.DescrIdx)) {
    return false;
  }
  TextAssign(command.CmdName, f[3].Chars, f[3].Length);
  for (uint32_t k = 5; k < fields.Count; ++k) {
    if (!ParseParamInfo(f[k], *GrowArrayPush(command.ParamInfo))) return false;
  }
  command.MinParamCount = fields.Count - 5;
  return true;
}

bool NameLess(const TCmdInfo& a, const TCmdInfo& b) {
  return CompareNoCase(SpanOf(a.CmdName), SpanOf(b.CmdName)) < 0;
}

const TCmdInfo* SearchSorted(TTextSpan name) {
  uint32_t low = 0, high = gCommands.Count;
  while (low < high) {
    uint32_t mid = low + (high - low) / 2;
    int c = CompareNoCase(SpanOf(gCommands.Items[mid].CmdName), name);
    if (c == 0) return &gCommands.Items[mid];
    if (c < 0) {
      low = mid + 1;
    } else {
      high = mid;
    }
  }
  return nullptr;
}

const uint32_t* FindIndexed(TTextSpan name) {
  return HashIndexFind(gCommandIndex, HashNoCase(name), [&](uint32_t i) {
    return EqualsNoCase(SpanOf(gCommands.Items[i].CmdName), name);
  });
}

// Each name leads to the entry that the binary search over the sorted list
// finds for it (the same for every spelling of the name), so that a list
// that names a command twice keeps resolving to the same one of them.
void IndexCommands() {
  HashIndexFree(gCommandIndex);
  for (uint32_t i = 0; i < gCommands.Count; ++i) {
    const TTextSpan name = SpanOf(gCommands.Items[i].CmdName);
    if (FindIndexed(name) != nullptr) continue;
    HashIndexInsert(gCommandIndex, HashNoCase(name),
                    uint32_t(SearchSorted(name) - gCommands.Items));
  }
}

void ReleaseCommandList() {
  FreeCommands(gCommands);
  HashIndexFree(gCommandIndex);
}

}  // namespace

int32_t ParseCommandList(const uint8_t* bytes, uint32_t length) {
  ReleaseCommandList();
  TCompilerText text{};
  DecodeAnsi(bytes, length, &text);
  TGrowArray<TTextSpan> fields{};
  TCmdInfoList list{};
  int32_t failedLine = 0;
  int32_t lineNumber = 0;
  ForEachLine(SpanOf(text), [&](TTextSpan line) {
    if (failedLine != 0) return;
    ++lineNumber;
    TCmdInfo* command = GrowArrayPush(list);
    if (!ParseCommandLine(line, fields, *command)) failedLine = lineNumber;
  });
  if (lineNumber == 0) failedLine = 1;
  GrowArrayFree(fields);
  TextFree(text);
  if (failedLine != 0) {
    FreeCommands(list);
    return failedLine;
  }
  std::sort(list.Items, list.Items + list.Count, NameLess);
  gCommands = list;
  IndexCommands();
  return 0;
}

int32_t LoadCommandList(const char16_t* path) {
  ReleaseCommandList();
  TGrowArray<uint8_t> bytes{};
  TFileReadResult read = ReadFileBytes(path, &bytes);
  int32_t result = read == kFileRead ? ParseCommandList(bytes.Items, bytes.Count) : -1;
  GrowArrayFree(bytes);
  return result;
}

const TCmdInfo* FindCommand(TTextSpan name) {
  const uint32_t* found = FindIndexed(name);
  return found != nullptr ? &gCommands.Items[*found] : nullptr;
}

void FreeCommandList() {
  ReleaseCommandList();
}

const TCmdInfoList& CommandList() {
  return gCommands;
}
