#include "compiler/source_reader.h"

#include "compiler/compile_codes.h"
#include "compiler/hash_index.h"
#include "compiler/keywords.h"
#include "compiler/text_file.h"
#include "compiler/tokenizer.h"

namespace {

struct TLoader {
  TRawScript* Raw;
  THashIndex Loaded;  // ScriptModules by path, case ignored
  uint32_t Loads;

  ~TLoader() { HashIndexFree(Loaded); }
};

void AddLine(TRawScript* raw, TTextSpan line, int32_t module, uint32_t lineNumber) {
  TextListAdd(raw->ScriptText, line.Chars, line.Length);
  *GrowArrayPush(raw->ScriptLines) = {module, lineNumber};
}

bool WasLoaded(const TLoader& loader, TTextSpan path) {
  const TCompilerTextList& modules = loader.Raw->ScriptModules;
  return HashIndexFind(loader.Loaded, HashNoCase(path), [&](uint32_t m) {
           return EqualsNoCase(SpanOf(modules.Items[m]), path);
         }) != nullptr;
}

// The index holds each path once, however often it is included.
int32_t AddModule(TLoader& loader, TTextSpan path) {
  TCompilerTextList& modules = loader.Raw->ScriptModules;
  const bool known = WasLoaded(loader, path);
  TextListAdd(modules, path.Chars, path.Length);
  if (!known) HashIndexInsert(loader.Loaded, HashNoCase(path), modules.Count - 1);
  return int32_t(modules.Count - 1);
}

// The inclusion keyword slot of the line, or kKeywordCount when the line
// includes nothing. Only spaces may stand before the "&".
uint32_t InclusionKind(TTextSpan line, TTokenizer& tokens) {
  uint32_t i = 0;
  while (i < line.Length && line.Chars[i] == u' ') ++i;
  if (i == line.Length || line.Chars[i] != u'&') return kKeywordCount;
  TTextSpan first{};
  if (NextToken(tokens, &first) != kTokenFound) return kKeywordCount;
  if (KeywordEquals(first, kKeywordInclude)) return kKeywordInclude;
  if (KeywordEquals(first, kKeywordUses)) return kKeywordUses;
  return kKeywordCount;
}

// Whether any module name on the rest of the line is an unterminated token.
bool HasUnterminatedName(TTokenizer tokens) {
  TTextSpan name{};
  TTokenResult result;
  do {
    result = NextStatementToken(tokens, &name);
  } while (result == kTokenFound);
  return result == kTokenUnterminated;
}

uint32_t LoadModuleLines(TLoader& loader, const char16_t* path, int32_t module, uint32_t depth);

// Loads the modules an inclusion line names. On a failure that no deeper
// level has placed yet, places it at this line.
uint32_t IncludeModules(TLoader& loader, TTokenizer tokens, uint32_t kind, int32_t module,
                        uint32_t lineNumber, uint32_t depth) {
  TRawScript* raw = loader.Raw;
  TCompilerText path{};
  TTextSpan name{};
  uint32_t result = kCompileOk;
  while (result == kCompileOk && NextStatementToken(tokens, &name) == kTokenFound) {
    ResolvePath(raw, name, &path);
    if (kind == kKeywordUses && WasLoaded(loader, SpanOf(path))) continue;
    if (depth >= kMaxInclusionDepth) {
      result = kCompileModulesTooDeep;
    } else if (loader.Loads >= kMaxModuleLoads) {
      result = kCompileTooManyModules;
    } else {
      ++loader.Loads;
      int32_t index = AddModule(loader, SpanOf(path));
      result = LoadModuleLines(loader, TextZ(path), index, depth + 1);
    }
  }
  TextFree(path);
  if (result != kCompileOk && !raw->StopErrorHandling) {
    raw->StopErrorHandling = true;
    raw->ErrLine = lineNumber;
    raw->ErrModule = module;
  }
  return result;
}

// Appends the lines of one file, expanding its inclusion lines.
uint32_t ExpandLines(TLoader& loader, const TGrowArray<uint8_t>& bytes, int32_t module,
                     uint32_t depth) {
  uint32_t result = kCompileOk;
  uint32_t lineNumber = 0;
  bool scanning = true;
  ForEachDecodedLine(bytes.Items, bytes.Count, [&](TTextSpan line) {
    ++lineNumber;
    if (result != kCompileOk) return;
    TTokenizer tokens = StartTokens(line);
    uint32_t kind = scanning ? InclusionKind(line, tokens) : kKeywordCount;
    if (kind != kKeywordCount && HasUnterminatedName(tokens)) {
      // The line fails when it is compiled; nothing after it is expanded.
      scanning = false;
      kind = kKeywordCount;
    }
    if (kind != kKeywordCount) {
      result = IncludeModules(loader, tokens, kind, module, lineNumber, depth);
      line.Length = 0;
    }
    AddLine(loader.Raw, line, module, lineNumber);
  });
  return result;
}

uint32_t LoadModuleLines(TLoader& loader, const char16_t* path, int32_t module, uint32_t depth) {
  TGrowArray<uint8_t> bytes{};
  if (ReadFileBytes(path, &bytes) != kFileRead) {
    GrowArrayFree(bytes);
    return kCompileUnreadableSource;
  }
  uint32_t result = ExpandLines(loader, bytes, module, depth);
  GrowArrayFree(bytes);
  return result;
}

}  // namespace

bool IsAbsolutePath(TTextSpan name) {
  return SpanContains(name, u":\\") || SpanContains(name, u":/") || SpanContains(name, u"\\\\");
}

void ResolvePath(const TRawScript* raw, TTextSpan token, TCompilerText* path) {
  TTextSpan name = token;
  if (name.Length >= 2 && name.Chars[0] == u'"' && name.Chars[name.Length - 1] == u'"') {
    name = {name.Chars + 1, name.Length - 2};
  }
  path->Count = 0;
  if (raw->ReparseFileNames && raw->ScriptPath.Count > 0 && !IsAbsolutePath(name)) {
    if (name.Length > 0 && (name.Chars[0] == u'\\' || name.Chars[0] == u'/')) {
      ++name.Chars, --name.Length;
    }
    TextAppend(*path, raw->ScriptPath.Items, raw->ScriptPath.Count);
  }
  TextAppend(*path, name.Chars, name.Length);
}

uint32_t LoadMainScript(TRawScript* raw, const char16_t* path) {
  raw->ErrLine = kNoErrorLine;
  raw->ErrModule = kMainScriptModule;
  TLoader loader{raw, {}, 0};
  for (uint32_t m = 0; m < raw->ScriptModules.Count; ++m) {
    TTextSpan path = SpanOf(raw->ScriptModules.Items[m]);
    if (!WasLoaded(loader, path)) HashIndexInsert(loader.Loaded, HashNoCase(path), m);
  }
  return LoadModuleLines(loader, path, kMainScriptModule, 0);
}

void AddScriptLines(TRawScript* raw, const uint8_t* bytes, uint32_t length, int32_t moduleIndex) {
  uint32_t lineNumber = 0;
  ForEachDecodedLine(bytes, length,
                     [&](TTextSpan line) { AddLine(raw, line, moduleIndex, ++lineNumber); });
}
