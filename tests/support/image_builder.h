// Builds bytecode images in memory for tests: sections, instructions with
// typed parameters, "LDS" constants, the checksum and the trailing length.
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

typedef std::vector<uint8_t> Bytes;

void PutU8(Bytes& b, uint8_t v);
void PutU16(Bytes& b, uint16_t v);
void PutU32(Bytes& b, uint32_t v);
void PutU64(Bytes& b, uint64_t v);

// Appends instructions to a code section's bytes.
class CodeWriter {
 public:
  explicit CodeWriter(Bytes& bytes) : b_(bytes) {}
  CodeWriter& Cmd(uint32_t code);
  CodeWriter& Default();
  CodeWriter& End();
  CodeWriter& Byte(int8_t v);
  CodeWriter& Word(int16_t v);
  CodeWriter& DWord(uint32_t v);
  CodeWriter& Int(int64_t v);
  CodeWriter& Ext(long double v);
  CodeWriter& Var(uint32_t reference);
  CodeWriter& Constant(uint8_t kind, uint32_t ldsOffset);
  CodeWriter& Raw(uint8_t kind);  // a bare kind byte, for malformed images
  // The position in the section of the next byte to be written.
  uint32_t Here() const { return uint32_t(b_.size()); }

 private:
  Bytes& b_;
};

// Appends constants to an "LDS" section and returns their offsets.
uint32_t AddTextConstant(Bytes& lds, const std::u16string& text);
uint32_t AddBlockConstant(Bytes& lds, const Bytes& data);
uint32_t AddArrayConstant(Bytes& lds, uint32_t elemSize, uint32_t count, const Bytes& elements);

struct TestSection {
  std::string Name;
  uint32_t Flag;
  Bytes Data;
};

class ImageBuilder {
 public:
  // Adds a section (code: flag 1) and returns its bytes.
  Bytes& Add(const std::string& name, uint32_t flag);
  Bytes& Section(const std::string& name);
  // Image offset of the first byte of the named section, as Build lays it out.
  uint32_t OffsetOf(const std::string& name) const;
  uint32_t HeaderSize() const;
  // With `checksum` false the checksum field is all 0xFF.
  Bytes Build(bool checksum = true) const;

 private:
  std::deque<TestSection> sections_;  // references stay valid as sections are added
};

// The smallest runnable image: "GCS" holding exit with a ptByte 0.
Bytes SmallestImage();

// Writes bytes to a file; returns false on failure.
bool WriteFileBytes(const std::string& path, const Bytes& bytes);
// A path for a scratch file in the system's temporary folder.
std::string TempPath(const std::string& name);
std::u16string ToU16(const std::string& s);
