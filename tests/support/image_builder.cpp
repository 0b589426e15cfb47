#include "tests/support/image_builder.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "base/crc64.h"
#include "base/image_format.h"
#include "tests/support/command_codes.h"

#ifdef _WIN32
#include <process.h>
#define ZV_GETPID _getpid
#else
#include <unistd.h>
#define ZV_GETPID getpid
#endif

void PutU8(Bytes& b, uint8_t v) {
  b.push_back(v);
}
void PutU16(Bytes& b, uint16_t v) {
  PutU8(b, uint8_t(v));
  PutU8(b, uint8_t(v >> 8));
}
void PutU32(Bytes& b, uint32_t v) {
  PutU16(b, uint16_t(v));
  PutU16(b, uint16_t(v >> 16));
}
void PutU64(Bytes& b, uint64_t v) {
  PutU32(b, uint32_t(v));
  PutU32(b, uint32_t(v >> 32));
}

CodeWriter& CodeWriter::Cmd(uint32_t code) {
  PutU32(b_, code);
  return *this;
}
CodeWriter& CodeWriter::Default() {
  PutU8(b_, 0);
  return *this;
}
CodeWriter& CodeWriter::End() {
  PutU8(b_, 10);
  return *this;
}
CodeWriter& CodeWriter::Byte(int8_t v) {
  PutU8(b_, 11);
  PutU8(b_, uint8_t(v));
  return *this;
}
CodeWriter& CodeWriter::Word(int16_t v) {
  PutU8(b_, 12);
  PutU16(b_, uint16_t(v));
  return *this;
}
CodeWriter& CodeWriter::DWord(uint32_t v) {
  PutU8(b_, 7);
  PutU32(b_, v);
  return *this;
}
CodeWriter& CodeWriter::Int(int64_t v) {
  PutU8(b_, 1);
  PutU64(b_, uint64_t(v));
  return *this;
}
CodeWriter& CodeWriter::Ext(long double v) {
  PutU8(b_, 2);
  uint8_t raw[sizeof(long double)] = {};
  std::memcpy(raw, &v, sizeof v);
  b_.insert(b_.end(), raw, raw + 10);
  return *this;
}
CodeWriter& CodeWriter::Var(uint32_t reference) {
  PutU8(b_, 9);
  PutU32(b_, reference);
  return *this;
}
CodeWriter& CodeWriter::Constant(uint8_t kind, uint32_t ldsOffset) {
  PutU8(b_, kind);
  PutU32(b_, ldsOffset);
  return *this;
}
CodeWriter& CodeWriter::Raw(uint8_t kind) {
  PutU8(b_, kind);
  return *this;
}

uint32_t AddArrayConstant(Bytes& lds, uint32_t elemSize, uint32_t count, const Bytes& elements) {
  uint32_t offset = uint32_t(lds.size());
  PutU32(lds, elemSize);
  PutU32(lds, count);
  PutU32(lds, count);
  PutU32(lds, 0);
  lds.insert(lds.end(), elements.begin(), elements.end());
  return offset;
}

uint32_t AddTextConstant(Bytes& lds, const std::u16string& text) {
  Bytes units;
  for (char16_t c : text) PutU16(units, c);
  PutU16(units, 0);
  return AddArrayConstant(lds, 2, uint32_t(text.size() + 1), units);
}

uint32_t AddBlockConstant(Bytes& lds, const Bytes& data) {
  Bytes bytes = data;
  PutU16(bytes, 0);
  return AddArrayConstant(lds, 1, uint32_t(data.size() + 2), bytes);
}

Bytes& ImageBuilder::Add(const std::string& name, uint32_t flag) {
  sections_.push_back({name, flag, {}});
  return sections_.back().Data;
}

Bytes& ImageBuilder::Section(const std::string& name) {
  for (TestSection& s : sections_) {
    if (s.Name == name) return s.Data;
  }
  std::abort();
}

uint32_t ImageBuilder::HeaderSize() const {
  uint32_t size = 12;
  for (const TestSection& s : sections_) size += uint32_t(s.Name.size()) + 9;
  return size;
}

uint32_t ImageBuilder::OffsetOf(const std::string& name) const {
  uint32_t offset = HeaderSize();
  for (const TestSection& s : sections_) {
    if (s.Name == name) return offset;
    offset += uint32_t(s.Data.size());
  }
  std::abort();
}

Bytes ImageBuilder::Build(bool checksum) const {
  Bytes image(kImageMagic, kImageMagic + sizeof kImageMagic);
  PutU32(image, uint32_t(sections_.size()));
  for (const TestSection& s : sections_) {
    image.insert(image.end(), s.Name.begin(), s.Name.end());
    PutU8(image, 0);
    PutU32(image, s.Flag);
    PutU32(image, uint32_t(s.Data.size()));
  }
  for (const TestSection& s : sections_) image.insert(image.end(), s.Data.begin(), s.Data.end());
  PutU64(image, checksum ? CRC64_Calc(image.data(), image.size()) : kNoChecksum);
  PutU32(image, uint32_t(image.size()));
  return image;
}

Bytes SmallestImage() {
  ImageBuilder b;
  CodeWriter(b.Add("GCS", 1)).Cmd(kExit).Byte(0);
  return b.Build(false);
}

bool WriteFileBytes(const std::string& path, const Bytes& bytes) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) return false;
  bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return std::fclose(f) == 0 && ok;
}

std::string TempPath(const std::string& name) {
#ifdef _WIN32
  const char* dir = std::getenv("TEMP");
  return std::string(dir != nullptr ? dir : ".") + "\\zorvat_test_" + std::to_string(ZV_GETPID()) +
         "_" + name;
#else
  const char* dir = std::getenv("TMPDIR");
  return std::string(dir != nullptr ? dir : "/tmp") + "/zorvat_test_" +
         std::to_string(ZV_GETPID()) + "_" + name;
#endif
}

std::u16string ToU16(const std::string& s) {
  return std::u16string(s.begin(), s.end());
}
