// Images written by the compiler are images the runtime accepts: they load,
// validate, prepare, and every label slot listed in "JTS" points at the start
// of an instruction. The command codes used here carry the runtime's
// parameter counts.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "base/bytes.h"
#include "compiler/compilation.h"
#include "compiler/compile_codes.h"
#include "compiler/image_writer.h"
#include "host/image_info.h"
#include "runtime/core/context.h"
#include "runtime/core/image.h"
#include "tests/support/image_builder.h"
#include "tests/support/test_harness.h"

namespace {

const char kModule[] =
    "^@.shared\n"
    "FramePush\n"
    "Goto ^@.shared\n";

std::string MainScript(const std::string& modulePath) {
  return "^start\n"
         "FramePush\n"
         "MessageShow \"Hello\" \"Caption\" $ $ .\n"
         "SetBlock @1 'bytes'\n"
         "SetBlock @_2 !00 01 02!\n"
         "SetInt @3 %5\n"
         "VarAdd @3 \"Hello\" 1 2.5 -40000 .\n"
         "Switch 1 ^start ^Other.entry ^@.shared .\n"
         "Goto ^done\n"
         "SECTION DATA Table\n"
         "&DB 1 2 3\n"
         "&DW \"wide\"\n"
         "SECTION CODE Other\n"
         "^entry\n"
         "FramePush\n"
         "Goto ^GCS.done\n"
         "&INCLUDE \"" +
         modulePath +
         "\"\n"
         "SECTION CODE GCS\n"
         "^done\n"
         "Exit 0\n";
}

class CompiledImage : public ::testing::Test {
 protected:
  void SetUp() override {
    UseTestCommandList();
    module_ = TempPath("accept_module.zvs");
    main_ = TempPath("accept_main.zvs");
    ASSERT_TRUE(WriteFileBytes(module_, Utf8(kModule)));
    ASSERT_TRUE(WriteFileBytes(main_, Utf8(MainScript(module_))));
  }
  void TearDown() override {
    std::remove(module_.c_str());
    std::remove(main_.c_str());
  }
  std::string module_, main_;
};

TEST_F(CompiledImage, PreparesAndEverySlotPointsAtAnInstruction) {
  TRawScript raw{};
  ASSERT_EQ(CompileSourceFile(&raw, ToU16(main_).c_str()), kCompileOk);
  TGrowArray<uint8_t> built{};
  ASSERT_TRUE(BuildCompiledImage(&raw, &built));
  Bytes image(built.Items, built.Items + built.Count);
  GrowArrayFree(built);
  AfterCompiling(&raw);

  ASSERT_EQ(ValidateImage(image.data(), uint32_t(image.size())), 0u);
  TScriptContext context{};
  ASSERT_EQ(InitContext(&context, image.data(), uint32_t(image.size())), 0u);
  EXPECT_EQ(context.SectionCount, 5u);  // LDS, JTS, GCS, Table, Other
  ASSERT_EQ(PrepareImage(&context), 0u);
  const TSection* jts = FindImageSection(&context, "JTS");
  ASSERT_NE(jts, nullptr);
  EXPECT_EQ(jts->SectionLength, 4u * 6);
  for (uint32_t i = 0; i < jts->SectionLength; i += 4) {
    uint32_t slot = LoadU32(jts->SectionPtr + i);
    uint32_t target = LoadU32(image.data() + slot);
    EXPECT_TRUE(IsInstructionStart(context.Prepared, target)) << "slot " << slot;
    EXPECT_EQ(image[slot - 1], ptDWORD);
  }
  FreePreparedImage(&context);
  std::free(context.SectionIndex);
}

TEST_F(CompiledImage, AWrittenFileDescribesItselfAsRunnable) {
  TRawScript raw{};
  ASSERT_EQ(CompileSourceFile(&raw, ToU16(main_).c_str()), kCompileOk);
  const std::string output = TempPath("accept.zvb");
  ASSERT_TRUE(WriteFileBytes(output, Utf8("a runner would stand here")));
  ASSERT_TRUE(SaveCompiledScript(&raw, ToU16(output).c_str(), true));
  AfterCompiling(&raw);
  std::string report;
  EXPECT_EQ(DescribeImageFile(ToU16(output).c_str(), report), 0u) << report;
  std::remove(output.c_str());
}

}  // namespace
