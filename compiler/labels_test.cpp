// Label definitions, references and the fix-up into "JTS".
#include "compiler/labels.h"

#include <gtest/gtest.h>

#include "compiler/compilation.h"
#include "compiler/compile_codes.h"
#include "compiler/source_reader.h"
#include "tests/support/test_harness.h"

namespace {

uint32_t U32At(const Bytes& b, size_t at) {
  return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 |
         uint32_t(b[at + 3]) << 24;
}

// A main script and one module, compiled as if the module were included at
// the end of the main script.
struct TwoModules {
  TRawScript raw{};
  TwoModules(const std::string& main, const std::string& module) {
    BeforeCompiling(&raw);
    TextListAdd(raw.ScriptModules, u"module.zvs", 10);
    AddScriptLines(&raw, reinterpret_cast<const uint8_t*>(main.data()), uint32_t(main.size()),
                   kMainScriptModule);
    AddScriptLines(&raw, reinterpret_cast<const uint8_t*>(module.data()), uint32_t(module.size()),
                   0);
    CompileScript(&raw);
  }
  ~TwoModules() { AfterCompiling(&raw); }
};

class Labels : public ::testing::Test {
 protected:
  void SetUp() override { UseTestCommandList(); }
  static uint32_t Code(const std::string& script) {
    Compiled c(script);
    return c.Result();
  }
};

TEST_F(Labels, SlotsHoldImageOffsetsAndJtsListsThem) {
  Compiled c(
      "^Start\nFramePush\nGoto ^.loop\nSECTION CODE Other\n^.loop\nGoto ^GCS.start\n"
      "Switch 1 ^GCS.START ^@any .\n^@any\nExit 0");
  ASSERT_EQ(c.Result(), kCompileOk);
  // JTS 16 bytes, GCS 13, Other 32; the header is 12 + 12 + 12 + 14 = 50.
  const uint32_t gcs = 66, other = 79;
  Bytes j = c.Section("JTS");
  ASSERT_EQ(j.size(), 16u);
  EXPECT_EQ(U32At(j, 0), gcs + 9);  // each slot follows its kind byte
  EXPECT_EQ(U32At(j, 4), other + 5);
  EXPECT_EQ(U32At(j, 8), other + 16);
  EXPECT_EQ(U32At(j, 12), other + 21);
  Bytes g = c.Section("GCS"), o = c.Section("Other");
  EXPECT_EQ(U32At(g, 9), other);  // ^.loop, section-global, found from GCS
  EXPECT_EQ(U32At(o, 5), gcs);    // ^GCS.start: label names ignore case
  EXPECT_EQ(U32At(o, 16), gcs);
  EXPECT_EQ(U32At(o, 21), other + 26);  // ^@any
  EXPECT_EQ(c.Raw().TrueLabelRefCount, 4);
  Bytes image = c.Image();
  ASSERT_GT(image.size(), size_t(other + 32));
  EXPECT_EQ(U32At(image, 50), gcs + 9);
  EXPECT_EQ(U32At(image, gcs + 9), other);
}

TEST_F(Labels, SectionsOfDefinitionAndReference) {
  const std::string defineInA = "SECTION CODE A\n^x\nFramePush\n";
  EXPECT_EQ(Code(defineInA + "SECTION CODE B\nGoto ^x"), kCompileNoSuchLabel);
  EXPECT_EQ(Code(defineInA + "SECTION CODE B\nGoto ^A.x"), kCompileOk);
  EXPECT_EQ(Code(defineInA + "SECTION CODE B\nGoto ^.x"), kCompileNoSuchLabel);
  EXPECT_EQ(Code("SECTION CODE A\n^.x\nFramePush\nSECTION CODE B\nGoto ^.x"), kCompileOk);
  EXPECT_EQ(Code("SECTION CODE A\n^.x\nFramePush\nGoto ^x"), kCompileNoSuchLabel);
  EXPECT_EQ(Code(defineInA + "Goto ^NoSuchSection.x"), kCompileNoSuchSection);
  EXPECT_EQ(Code(defineInA + "Goto ^a.x"), kCompileNoSuchSection);  // section names keep case
}

TEST_F(Labels, TheFirstMatchingDefinitionWins) {
  Compiled c(
      "^x\nFramePush\n^X\nGoto ^x\nSECTION CODE A\n^.g\nFramePush\n"
      "SECTION CODE B\n^.g\nGoto ^.g");
  ASSERT_EQ(c.Result(), kCompileOk);
  const uint32_t header = 12 + 12 + 12 + 10 + 10, gcs = header + 8, a = gcs + 13;
  EXPECT_EQ(U32At(c.Section("GCS"), 9), gcs);
  EXPECT_EQ(U32At(c.Section("B"), 5), a);
}

TEST_F(Labels, ModulesSeeTheirOwnLabelsAndTheSharedOnes) {
  {
    TwoModules m("Goto ^inModule\n", "^inModule\nFramePush\n");
    EXPECT_EQ(m.raw.CompilingResult, kCompileNoSuchLabel);
    EXPECT_EQ(m.raw.ErrLine, 1u);
    EXPECT_EQ(m.raw.ErrModule, kMainScriptModule);
  }
  {
    TwoModules m("Goto ^@shared\n", "^@shared\nFramePush\n");
    EXPECT_EQ(m.raw.CompilingResult, kCompileOk);
  }
  {
    TwoModules m("Goto ^shared\n", "^@shared\nFramePush\n");
    EXPECT_EQ(m.raw.CompilingResult, kCompileNoSuchLabel);
  }
  {
    TwoModules m("^mine\nFramePush\n^@.both\n", "FramePush\n\nGoto ^mine\n");
    EXPECT_EQ(m.raw.CompilingResult, kCompileNoSuchLabel);
    EXPECT_EQ(m.raw.ErrLine, 3u);
    EXPECT_EQ(m.raw.ErrModule, 0);
  }
  {
    TwoModules m("^@.both\nFramePush\nSECTION CODE X\nGoto ^@.both", "Goto ^@.both\n");
    EXPECT_EQ(m.raw.CompilingResult, kCompileOk);
  }
}

TEST_F(Labels, EmptyNames) {
  for (const char* definition : {"^.", "^@", "^@.", "^..", "^.@", "^@@"}) {
    Compiled c(std::string("FramePush\n") + definition + " ignored \"tokens");
    EXPECT_EQ(c.Result(), kCompileEmptyLabel) << definition;
    EXPECT_EQ(c.ErrLine(), 2u);
  }
  EXPECT_EQ(Code("^ok more tokens ignored"), kCompileOk);
  for (const char* reference : {"Goto ^", "Goto ^.", "Goto ^@.", "Goto ^GCS."}) {
    EXPECT_EQ(Code(reference), kCompileEmptyLabel) << reference;
  }
}

TEST_F(Labels, WithoutReferencesJtsIsEmptyAndLeftOut) {
  Compiled c("^x\nFramePush");
  ASSERT_EQ(c.Result(), kCompileOk);
  Bytes image = c.Image();
  EXPECT_EQ(U32At(image, 8), 1u);  // only "GCS"
  EXPECT_EQ(Bytes(image.begin() + 12, image.begin() + 16), Utf8(std::string("GCS\0", 4)));
}

}  // namespace
