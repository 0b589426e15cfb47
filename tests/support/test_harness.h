// Helpers for the compiler's tests: a small command list of our own, scripts
// compiled in memory, and the bytes they produce.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "compiler/compiler_types.h"

typedef std::vector<uint8_t> Bytes;

// The test command list (codes that exist in the runtime's table carry its
// parameter counts, so that compiled images prepare), installed with the
// default keywords.
extern const char kTestCommandList[];
void UseTestCommandList();

// A script compiled from UTF-8 source text held in memory, released at the
// end of the test.
class Compiled {
 public:
  explicit Compiled(const std::string& source);
  ~Compiled();
  Compiled(const Compiled&) = delete;
  Compiled& operator=(const Compiled&) = delete;

  uint32_t Result() const { return raw_.CompilingResult; }
  uint32_t ErrLine() const { return raw_.ErrLine; }
  int32_t ErrModule() const { return raw_.ErrModule; }
  // The bytes of a section (empty when there is no such section).
  Bytes Section(const std::string& name) const;
  // The code that the script's first statement compiled to, without its
  // 4-byte command code.
  Bytes FirstParams() const;
  Bytes Image() const;
  TRawScript& Raw() { return raw_; }

 private:
  TRawScript raw_{};
};

Bytes HexBytes(const std::string& hex);  // "0B 05" -> {0x0B, 0x05}
Bytes Utf8(const std::string& text);

// A path that exists but cannot be read while this object lives (a folder on
// POSIX; a file held open without sharing on Windows).
struct UnreadablePath {
  UnreadablePath();
  ~UnreadablePath();
  UnreadablePath(const UnreadablePath&) = delete;
  UnreadablePath& operator=(const UnreadablePath&) = delete;

  std::string Path;
  void* Handle = nullptr;  // Windows: the handle that holds the file
  int Socket = -1;         // native: the socket bound at the path
};

inline Bytes operator+(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}
