// The layout and bytes of a written image.
#include "compiler/image_writer.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "base/crc64.h"
#include "compiler/compilation.h"
#include "compiler/compile_codes.h"
#include "compiler/sections.h"
#include "tests/support/image_builder.h"
#include "tests/support/test_harness.h"

namespace {

uint32_t U32At(const Bytes& b, size_t at) {
  return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 |
         uint32_t(b[at + 3]) << 24;
}

uint64_t U64At(const Bytes& b, size_t at) {
  return uint64_t(U32At(b, at)) | uint64_t(U32At(b, at + 4)) << 32;
}

Bytes ReadFile(const std::string& path) {
  Bytes bytes;
  if (FILE* f = std::fopen(path.c_str(), "rb")) {
    int c;
    while ((c = std::fgetc(f)) != EOF) bytes.push_back(uint8_t(c));
    std::fclose(f);
  }
  return bytes;
}

// Sections "LDS" 20 bytes, "JTS" 4 and "GCS" 30, filled with their index.
struct ThreeSections {
  TRawScript raw{};
  ThreeSections() {
    BeforeCompiling(&raw);
    const uint32_t sizes[3] = {20, 4, 30};
    for (uint32_t s = 0; s < 3; ++s) {
      Bytes fill(sizes[s], uint8_t(0xA0 + s));
      AppendBytes(raw.Sections.Items[s], fill.data(), sizes[s]);
    }
  }
  ~ThreeSections() { AfterCompiling(&raw); }
  Bytes Image() const {
    TGrowArray<uint8_t> image{};
    EXPECT_TRUE(BuildCompiledImage(&raw, &image));
    Bytes bytes(image.Items, image.Items + image.Count);
    GrowArrayFree(image);
    return bytes;
  }
};

TEST(ImageWriter, DirectoryAndSectionOffsets) {
  ThreeSections t;
  ASSERT_TRUE(LayoutSections(&t.raw));
  EXPECT_EQ(t.raw.Sections.Items[0].OffsetInFile, 48u);
  EXPECT_EQ(t.raw.Sections.Items[1].OffsetInFile, 68u);
  EXPECT_EQ(t.raw.Sections.Items[2].OffsetInFile, 72u);
  Bytes image = t.Image();
  ASSERT_EQ(image.size(), 48u + 54 + 12);
  EXPECT_EQ(Bytes(image.begin(), image.begin() + 12), Utf8(std::string("_Zorvat_\3\0\0\0", 12)));
  EXPECT_EQ(Bytes(image.begin() + 12, image.begin() + 48),
            Utf8(std::string("LDS\0\0\0\0\0\x14\0\0\0"
                             "JTS\0\0\0\0\0\4\0\0\0"
                             "GCS\0\1\0\0\0\x1E\0\0\0",
                             36)));
  EXPECT_EQ(image[48], 0xA0);
  EXPECT_EQ(image[68], 0xA1);
  EXPECT_EQ(image[72], 0xA2);
  EXPECT_EQ(image[101], 0xA2);
  EXPECT_EQ(U64At(image, 102), CRC64_Calc(image.data(), 102));
  EXPECT_EQ(U32At(image, 110), 110u);  // the length of everything before it
}

TEST(ImageWriter, EmptySectionsAreLeftOutAndTheChecksumMayBeOmitted) {
  TRawScript raw{};
  BeforeCompiling(&raw);
  AddSection(&raw, "Empty", 5, 0);
  raw.CRC64_Needed = false;
  TGrowArray<uint8_t> image{};
  ASSERT_TRUE(BuildCompiledImage(&raw, &image));
  EXPECT_EQ(Bytes(image.Items, image.Items + image.Count),
            Utf8(std::string("_Zorvat_\0\0\0\0", 12)) + Bytes(8, 0xFF) + HexBytes("14 00 00 00"));
  GrowArrayFree(image);
  AfterCompiling(&raw);
}

TEST(ImageWriter, SavedFiles) {
  ThreeSections t;
  const std::string path = TempPath("written.zvb");
  std::remove(path.c_str());
  EXPECT_FALSE(SaveCompiledScript(&t.raw, ToU16(path).c_str(), true));  // no file to append to
  ASSERT_TRUE(WriteFileBytes(path, HexBytes("DE AD")));
  ASSERT_TRUE(SaveCompiledScript(&t.raw, ToU16(path).c_str(), true));
  EXPECT_EQ(ReadFile(path), HexBytes("DE AD") + t.Image());
  ASSERT_TRUE(SaveCompiledScript(&t.raw, ToU16(path).c_str(), false));
  EXPECT_EQ(ReadFile(path), t.Image());

  t.raw.CompilingResult = kCompileUnknownLine;  // a failed compilation writes nothing
  ASSERT_TRUE(WriteFileBytes(path, HexBytes("01 02")));
  EXPECT_FALSE(SaveCompiledScript(&t.raw, ToU16(path).c_str(), false));
  EXPECT_EQ(ReadFile(path), HexBytes("01 02"));
  std::remove(path.c_str());
  EXPECT_FALSE(SaveCompiledScript(&t.raw, ToU16(path).c_str(), false));
  EXPECT_EQ(ReadFile(path), Bytes());
}

TEST(ImageWriter, ImagesBeyondTheFormatAreRefused) {
  TRawScript raw{};
  BeforeCompiling(&raw);
  // Sizes only: no buffer is touched on the way to the refusal.
  TCompSection& gcs = raw.Sections.Items[kGcsSection];
  gcs.Size = gcs.BufSize = 0xFFFFFFF0u;
  EXPECT_FALSE(AppendBytes(gcs, "0123456789abcdef", 16));
  EXPECT_EQ(gcs.Size, 0xFFFFFFF0u);
  EXPECT_FALSE(LayoutSections(&raw));
  CompileScript(&raw);
  EXPECT_EQ(raw.CompilingResult, kCompileImageTooLarge);
  TGrowArray<uint8_t> image{};
  EXPECT_FALSE(BuildCompiledImage(&raw, &image));
  GrowArrayFree(image);
  gcs.Size = gcs.BufSize = 0;
  AfterCompiling(&raw);
}

}  // namespace
