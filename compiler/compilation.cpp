#include "compiler/compilation.h"

#include <cstring>

#include "compiler/command_list.h"
#include "compiler/compile_codes.h"
#include "compiler/compiler_work.h"
#include "compiler/directives.h"
#include "compiler/image_writer.h"
#include "compiler/keywords.h"
#include "compiler/labels.h"
#include "compiler/line_map.h"
#include "compiler/sections.h"
#include "compiler/source_reader.h"
#include "compiler/statement.h"
#include "compiler/tokenizer.h"

namespace {

uint32_t CompileSectionDeclaration(TRawScript* raw, TTokenizer& tokens) {
  TTextSpan parts[2] = {};
  uint32_t count = 1;  // the section word
  TTextSpan token{};
  for (;;) {
    TTokenResult next = NextStatementToken(tokens, &token);
    if (next == kTokenNone) break;
    if (next == kTokenUnterminated) return kCompileUnterminatedToken;
    if (count <= 2) parts[count - 1] = token;
    ++count;
  }
  if (count != 3) return kCompileBadSectionDeclaration;
  return DeclareSection(raw, parts[0], parts[1]);
}

uint32_t ClassifyAndCompile(TRawScript* raw, TTextSpan line) {
  TTokenizer tokens = StartTokens(line);
  TTextSpan first{};
  TTokenResult next = NextStatementToken(tokens, &first);
  if (next == kTokenNone) return kCompileOk;
  if (next == kTokenUnterminated) return kCompileUnterminatedToken;
  if (KeywordEquals(first, kKeywordSection)) return CompileSectionDeclaration(raw, tokens);
  if (first.Chars[0] == u'&') return CompileDirective(raw, first, tokens);
  if (const TCmdInfo* command = FindCommand(first)) {
    return CompileStatement(raw, *command, tokens);
  }
  if (first.Length >= 2 && first.Chars[0] == u'^') return DefineLabel(raw, first);
  return kCompileUnknownLine;
}

void FreeScriptText(TRawScript* raw) {
  TextListFree(raw->ScriptText);
  TextListFree(raw->ScriptModules);
  GrowArrayFree(raw->ScriptLines);
}

// Everything of a compilation, which both ends of it release.
void ReleaseCompilation(TRawScript* raw) {
  FreeScriptText(raw);
  FreeSections(raw);
  FreeLabelReferences(raw);
  FreeWork(raw);
}

// The folder of an absolute source path, with its delimiter; empty for a
// relative one, whose directive file names then stay relative to the
// process's current folder.
void SetScriptPath(TRawScript* raw, TTextSpan source) {
  uint32_t folder = 0;
  if (IsAbsolutePath(source)) {
    folder = source.Length;
    while (folder > 0 && source.Chars[folder - 1] != u'\\' && source.Chars[folder - 1] != u'/') {
      --folder;
    }
  }
  TextAssign(raw->ScriptPath, source.Chars, folder);
}

}  // namespace

int32_t InitializeCompilerTables(const char16_t* commandListPath) {
  int32_t result = LoadCommandList(commandListPath);
  if (result != 0) return result;
  TCompilerText keywordPath{};
  KeywordFilePath(SpanOfZ(commandListPath), &keywordPath);
  bool loaded = LoadKeywords(TextZ(keywordPath));
  TextFree(keywordPath);
  return loaded ? 0 : -1;
}

void BeforeCompiling(TRawScript* raw) {
  ReleaseCompilation(raw);
  raw->CRC64_Needed = true;
  TextFree(raw->NewIcon);
  raw->ReparseFileNames = true;
  raw->StopErrorHandling = false;
  raw->CompilingResult = kCompileOk;
  raw->ErrLine = kNoErrorLine;
  raw->ErrModule = kMainScriptModule;
  raw->NowCompiling = 0;
  CreateStandardSections(raw);
}

uint32_t CompileLine(TRawScript* raw, uint32_t index) {
  TCompilerWork* work = EnsureWork(raw);
  uint32_t result = ClassifyAndCompile(raw, SpanOf(raw->ScriptText.Items[index]));
  if (result == kCompileOk && work->ImageTooLarge) result = kCompileImageTooLarge;
  return result;
}

void CompileScript(TRawScript* raw) {
  if (raw->Sections.Count < 3) {
    FreeSections(raw);
    CreateStandardSections(raw);
  }
  if (raw->CurrentSection >= raw->Sections.Count) raw->CurrentSection = kGcsSection;
  raw->ErrLine = kNoErrorLine;
  raw->ErrModule = kMainScriptModule;
  raw->CompilingResult = kCompileOk;
  if (raw->Work != nullptr) raw->Work->LineMap.Count = 0;
  for (uint32_t i = 0; i < raw->ScriptText.Count; ++i) {
    raw->NowCompiling = int32_t(i);
    const uint32_t section = raw->CurrentSection;
    const uint32_t sizeBefore = raw->Sections.Items[section].Size;
    uint32_t result = CompileLine(raw, i);
    if (result == kCompileOk) NoteCompiledLine(raw, i, section, sizeBefore);
    if (result != kCompileOk) {
      TOneScriptLine origin = LineOrigin(raw, int32_t(i));
      raw->CompilingResult = result;
      raw->ErrLine = origin.LineNumber;
      raw->ErrModule = origin.ModuleIndex;
      return;
    }
  }
  raw->ErrLine = kNoErrorLine;
  uint32_t result = ResolveLabels(raw);
  if (result == kCompileOk && !LayoutSections(raw)) result = kCompileImageTooLarge;
  raw->CompilingResult = result;
}

void AfterCompiling(TRawScript* raw) {
  ReleaseCompilation(raw);
  TextFree(raw->ScriptPath);
  TextFree(raw->NewIcon);
}

uint32_t CompileSourceFile(TRawScript* raw, const char16_t* sourcePath) {
  SetScriptPath(raw, SpanOfZ(sourcePath));
  BeforeCompiling(raw);
  uint32_t result = LoadMainScript(raw, sourcePath);
  if (result != kCompileOk) {
    raw->CompilingResult = result;
    return result;
  }
  CompileScript(raw);
  return raw->CompilingResult;
}

void ErrorModuleText(const TRawScript* raw, char16_t* buffer) {
  buffer[0] = 0;
  if (raw->ErrModule < 0 || uint32_t(raw->ErrModule) >= raw->ScriptModules.Count) return;
  const TCompilerText& path = raw->ScriptModules.Items[raw->ErrModule];
  constexpr uint32_t kLongest = kErrorModuleBufferUnits - 1;
  if (path.Count <= kLongest) {
    std::memcpy(buffer, TextZ(path), (size_t(path.Count) + 1) * sizeof(char16_t));
    return;
  }
  buffer[0] = u'\u2026';
  std::memcpy(buffer + 1, path.Items + path.Count - (kLongest - 1),
              size_t(kLongest - 1) * sizeof(char16_t));
  buffer[kLongest] = 0;
}
