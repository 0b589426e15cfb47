#include "compiler/text_file.h"

#include "base/platform.h"

namespace {

constexpr char16_t kReplacement = 0xFFFD;
// A file the 32-bit image format could never carry, and that a 32-bit
// process could not hold twice, is refused before it is read.
constexpr uint64_t kMaxFileBytes = 0x7FFFFFF0u;

bool ReadAll(TPlatformFile file, TGrowArray<uint8_t>* bytes) {
  uint64_t size = 0;
  if (!PlatformFileSize(file, &size) || size > kMaxFileBytes) return false;
  bytes->Count = 0;
  GrowArrayReserve(*bytes, uint32_t(size) + 1);
  uint32_t total = 0;
  while (total < size) {
    uint32_t got = 0;
    if (!PlatformReadAt(file, total, bytes->Items + total, uint32_t(size) - total, &got)) {
      return false;
    }
    if (got == 0) return false;  // the file shrank while it was read
    total += got;
  }
  bytes->Count = total;
  return true;
}

void PushUnit(TCompilerText* text, uint32_t codePoint) {
  if (codePoint < 0x10000) {
    *GrowArrayPush(*text) = char16_t(codePoint);
    return;
  }
  codePoint -= 0x10000;
  *GrowArrayPush(*text) = char16_t(0xD800 + (codePoint >> 10));
  *GrowArrayPush(*text) = char16_t(0xDC00 + (codePoint & 0x3FF));
}

// The length of a well-formed UTF-8 sequence at p (and its code point), or 0.
uint32_t Utf8Sequence(const uint8_t* p, uint32_t left, uint32_t* codePoint) {
  uint8_t b = p[0];
  uint32_t n;
  uint32_t cp;
  uint32_t min;
  if (b < 0x80) {
    *codePoint = b;
    return 1;
  } else if (b >= 0xC2 && b < 0xE0) {
    n = 2, cp = b & 0x1F, min = 0x80;
  } else if (b >= 0xE0 && b < 0xF0) {
    n = 3, cp = b & 0x0F, min = 0x800;
  } else if (b >= 0xF0 && b < 0xF5) {
    n = 4, cp = b & 0x07, min = 0x10000;
  } else {
    return 0;
  }
  if (left < n) return 0;
  for (uint32_t i = 1; i < n; ++i) {
    if ((p[i] & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (p[i] & 0x3F);
  }
  if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp < 0xE000)) return 0;
  *codePoint = cp;
  return n;
}

void DecodeUtf8(const uint8_t* bytes, uint32_t length, TCompilerText* text) {
  GrowArrayReserve(*text, length + 1);
  uint32_t i = 0;
  while (i < length) {
    uint32_t cp = 0;
    uint32_t n = Utf8Sequence(bytes + i, length - i, &cp);
    PushUnit(text, n == 0 ? kReplacement : cp);
    i += n == 0 ? 1 : n;
  }
}

void DecodeUtf16(const uint8_t* bytes, uint32_t length, bool bigEndian, TCompilerText* text) {
  GrowArrayReserve(*text, length / 2 + 2);
  for (uint32_t i = 0; i + 1 < length; i += 2) {
    uint32_t hi = bytes[i + (bigEndian ? 0 : 1)];
    uint32_t lo = bytes[i + (bigEndian ? 1 : 0)];
    *GrowArrayPush(*text) = char16_t((hi << 8) | lo);
  }
  if (length % 2 != 0) *GrowArrayPush(*text) = kReplacement;
}

void Terminate(TCompilerText* text) {
  GrowArrayReserve(*text, text->Count + 1);
  text->Items[text->Count] = 0;
}

}  // namespace

TFileReadResult ReadFileBytes(const char16_t* path, TGrowArray<uint8_t>* bytes) {
  TPlatformFile file = PlatformOpenRead(path);
  if (file == nullptr) return kFileCannotOpen;
  bool read = ReadAll(file, bytes);
  PlatformClose(file);
  return read ? kFileRead : kFileCannotRead;
}

bool HasByteOrderMark(const uint8_t* bytes, uint32_t length) {
  return (length >= 3 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF) ||
         (length >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE) ||
         (length >= 2 && bytes[0] == 0xFE && bytes[1] == 0xFF);
}

uint32_t AnsiPieceEnd(const uint8_t* bytes, uint32_t length, uint32_t start, uint32_t size) {
  uint32_t i = length - start > size ? start + size : length;
  for (; i < length; ++i) {
    const uint8_t b = bytes[i];
    if (b != '\r' && b != '\n') continue;
    const bool asciiBefore = i == start || bytes[i - 1] < 0x80;
    if (b == '\r' && i + 1 < length && bytes[i + 1] == '\n') ++i;
    if (asciiBefore) return i + 1;
  }
  return length;
}

void DecodeText(const uint8_t* bytes, uint32_t length, TCompilerText* text) {
  text->Count = 0;
  if (length >= 3 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF) {
    DecodeUtf8(bytes + 3, length - 3, text);
  } else if (length >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE) {
    DecodeUtf16(bytes + 2, length - 2, false, text);
  } else if (length >= 2 && bytes[0] == 0xFE && bytes[1] == 0xFF) {
    DecodeUtf16(bytes + 2, length - 2, true, text);
  } else {
    DecodeAnsi(bytes, length, text);
    return;
  }
  Terminate(text);
}

void DecodeAnsi(const uint8_t* bytes, uint32_t length, TCompilerText* text) {
  text->Count = 0;
  uint32_t units = PlatformAnsiToWide(bytes, length, nullptr, 0);
  GrowArrayReserve(*text, units + 1);
  text->Count = PlatformAnsiToWide(bytes, length, text->Items, units);
  Terminate(text);
}
