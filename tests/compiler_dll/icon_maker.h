// Icon files made in memory for tests: small 32-bit bitmap images of one
// colour each, so that every image's bytes are told apart.
#pragma once

#include <cstdint>
#include <vector>

typedef std::vector<uint8_t> Bytes;

struct TTestIconImage {
  uint8_t Size;  // width and height in pixels
  Bytes Data;    // BITMAPINFOHEADER (height doubled), BGRA rows, AND mask
};

TTestIconImage BitmapImage(uint8_t size, uint32_t colour);
// `count` images of sizes 16, 24, 32, 40, 16, ... and distinct colours.
std::vector<TTestIconImage> DistinctImages(uint32_t count);

// The header with `type` (1 icon, 2 cursor), one entry per image, then the
// images in order.
Bytes IconFile(const std::vector<TTestIconImage>& images, uint16_t type = 1);
// Where image i starts in IconFile(images).
uint32_t IconImageOffset(const std::vector<TTestIconImage>& images, uint32_t i);
