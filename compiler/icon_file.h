// An icon file (".ico"), as the compiler reads it to give a stand-alone
// program an icon of its own, and the group-icon resource built from it.
// All integers are little-endian.
//
//   file header   u16 reserved (0) | u16 type (1 icon, 2 cursor) | u16 count
//   file entry    u8 width | u8 height | u8 colours | u8 reserved |
//   (16 bytes)    u16 planes | u16 bit count | u32 image size |
//                 u32 image offset, counted from the start of the file
//
//   group header  u16 0 | u16 1 | u16 count
//   group entry   the file entry's first 12 bytes (width through image size) |
//   (14 bytes)    u16 identifier of the icon resource that holds the image:
//                 i + 1 for image i
//
// The file is untrusted: every entry is checked against the file's size
// before its bytes are used.
#pragma once

#include <cstdint>

struct TOneIconInfo {
  const uint8_t* DataPtr;  // inside the icon file's bytes
  uint32_t DataSize;
};

// A count field of 256 or more is refused: resource identifiers and the group
// header leave room for no more.
constexpr uint32_t kMaxIconImages = 255;
constexpr uint32_t kIconFileHeaderSize = 6;
constexpr uint32_t kIconFileEntrySize = 16;
constexpr uint32_t kGroupIconEntrySize = 14;

struct TIconList {
  uint32_t Count;
  TOneIconInfo Images[kMaxIconImages];
};

struct TIconResources {
  TIconList Icons;
  uint32_t GroupSize;
  uint8_t Group[kIconFileHeaderSize + kGroupIconEntrySize * kMaxIconImages];
};

// Fills `icon` from the bytes of an icon file. False, with nothing usable in
// `icon`, when the header is not that of an icon (reserved not 0, type not 1,
// no images or more than kMaxIconImages), when the directory runs past the
// end of the bytes, or when an image is empty or lies outside them.
bool ReadIconFile(const uint8_t* bytes, uint32_t length, TIconResources* icon);
