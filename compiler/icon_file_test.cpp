// Icon files: the images and the group-icon resource taken from them, and
// every kind of file that must be refused without a read outside it.
#include "compiler/icon_file.h"

#include <gtest/gtest.h>

#include "base/bytes.h"
#include "tests/compiler_dll/icon_maker.h"

namespace {

bool Read(const Bytes& file, TIconResources* icon) {
  return ReadIconFile(file.data(), uint32_t(file.size()), icon);
}

TEST(IconFile, ImagesAndGroupEntries) {
  std::vector<TTestIconImage> images = DistinctImages(3);
  Bytes file = IconFile(images);
  TIconResources icon;
  ASSERT_TRUE(Read(file, &icon));
  ASSERT_EQ(icon.Icons.Count, 3u);
  ASSERT_EQ(icon.GroupSize, 6u + 3 * 14);
  EXPECT_EQ(Bytes(icon.Group, icon.Group + 6), Bytes(file.begin(), file.begin() + 6));
  for (uint32_t i = 0; i < 3; ++i) {
    const TOneIconInfo& image = icon.Icons.Images[i];
    EXPECT_EQ(image.DataPtr, file.data() + IconImageOffset(images, i));
    EXPECT_EQ(Bytes(image.DataPtr, image.DataPtr + image.DataSize), images[i].Data);
    // The file entry's first 12 bytes, then the resource identifier i + 1.
    const uint8_t* entry = icon.Group + 6 + 14 * i;
    EXPECT_EQ(Bytes(entry, entry + 12),
              Bytes(file.begin() + 6 + 16 * i, file.begin() + 6 + 16 * i + 12));
    EXPECT_EQ(LoadU16(entry + 12), i + 1);
  }
}

TEST(IconFile, HeaderMustBeAnIconOfOneTo255Images) {
  TIconResources icon;
  Bytes cursor = IconFile(DistinctImages(1), 2);
  EXPECT_FALSE(Read(cursor, &icon));
  Bytes reserved = IconFile(DistinctImages(1));
  reserved[0] = 1;
  EXPECT_FALSE(Read(reserved, &icon));
  EXPECT_FALSE(Read(IconFile({}), &icon));

  std::vector<TTestIconImage> many(255, BitmapImage(1, 0x00FF00));
  Bytes limit = IconFile(many);
  ASSERT_TRUE(Read(limit, &icon));
  EXPECT_EQ(icon.Icons.Count, 255u);
  EXPECT_EQ(LoadU16(icon.Group + 6 + 14 * 254 + 12), 255u);
  many.push_back(BitmapImage(1, 0x0000FF));
  EXPECT_FALSE(Read(IconFile(many), &icon));
}

TEST(IconFile, EntriesOutsideTheFileAreRefused) {
  const Bytes good = IconFile(DistinctImages(2));
  const uint32_t secondEntry = 6 + 16;
  TIconResources icon;

  Bytes pastEnd = good;  // the last image one byte longer than the file
  StoreU32(&pastEnd[secondEntry + 8], LoadU32(&good[secondEntry + 8]) + 1);
  EXPECT_FALSE(Read(pastEnd, &icon));

  Bytes offsetPastEnd = good;
  StoreU32(&offsetPastEnd[secondEntry + 12], uint32_t(good.size()));
  EXPECT_FALSE(Read(offsetPastEnd, &icon));

  Bytes wraps = good;  // offset + size overflows 32 bits
  StoreU32(&wraps[secondEntry + 12], 0xFFFFFFF0u);
  StoreU32(&wraps[secondEntry + 8], 0x20);
  EXPECT_FALSE(Read(wraps, &icon));

  Bytes empty = good;
  StoreU32(&empty[secondEntry + 8], 0);
  EXPECT_FALSE(Read(empty, &icon));

  // The directory promises more entries than the file holds.
  Bytes moreEntries = good;
  StoreU16(&moreEntries[4], 200);
  EXPECT_FALSE(Read(moreEntries, &icon));
}

TEST(IconFile, EveryTruncationIsRefused) {
  const Bytes good = IconFile(DistinctImages(2));
  TIconResources icon;
  for (size_t length = 0; length < good.size(); ++length) {
    // A copy of exactly `length` bytes, so that a read past it is a fault.
    Bytes cut(good.begin(), good.begin() + length);
    EXPECT_FALSE(Read(cut, &icon)) << length;
  }
  EXPECT_TRUE(Read(good, &icon));
}

}  // namespace
