#include "compiler/keywords.h"

#include "compiler/number_literals.h"
#include "compiler/text_file.h"

namespace {

const char16_t* const kDefaults[kKeywordCount] = {
    u"SECTION", u"CODE", u"DATA", u"&FILE",    u"&FILESIZE", u"&DB",  u"&DW",
    u"&DD",     u"&DI",  u"&DF",  u"&INCLUDE", u"&USES",     u"&ICON"};

// Empty texts until a keyword file was read; then every slot's word.
TCompilerText gSlots[kKeywordCount] = {};
bool gLoaded = false;

struct TKeywordEntry {
  bool Given;
  TTextSpan Word;
};

// Parses "index,keyword"; false for a line without a comma or a usable index.
bool ParseKeywordLine(TTextSpan line, uint32_t* index, TTextSpan* word) {
  uint32_t comma = 0;
  while (comma < line.Length && line.Chars[comma] != u',') ++comma;
  if (comma == line.Length) return false;
  int64_t value = 0;
  if (!ParseInteger({line.Chars, comma}, &value) || value < 0 || value > 0x7FFFFFFF) {
    return false;
  }
  *index = uint32_t(value);
  *word = {line.Chars + comma + 1, line.Length - comma - 1};
  return true;
}

}  // namespace

bool ParseKeywords(TTextSpan text) {
  TKeywordEntry entries[kKeywordCount] = {};
  uint64_t lines = 0;
  uint64_t length = 0;  // the larger of the line count and the highest index + 1
  bool valid = true;
  ForEachLine(text, [&](TTextSpan line) {
    uint32_t index = 0;
    TTextSpan word{};
    if (!valid || !ParseKeywordLine(line, &index, &word)) {
      valid = false;
      return;
    }
    ++lines;
    if (uint64_t(index) + 1 > length) length = uint64_t(index) + 1;
    if (index < kKeywordCount) entries[index] = {true, word};
  });
  if (!valid) return false;
  if (lines > length) length = lines;
  for (uint32_t k = 0; k < kKeywordCount; ++k) {
    TTextSpan word = k >= length        ? SpanOfZ(kDefaults[k])
                     : entries[k].Given ? entries[k].Word
                                        : TTextSpan{u"", 0};
    TextAssign(gSlots[k], word.Chars, word.Length);
  }
  gLoaded = true;
  return true;
}

bool LoadKeywords(const char16_t* path) {
  TGrowArray<uint8_t> bytes{};
  TCompilerText text{};
  bool loaded = ReadFileBytes(path, &bytes) == kFileRead;
  if (loaded) {
    DecodeText(bytes.Items, bytes.Count, &text);
    loaded = ParseKeywords(SpanOf(text));
  }
  TextFree(text);
  GrowArrayFree(bytes);
  return loaded;
}

void ResetKeywords() {
  for (TCompilerText& slot : gSlots) TextFree(slot);
  gLoaded = false;
}

TTextSpan KeywordText(uint32_t slot) {
  return gLoaded ? SpanOf(gSlots[slot]) : SpanOfZ(kDefaults[slot]);
}

bool KeywordEquals(TTextSpan token, uint32_t slot) {
  TTextSpan word = KeywordText(slot);
  return word.Length > 0 && EqualsNoCase(token, word);
}

void KeywordFilePath(TTextSpan commandListPath, TCompilerText* path) {
  uint32_t folder = commandListPath.Length;
  while (folder > 0) {
    char16_t c = commandListPath.Chars[folder - 1];
    if (c == u'\\' || c == u'/' || c == u':') break;
    --folder;
  }
  TextAssign(*path, commandListPath.Chars, folder);
  static const char16_t kFileName[] = u"CompilerKeywords.txt";
  TextAppend(*path, kFileName, sizeof kFileName / sizeof kFileName[0] - 1);
}
