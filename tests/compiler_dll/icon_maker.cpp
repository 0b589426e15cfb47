#include "tests/compiler_dll/icon_maker.h"

namespace {

void Put16(Bytes& b, uint32_t v) {
  for (int i = 0; i < 2; ++i) b.push_back(uint8_t(v >> (8 * i)));
}
void Put32(Bytes& b, uint32_t v) {
  for (int i = 0; i < 4; ++i) b.push_back(uint8_t(v >> (8 * i)));
}

}  // namespace

TTestIconImage BitmapImage(uint8_t size, uint32_t colour) {
  Bytes d;
  Put32(d, 40);
  Put32(d, size);
  Put32(d, uint32_t(size) * 2);  // colour rows and mask rows
  Put16(d, 1);
  Put16(d, 32);
  for (int i = 0; i < 6; ++i) Put32(d, 0);
  for (uint32_t p = 0; p < uint32_t(size) * size; ++p) Put32(d, colour | 0xFF000000u);
  const uint32_t maskRow = (uint32_t(size) + 31) / 32 * 4;
  d.resize(d.size() + maskRow * size, 0);
  return {size, d};
}

std::vector<TTestIconImage> DistinctImages(uint32_t count) {
  std::vector<TTestIconImage> images;
  for (uint32_t i = 0; i < count; ++i) {
    images.push_back(BitmapImage(uint8_t(16 + 8 * (i % 4)), (0x102030u * (i + 1)) & 0xFFFFFFu));
  }
  return images;
}

uint32_t IconImageOffset(const std::vector<TTestIconImage>& images, uint32_t i) {
  uint32_t offset = 6 + 16 * uint32_t(images.size());
  for (uint32_t k = 0; k < i; ++k) offset += uint32_t(images[k].Data.size());
  return offset;
}

Bytes IconFile(const std::vector<TTestIconImage>& images, uint16_t type) {
  Bytes file;
  Put16(file, 0);
  Put16(file, type);
  Put16(file, uint32_t(images.size()));
  for (uint32_t i = 0; i < images.size(); ++i) {
    file.push_back(images[i].Size);
    file.push_back(images[i].Size);
    file.push_back(0);  // colour count: a true-colour image has no palette
    file.push_back(0);
    Put16(file, 1);
    Put16(file, 32);
    Put32(file, uint32_t(images[i].Data.size()));
    Put32(file, IconImageOffset(images, i));
  }
  for (const TTestIconImage& image : images) {
    file.insert(file.end(), image.Data.begin(), image.Data.end());
  }
  return file;
}
