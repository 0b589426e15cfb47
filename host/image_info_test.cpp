#include "host/image_info.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>

#include "base/status.h"
#include "tests/support/command_codes.h"
#include "tests/support/image_builder.h"

namespace {

TStatus Describe(const Bytes& file, std::string& report) {
  std::string path = TempPath("info.zvb");
  EXPECT_TRUE(WriteFileBytes(path, file));
  TStatus status = DescribeImageFile(ToU16(path).c_str(), report);
  std::remove(path.c_str());
  return status;
}

TEST(ImageInfo, DescribesTheSmallestImage) {
  std::string report;
  EXPECT_EQ(Describe(SmallestImage(), report), kStatusOk);
  EXPECT_NE(report.find("image: 42 bytes at offset 0 of a 42-byte file"), std::string::npos)
      << report;
  EXPECT_NE(report.find("checksum: none"), std::string::npos);
  EXPECT_NE(report.find("sections: 1"), std::string::npos);
  EXPECT_NE(report.find("GCS              code          6         24"), std::string::npos)
      << report;
  EXPECT_NE(report.find("preparation: ok, 1 instructions"), std::string::npos);
}

TEST(ImageInfo, ReportsAChecksumMismatch) {
  ImageBuilder b;
  CodeWriter(b.Add("GCS", 1)).Cmd(kExit).Byte(0);
  Bytes image = b.Build(true);
  std::string report;
  EXPECT_EQ(Describe(image, report), kStatusOk);
  EXPECT_NE(report.find("checksum: ok"), std::string::npos);
  image[27] ^= 0x40;
  report.clear();
  EXPECT_EQ(Describe(image, report), kStatusChecksumMismatch);
  EXPECT_NE(report.find("checksum: MISMATCH"), std::string::npos);
}

TEST(ImageInfo, ReportsPreparationErrors) {
  ImageBuilder b;
  CodeWriter(b.Add("GCS", 1)).Cmd(500);
  std::string report;
  EXPECT_EQ(Describe(b.Build(), report), kStatusBadCommandCode);
  EXPECT_NE(report.find("preparation: failed with status 21 at offset 0x18"), std::string::npos)
      << report;
}

TEST(ImageInfo, ReportsFilesWithoutAnImage) {
  std::string report;
  Bytes junk(10, 0x77);
  EXPECT_EQ(Describe(junk, report), kStatusNoImage);
  report.clear();
  Bytes image = SmallestImage();
  Bytes prefixed(50 + image.size(), 0);
  std::copy(image.begin(), image.end(), prefixed.begin() + 50);
  EXPECT_EQ(Describe(prefixed, report), kStatusOk);
  EXPECT_NE(report.find("at offset 50 of a 92-byte file"), std::string::npos) << report;
}

}  // namespace
