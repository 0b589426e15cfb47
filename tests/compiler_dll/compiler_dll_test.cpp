// Zorvat_Compiler.dll through its exports: the shipped command list, the
// step-by-step entry points on a caller's record, and how compile errors are
// reported and leave the output alone.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "base/bytes.h"
#include "base/image_format.h"
#include "runtime/core/context.h"
#include "runtime/core/image.h"
#include "runtime/core/runtime_api.h"
#include "tests/compiler_dll/compiler_library.h"
#include "tests/support/box_watcher.h"
#include "tests/support/test_process.h"

namespace {

struct TTableRow {
  uint32_t Code;
  const char* Name;
  const char* Params;  // a count, "OPEN" or "OPEN_U"
  const char* ParamList;
};

const TTableRow kTable[] = {
#define ZV_COMMAND(code, Name, Family, Params, Build, Effect, ParamList) \
  {code, #Name, #Params, ParamList},
#include "runtime/commands/command_table.def"
#undef ZV_COMMAND
};

std::vector<std::string> Split(const std::string& text, char delimiter) {
  std::vector<std::string> parts;
  std::stringstream in(text);
  for (std::string part; std::getline(in, part, delimiter);) parts.push_back(part);
  return parts;
}

// A literal of the first kind the position's flags name, so that the
// command-list file must allow that kind there.
std::string LiteralFor(const std::string& position) {
  for (char flag : position.substr(0, position.find(' '))) {
    switch (flag) {
      case '+':
        return "%-3";
      case '*':
        return "*1.5";
      case '!':
        return "!0A 0B!";
      case '#':
        return "7";
      case '$':
        return "\"t\"";
      case '@':
        return "@0";
      default:
        break;
    }
  }
  return "1";
}

// Every fixed position; an open-ended command adds one repeating group and
// the end marker.
std::string StatementFor(const TTableRow& row) {
  std::string statement = row.Name;
  for (const std::string& position : Split(row.ParamList, ';')) {
    if (position != "...") statement += " " + LiteralFor(position);
  }
  if (std::string(row.Params).starts_with("OPEN")) statement += " .";
  return statement;
}

// The command codes of a code section, in order, as preparation found the
// instructions.
std::vector<uint32_t> CommandCodes(const TScriptContext& context, const char* section) {
  std::vector<uint32_t> codes;
  const TSection* code = FindImageSection(&context, section);
  if (code == nullptr) return codes;
  const uint32_t start = SectionOffset(&context, code);
  for (uint32_t offset = start; offset < start + code->SectionLength; ++offset) {
    if (IsInstructionStart(context.Prepared, offset)) {
      codes.push_back(LoadU32(context.ScriptStart + offset));
    }
  }
  return codes;
}

TEST_F(CompilerLibrary, EveryCommandOfTheTableCompilesToItsCode) {
  EXPECT_EQ(KernelVersion(), kCompilerVersion);
  std::string script;
  std::vector<uint32_t> expected;
  for (const TTableRow& row : kTable) {
    if (row.Code == 0) continue;  // the zero-code trap has no statement
    script += StatementFor(row) + "\n";
    expected.push_back(row.Code);
  }
  ASSERT_EQ(expected.size(), 363u);
  TempFile source(L"all_commands.zvs"), image(L"all_commands.zvb");
  ASSERT_TRUE(WriteText(source.Path(), script));
  TCompileOutcome outcome = Compile(CompileZorvatFile, source.Path(), image.Path());
  ASSERT_EQ(outcome.Result, 0) << "line " << outcome.ErrLine << ": "
                               << Split(script, '\n')[outcome.ErrLine - 1];
  EXPECT_EQ(outcome.ErrLine, kNoLine);
  EXPECT_EQ(outcome.Module, L"");

  // The runtime prepares it, which checks every parameter count against its
  // dispatch table, and finds the codes in table order.
  Bytes bytes = ReadAll(image.Path());
  ASSERT_EQ(ValidateImage(bytes.data(), uint32_t(bytes.size())), 0u);
  TScriptContext context{};
  ASSERT_EQ(InitContext(&context, bytes.data(), uint32_t(bytes.size())), 0u);
  ASSERT_EQ(PrepareImage(&context), 0u) << "at " << context.Error_At;
  EXPECT_EQ(CommandCodes(context, "GCS"), expected);
  FreePreparedImage(&context);
  std::free(context.SectionIndex);
}

TEST_F(CompilerLibrary, InitializeReportsAMissingListAndLoadsAgain) {
  TempFile missing(L"no_commands");
  EXPECT_EQ(InitializeCompiler(U16(missing.Path())), -1);
  EXPECT_EQ(InitializeCompiler(nullptr), -1);
  FinalizeCompiler();
  ASSERT_EQ(InitializeCompiler(U16(ZORVAT_BIN_DIR L"\\Commands.txt")), 0);
  TempFile source(L"after_reload.zvs"), image(L"after_reload.zvb");
  ASSERT_TRUE(WriteText(source.Path(), "Exit 0\n"));
  EXPECT_EQ(Compile(CompileZorvatFile, source.Path(), image.Path()).Result, 0);
}

// Lines as a host puts them into the record: each text keeps a zero unit
// after its last one, and the heap is the C runtime's, which the library
// shares.
void AddLine(TRawScript& raw, const std::u16string& line) {
  const uint32_t number = raw.ScriptText.Count + 1;
  TCompilerText* text = GrowArrayPush(raw.ScriptText);
  char16_t* units = GrowArrayPushZeroed(*text, uint32_t(line.size()) + 1);
  std::copy(line.begin(), line.end(), units);
  text->Count = uint32_t(line.size());
  *GrowArrayPush(raw.ScriptLines) = {kMainScriptModule, number};
}

TEST_F(CompilerLibrary, StepByStepOnTheCallersRecord) {
  BoxWatcher boxes;  // the script turns the error box off; this is a safety net
  TRawScript raw{};
  BeforeCompiling(&raw);
  EXPECT_TRUE(raw.CRC64_Needed);
  EXPECT_TRUE(raw.ReparseFileNames);
  ASSERT_EQ(raw.Sections.Count, 3u);
  EXPECT_EQ(raw.CurrentSection, 2u);  // "GCS"
  for (const char16_t* line : {u"GlobalsAlloc 1 .", u"SettingSet 3 0", u"Goto ^set", u"Exit 1",
                               u"^set", u"SetDWORD 0 6", u"Exit @0"}) {
    AddLine(raw, line);
  }
  CompileScript(&raw);
  ASSERT_EQ(raw.CompilingResult, 0u);
  EXPECT_EQ(raw.ErrLine, kNoLine);
  TempFile image(L"steps.zvb");
  EXPECT_EQ(SaveCompiledScript(&raw, U16(image.Path()), 0), 1u);
  AfterCompiling(&raw);
  EXPECT_EQ(raw.ScriptText.Items, nullptr);
  EXPECT_EQ(raw.Sections.Count, 0u);

  Bytes bytes = ReadAll(image.Path());
  EXPECT_EQ(ValidateImage(bytes.data(), uint32_t(bytes.size())), 0u);
  EXPECT_EQ(LoadAndExecute(U16(image.Path()), nullptr), 6u);

  // The same record again, with a line that fails: nothing is written.
  BeforeCompiling(&raw);
  AddLine(raw, u"Exit 0");
  AddLine(raw, u"NoSuchCommand 1");
  CompileScript(&raw);
  EXPECT_EQ(raw.CompilingResult, 100u);
  EXPECT_EQ(raw.ErrLine, 2u);
  TempFile refused(L"steps_refused.zvb");
  EXPECT_EQ(SaveCompiledScript(&raw, U16(refused.Path()), 0), 0u);
  EXPECT_FALSE(FileExists(refused.Path()));
  AfterCompiling(&raw);
}

// Eleven good lines (a comment, a blank line, statements), then `twelfth`.
std::string TwelveLines(const std::string& firstLine, const std::string& twelfth) {
  std::string script = firstLine + "\n; a comment\n\nGlobalsAlloc 1 .\n";
  for (int line = 5; line <= 11; ++line) script += "SetDWORD 0 " + std::to_string(line) + "\n";
  return script + twelfth + "\n";
}

TEST_F(CompilerLibrary, AnErrorOnLine12LeavesTheOutputAsItWas) {
  TempFile icon(L"line12.ico"), source(L"line12.zvs");
  ASSERT_TRUE(WriteAll(icon.Path(), IconFile(DistinctImages(2))));
  // The icon directive must not reach the runner copy either.
  const std::string iconLine = "&ICON \"" + Narrow(icon.Path()) + "\"";
  ASSERT_TRUE(WriteText(source.Path(), TwelveLines(iconLine, "Exit 1 2")));
  const Bytes runner = ReadAll(kRunnerPath);
  for (TZcCompileZorvatFile entry : {CompileZorvatFile, CompileZorvatEXE}) {
    TempFile output(L"line12.out");
    TCompileOutcome outcome = Compile(entry, source.Path(), output.Path());
    EXPECT_EQ(outcome.Result, 101);
    EXPECT_EQ(outcome.ErrLine, 12u);
    EXPECT_EQ(outcome.Module, L"");
    EXPECT_FALSE(FileExists(output.Path()));

    ASSERT_TRUE(WriteAll(output.Path(), runner));
    outcome = Compile(entry, source.Path(), output.Path());
    EXPECT_EQ(outcome.Result, 101);
    EXPECT_EQ(outcome.ErrLine, 12u);
    EXPECT_TRUE(ReadAll(output.Path()) == runner);
  }
}

TEST_F(CompilerLibrary, NullRecordAndModuleBufferStillGiveTheErrorLine) {
  TempFile source(L"nulls.zvs"), output(L"nulls.zvb"), missing(L"nulls_missing.zvs");
  ASSERT_TRUE(WriteText(source.Path(), TwelveLines("Exit 0", "Exit 1 2")));
  uint32_t line = 0;
  EXPECT_EQ(CompileZorvatFile(U16(source.Path()), U16(output.Path()), nullptr, nullptr, &line),
            101);
  EXPECT_EQ(line, 12u);
  EXPECT_EQ(CompileZorvatEXE(U16(source.Path()), U16(output.Path()), nullptr, nullptr, nullptr),
            101);

  // A main script that cannot be read reports no line and no module.
  line = 0;
  EXPECT_EQ(CompileZorvatFile(U16(missing.Path()), U16(output.Path()), nullptr, nullptr, &line), 2);
  EXPECT_EQ(line, kNoLine);
  TCompileOutcome outcome = Compile(CompileZorvatFile, missing.Path(), output.Path());
  EXPECT_EQ(outcome.Result, 2);
  EXPECT_EQ(outcome.Module, L"");
  EXPECT_EQ(Compile(CompileZorvatFile, L"", output.Path()).Result, 2);

  ASSERT_TRUE(WriteText(source.Path(), "Exit 0\n"));
  line = 0;
  EXPECT_EQ(CompileZorvatFile(U16(source.Path()), U16(output.Path()), nullptr, nullptr, &line), 0);
  EXPECT_EQ(line, kNoLine);
}

TEST_F(CompilerLibrary, AnErrorInsideAModuleReportsThatModule) {
  TempFile module(L"module.zvs"), source(L"module_main.zvs"), output(L"module.zvb");
  ASSERT_TRUE(WriteText(module.Path(), "; module\nGlobalsAlloc 1 .\nExit 1 2 3\n"));
  ASSERT_TRUE(WriteText(source.Path(),
                        "GlobalsAlloc 1 .\n&INCLUDE \"" + Narrow(module.Path()) + "\"\nExit 0\n"));
  TRawScript raw{};
  wchar_t text[kModuleBufferUnits] = {};
  uint32_t line = 0;
  EXPECT_EQ(CompileZorvatFile(U16(source.Path()), U16(output.Path()), &raw, U16(text), &line), 101);
  EXPECT_EQ(line, 3u);
  EXPECT_EQ(std::wstring(text), module.Path());
  EXPECT_EQ(raw.ErrModule, 0);
  // Released before the call returned.
  EXPECT_EQ(raw.ScriptText.Items, nullptr);
  EXPECT_EQ(raw.ScriptModules.Items, nullptr);
  EXPECT_FALSE(FileExists(output.Path()));
}

// Files in a folder whose paths can run past 260 characters, reached with the
// "\\?\" prefix; removed with their folder at the end.
class LongFolder {
 public:
  LongFolder() {
    wchar_t temp[MAX_PATH + 1] = L"";
    GetTempPathW(MAX_PATH + 1, temp);
    folder_ = std::wstring(L"\\\\?\\") + temp + L"zv_long_" +
              std::to_wstring(GetCurrentProcessId()) + L"\\" + std::wstring(150, L'a');
    CreateDirectoryW(folder_.substr(0, folder_.rfind(L'\\')).c_str(), nullptr);
    CreateDirectoryW(folder_.c_str(), nullptr);
  }
  ~LongFolder() {
    for (const std::wstring& file : files_) DeleteFileW(file.c_str());
    RemoveDirectoryW(folder_.c_str());
    RemoveDirectoryW(folder_.substr(0, folder_.rfind(L'\\')).c_str());
  }
  // A file in the folder whose whole path is `length` units long.
  std::wstring File(size_t length) {
    size_t stem = length - folder_.size() - 1 - 4;
    files_.push_back(folder_ + L"\\" + std::wstring(stem, L'm') + L".zvs");
    return files_.back();
  }

 private:
  std::wstring folder_;
  std::vector<std::wstring> files_;
};

TEST_F(CompilerLibrary, AModulePathOver260UnitsIsShortenedFromTheLeft) {
  LongFolder folder;
  TempFile source(L"long_main.zvs"), output(L"long.zvb");
  for (size_t length : {260u, 261u, 300u}) {
    std::wstring module = folder.File(length);
    ASSERT_EQ(module.size(), length);
    ASSERT_TRUE(WriteText(module, "Exit 1 2\n")) << length;
    ASSERT_TRUE(WriteText(source.Path(), "&INCLUDE \"" + Narrow(module) + "\"\n"));
    TCompileOutcome outcome = Compile(CompileZorvatFile, source.Path(), output.Path());
    EXPECT_EQ(outcome.Result, 101);
    EXPECT_EQ(outcome.ErrLine, 1u);
    if (length <= 260) {
      EXPECT_EQ(outcome.Module, module);
    } else {
      EXPECT_EQ(outcome.Module, L"\u2026" + module.substr(length - 259)) << length;
    }
  }
}

}  // namespace
