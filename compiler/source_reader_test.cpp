// Reading scripts and modules from files: encodings, line ends, inclusion,
// origins of lines and where load errors are reported.
#include "compiler/source_reader.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>

#include "compiler/compilation.h"
#include "compiler/compile_codes.h"
#include "compiler/image_writer.h"
#include "compiler/text_file.h"
#include "tests/support/image_builder.h"
#include "tests/support/test_harness.h"

namespace {

std::u16string Str(const TCompilerText& t) {
  return std::u16string(TextZ(t), t.Count);
}

// A compilation of a script file, released at the end of the test.
struct FileCompilation {
  TRawScript raw{};
  uint32_t result;
  explicit FileCompilation(const std::string& path)
      : result(CompileSourceFile(&raw, ToU16(path).c_str())) {}
  ~FileCompilation() { AfterCompiling(&raw); }
  std::vector<std::u16string> Lines() const {
    std::vector<std::u16string> lines;
    for (uint32_t i = 0; i < raw.ScriptText.Count; ++i)
      lines.push_back(Str(raw.ScriptText.Items[i]));
    return lines;
  }
  std::string Origins() const {
    std::string s;
    for (uint32_t i = 0; i < raw.ScriptLines.Count; ++i) {
      s += std::to_string(raw.ScriptLines.Items[i].ModuleIndex) + ":" +
           std::to_string(raw.ScriptLines.Items[i].LineNumber) + " ";
    }
    return s;
  }
};

class SourceReader : public ::testing::Test {
 protected:
  void SetUp() override { UseTestCommandList(); }
  void TearDown() override {
    for (const std::string& p : files_) std::remove(p.c_str());
  }
  // Writes a file in the temporary folder and returns its path.
  std::string File(const std::string& name, const Bytes& bytes) {
    std::string path = TempPath(name);
    EXPECT_TRUE(WriteFileBytes(path, bytes));
    files_.push_back(path);
    return path;
  }
  std::string File(const std::string& name, const std::string& text) {
    return File(name, Utf8(text));
  }
  static std::string Quoted(const std::string& path) { return "\"" + path + "\""; }

 private:
  std::vector<std::string> files_;
};

TEST_F(SourceReader, EncodingsAndLineEnds) {
  const Bytes expected = HexBytes("E9 00 AC 20");  // "é€" in UTF-16
  const std::string line = "PutText \"";
  for (const Bytes& encoded :
       {HexBytes("EF BB BF"), HexBytes("FF FE"), HexBytes("FE FF"), Bytes()}) {
    Bytes file;
    if (encoded.empty()) {  // ANSI: Windows-1252 bytes
      file = Utf8(line) + HexBytes("E9 80") + Utf8("\"");
    } else if (encoded[0] == 0xEF) {
      file = encoded + Utf8(line + "\xC3\xA9\xE2\x82\xAC\"");
    } else {
      file = encoded;
      for (char16_t u : std::u16string(u"PutText \"\u00E9\u20AC\"")) {
        if (encoded[0] == 0xFF) file = file + Bytes{uint8_t(u), uint8_t(u >> 8)};
        if (encoded[0] == 0xFE) file = file + Bytes{uint8_t(u >> 8), uint8_t(u)};
      }
    }
    FileCompilation c(File("encoded.zvs", file));
    ASSERT_EQ(c.result, kCompileOk);
    const TCompSection& lds = c.raw.Sections.Items[kLdsSection];
    ASSERT_EQ(lds.Size, 16u + 6);
    EXPECT_EQ(Bytes(lds.Ptr + 16, lds.Ptr + 20), expected);
  }
  FileCompilation ends(File("ends.zvs", "PutAny 1\rPutAny 2\r\n\nPutAny 3\n\rBad\r\n"));
  EXPECT_EQ(ends.result, kCompileUnknownLine);
  EXPECT_EQ(ends.raw.ErrLine, 6u);
  EXPECT_EQ(ends.raw.ScriptText.Count, 6u);
}

// A long script without a byte-order mark is decoded a piece at a time; its
// lines must be those of the whole text decoded at once, whatever line ends
// and bytes stand where the pieces meet.
TEST_F(SourceReader, LongAnsiScriptsGiveTheLinesOfTheWholeText) {
  std::mt19937 rng(5);
  for (int round = 0; round < 4; ++round) {
    Bytes bytes;
    while (bytes.size() < 300000) {
      for (uint32_t n = rng() % 40; n > 0; --n) {
        const uint32_t kind = rng() % 8;
        bytes.push_back(kind == 0 ? uint8_t(0x80 + rng() % 128) : uint8_t('a' + rng() % 26));
      }
      static const char* const kEnds[] = {"\n", "\r", "\r\n", "\n\r", "\r\n\r\n"};
      for (const char* e = kEnds[rng() % 5]; *e != 0; ++e) bytes.push_back(uint8_t(*e));
    }
    if (round % 2 == 1) bytes.resize(bytes.size() - 1 - rng() % 30);  // no line end at the end
    TCompilerText whole{};
    DecodeText(bytes.data(), uint32_t(bytes.size()), &whole);
    std::vector<std::u16string> expected;
    ForEachLine(SpanOf(whole),
                [&](TTextSpan line) { expected.emplace_back(line.Chars, line.Length); });
    TextFree(whole);
    TRawScript raw{};
    BeforeCompiling(&raw);
    AddScriptLines(&raw, bytes.data(), uint32_t(bytes.size()), kMainScriptModule);
    ASSERT_EQ(raw.ScriptText.Count, expected.size()) << round;
    for (uint32_t i = 0; i < raw.ScriptText.Count; ++i) {
      ASSERT_EQ(Str(raw.ScriptText.Items[i]), expected[i]) << round << " " << i;
      ASSERT_EQ(raw.ScriptLines.Items[i].LineNumber, i + 1);
    }
    AfterCompiling(&raw);
  }
}

TEST_F(SourceReader, ModulesStandBeforeTheirInclusionLine) {
  std::string a = File("mod_a.zvs", "PutAny 1\nPutAny 2");
  std::string b = File("mod_b.zvs", "&INCLUDE " + Quoted(a) + "\nPutAny 3");
  std::string main = File("main.zvs", "FramePush\n  &include " + Quoted(b) + " " + Quoted(a) +
                                          " ; comment\n&USES " + Quoted(a) + "\nFramePush");
  FileCompilation c(main);
  ASSERT_EQ(c.result, kCompileOk);
  EXPECT_EQ(c.Lines(),
            (std::vector<std::u16string>{u"FramePush", u"PutAny 1", u"PutAny 2", u"", u"PutAny 3",
                                         u"PutAny 1", u"PutAny 2", u"", u"", u"FramePush"}));
  EXPECT_EQ(c.Origins(), "-1:1 1:1 1:2 0:1 0:2 2:1 2:2 -1:2 -1:3 -1:4 ");
  ASSERT_EQ(c.raw.ScriptModules.Count, 3u);  // b, a inside b, a again
  EXPECT_EQ(Str(c.raw.ScriptModules.Items[0]), ToU16(b));
  EXPECT_EQ(Str(c.raw.ScriptModules.Items[1]), ToU16(a));
  EXPECT_EQ(Str(c.raw.ScriptModules.Items[2]), ToU16(a));
}

TEST_F(SourceReader, UseOnceLoadsAModuleOnce) {
  std::string a = File("once_a.zvs", "PutAny 1");
  std::string upper = a;
  for (char& ch : upper) ch = char(std::toupper(ch));
  // The second name differs in case only: it names a module already loaded.
  std::string main = File("once_main.zvs", "&USES " + Quoted(a) + " " + Quoted(upper) + "\n&USES " +
                                               Quoted(a) + "\n&INCLUDE " + Quoted(a));
  FileCompilation c(main);
  ASSERT_EQ(c.result, kCompileOk);
  EXPECT_EQ(c.raw.ScriptModules.Count, 2u);
  EXPECT_EQ(c.Origins(), "0:1 -1:1 -1:2 1:1 -1:3 ");
}

TEST_F(SourceReader, ErrorsInModulesNameTheModuleAndLine) {
  std::string bad = File("bad.zvs", "PutAny 1\n\n\n\n\n\nPutAny x");
  std::string main = File("bad_main.zvs", "PutAny 0\n&INCLUDE " + Quoted(bad));
  FileCompilation c(main);
  EXPECT_EQ(c.result, kCompileNotANumber);
  EXPECT_EQ(c.raw.ErrLine, 7u);
  EXPECT_EQ(c.raw.ErrModule, 0);
  char16_t module[kErrorModuleBufferUnits];
  ErrorModuleText(&c.raw, module);
  EXPECT_EQ(std::u16string(module), ToU16(bad));
}

TEST_F(SourceReader, UnreadableFilesAreReportedAtTheInclusionLine) {
  const std::string missing = TempPath("missing_module.zvs");
  std::string middle = File("middle.zvs", "PutAny 1\n\n&INCLUDE " + Quoted(missing));
  std::string main = File("missing_main.zvs", "PutAny 0\n&INCLUDE " + Quoted(middle));
  FileCompilation c(main);
  EXPECT_EQ(c.result, kCompileUnreadableSource);
  EXPECT_EQ(c.raw.ErrLine, 3u);
  EXPECT_EQ(c.raw.ErrModule, 0);

  FileCompilation none(TempPath("no_main.zvs"));
  EXPECT_EQ(none.result, kCompileUnreadableSource);
  EXPECT_EQ(none.raw.ErrLine, kNoErrorLine);
  EXPECT_EQ(none.raw.ErrModule, kMainScriptModule);
  char16_t module[kErrorModuleBufferUnits];
  ErrorModuleText(&none.raw, module);
  EXPECT_EQ(module[0], 0);
}

TEST_F(SourceReader, AnUnterminatedNameStopsTheExpansion) {
  std::string a = File("stop_a.zvs", "PutAny 1");
  std::string main =
      File("stop_main.zvs", "&INCLUDE \"open " + Quoted(a) + "\n&INCLUDE " + Quoted(a));
  FileCompilation c(main);
  EXPECT_EQ(c.result, kCompileUnterminatedToken);
  EXPECT_EQ(c.raw.ErrLine, 1u);
  EXPECT_EQ(c.raw.ScriptModules.Count, 0u);
  EXPECT_EQ(c.raw.ScriptText.Count, 2u);
}

TEST_F(SourceReader, InclusionDepthIsBounded) {
  // Modules m0 .. m(n-1), each including the next; the main script includes m0.
  auto chain = [&](uint32_t n) {
    std::string next;
    for (uint32_t i = n; i-- > 0;) {
      std::string text = "PutAny 1";
      if (!next.empty()) text += "\n&INCLUDE " + Quoted(next);
      next = File("chain" + std::to_string(i) + ".zvs", text);
    }
    return File("chain_main.zvs", "&INCLUDE " + Quoted(next));
  };
  {
    FileCompilation c(chain(kMaxInclusionDepth));
    EXPECT_EQ(c.result, kCompileOk);
    EXPECT_EQ(c.raw.ScriptModules.Count, kMaxInclusionDepth);
  }
  FileCompilation c(chain(kMaxInclusionDepth + 1));
  EXPECT_EQ(c.result, kCompileModulesTooDeep);
  EXPECT_EQ(c.raw.ErrModule, int32_t(kMaxInclusionDepth - 1));
  EXPECT_EQ(c.raw.ErrLine, 2u);

  std::string self = TempPath("self.zvs");
  File("self.zvs", "&INCLUDE " + Quoted(self));
  FileCompilation selfInclusion(self);
  EXPECT_EQ(selfInclusion.result, kCompileModulesTooDeep);
  EXPECT_EQ(selfInclusion.raw.ErrLine, 1u);
}

TEST_F(SourceReader, ModuleLoadsAreBounded) {
  std::string empty = File("empty.zvs", "");
  std::string names;
  for (int i = 0; i < 1024; ++i) names.append(" ").append(Quoted(empty));
  std::string text;
  for (uint32_t i = 0; i < kMaxModuleLoads / 1024; ++i) text += "&INCLUDE" + names + "\n";
  // All kMaxModuleLoads loads succeed; the one after them fails.
  FileCompilation c(File("loads.zvs", text + "PutAny 1\n&INCLUDE " + Quoted(empty)));
  EXPECT_EQ(c.result, kCompileTooManyModules);
  EXPECT_EQ(c.raw.ScriptModules.Count, kMaxModuleLoads);
  EXPECT_EQ(c.raw.ErrLine, kMaxModuleLoads / 1024 + 2);
  EXPECT_EQ(c.raw.ErrModule, kMainScriptModule);
}

TEST_F(SourceReader, RelativeNamesFollowTheScriptFolder) {
  TRawScript raw{};
  auto resolve = [&](const std::u16string& token) {
    TCompilerText path{};
    ResolvePath(&raw, {token.data(), uint32_t(token.size())}, &path);
    std::u16string s = Str(path);
    TextFree(path);
    return s;
  };
  TextAssign(raw.ScriptPath, u"C:\\dir\\", 7);
  raw.ReparseFileNames = true;
  EXPECT_EQ(resolve(u"a.zvs"), u"C:\\dir\\a.zvs");
  EXPECT_EQ(resolve(u"\\sub\\a.zvs"), u"C:\\dir\\sub\\a.zvs");
  EXPECT_EQ(resolve(u"\"b c.zvs\""), u"C:\\dir\\b c.zvs");
  EXPECT_EQ(resolve(u"D:\\x.zvs"), u"D:\\x.zvs");
  EXPECT_EQ(resolve(u"D:/x.zvs"), u"D:/x.zvs");
  EXPECT_EQ(resolve(u"\\\\server\\x.zvs"), u"\\\\server\\x.zvs");
  EXPECT_EQ(resolve(u"\""), u"C:\\dir\\\"");
  raw.ReparseFileNames = false;
  EXPECT_EQ(resolve(u"a.zvs"), u"a.zvs");
  AfterCompiling(&raw);

  // A script compiled from an absolute path resolves against its folder.
  TRawScript folders{};
  EXPECT_EQ(CompileSourceFile(&folders, u"C:\\no\\such\\main.zvs"), kCompileUnreadableSource);
  EXPECT_EQ(Str(folders.ScriptPath), u"C:\\no\\such\\");
  CompileSourceFile(&folders, u"C:/no/main.zvs");
  EXPECT_EQ(Str(folders.ScriptPath), u"C:/no/");
  CompileSourceFile(&folders, u"relative.zvs");
  EXPECT_EQ(Str(folders.ScriptPath), u"");
  AfterCompiling(&folders);
}

TEST_F(SourceReader, RelativeInclusionThroughTheScriptPath) {
  std::string module = File("relative_module.zvs", "PutAny 7");
  std::string folder = module.substr(0, module.find_last_of("\\/") + 1);
  std::string main =
      File("relative_main.zvs", "&INCLUDE " + module.substr(folder.size()) + "\nFramePush");
  TRawScript raw{};
  BeforeCompiling(&raw);
  std::u16string folder16 = ToU16(folder);
  TextAssign(raw.ScriptPath, folder16.data(), uint32_t(folder16.size()));
  EXPECT_EQ(LoadMainScript(&raw, ToU16(main).c_str()), kCompileOk);
  EXPECT_EQ(raw.ScriptText.Count, 3u);
  AfterCompiling(&raw);
}

TEST_F(SourceReader, LongModulePathsAreShortenedForTheHost) {
  TRawScript raw{};
  std::u16string path(300, u'x');
  for (size_t i = 0; i < path.size(); ++i) path[i] = char16_t(u'a' + i % 26);
  TextListAdd(raw.ScriptModules, path.data(), uint32_t(path.size()));
  raw.ErrModule = 0;
  char16_t buffer[kErrorModuleBufferUnits];
  ErrorModuleText(&raw, buffer);
  EXPECT_EQ(std::u16string(buffer), u"\u2026" + path.substr(300 - 259));
  TextListAdd(raw.ScriptModules, path.data(), 260);
  raw.ErrModule = 1;
  ErrorModuleText(&raw, buffer);
  EXPECT_EQ(std::u16string(buffer), path.substr(0, 260));
  AfterCompiling(&raw);
}

}  // namespace
