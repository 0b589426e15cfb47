#include "compiler/icon_file.h"

#include <cstring>

#include "base/bytes.h"

namespace {

constexpr uint32_t kGroupEntryCopiedBytes = 12;  // width through image size
constexpr uint32_t kIconType = 1;

bool HeaderIsIcon(const uint8_t* bytes, uint32_t length, uint32_t* count) {
  if (length < kIconFileHeaderSize) return false;
  *count = LoadU16(bytes + 4);
  return LoadU16(bytes) == 0 && LoadU16(bytes + 2) == kIconType && *count >= 1 &&
         *count <= kMaxIconImages;
}

// An image of no bytes would make an empty icon resource, which no reader
// can draw; an image outside the file cannot be read at all.
bool ImageInFile(uint32_t offset, uint32_t size, uint32_t length) {
  return size > 0 && uint64_t(offset) + size <= length;
}

}  // namespace

bool ReadIconFile(const uint8_t* bytes, uint32_t length, TIconResources* icon) {
  uint32_t count = 0;
  icon->Icons.Count = 0;
  icon->GroupSize = 0;
  if (!HeaderIsIcon(bytes, length, &count)) return false;
  if (uint64_t(kIconFileHeaderSize) + uint64_t(count) * kIconFileEntrySize > length) return false;

  std::memcpy(icon->Group, bytes, kIconFileHeaderSize);
  for (uint32_t i = 0; i < count; ++i) {
    const uint8_t* entry = bytes + kIconFileHeaderSize + i * kIconFileEntrySize;
    const uint32_t size = LoadU32(entry + 8);
    const uint32_t offset = LoadU32(entry + 12);
    if (!ImageInFile(offset, size, length)) return false;
    icon->Icons.Images[i] = {bytes + offset, size};

    uint8_t* groupEntry = icon->Group + kIconFileHeaderSize + i * kGroupIconEntrySize;
    std::memcpy(groupEntry, entry, kGroupEntryCopiedBytes);
    StoreU16(groupEntry + kGroupEntryCopiedBytes, uint16_t(i + 1));
  }
  icon->Icons.Count = count;
  icon->GroupSize = kIconFileHeaderSize + count * kGroupIconEntrySize;
  return true;
}
