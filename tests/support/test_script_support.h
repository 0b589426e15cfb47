// For the tests that compile scripts with the shipped command list and run
// them in this process against real windows and processes: the script
// record, its variables as the test reads them, and filling values into a
// script's source.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "base/status.h"
#include "runtime/core/types.h"
#include "tests/support/loaded_image.h"

// Replaces each "{NAME}" of the source by its value.
std::string FillScript(std::string source,
                       const std::vector<std::pair<std::string, std::string>>& values);

// A path as the build machine names it, as Windows names it: under Wine a
// Unix path is reached through drive Z:.
std::u16string WindowsPath(const std::string& path);

// Reads the shipped command list once per test program; false when it
// cannot be read.
bool UseShippedCommandList();

// A script that ends without Exit runs off the end of its code: every
// command succeeded (or the script chose to ignore errors), and its variables
// are left for the test to read, where Exit would release them.
inline constexpr TStatus kRanToEnd = kStatusRanOffCode;

// A script compiled with the shipped command list and run with the error
// policy 0, so that the first failing command stops it with its status.
// Compile errors are reported on stderr and show as status kNotCompiled.
class CompiledScript {
 public:
  static constexpr TStatus kNotCompiled = 0xFFFFFFFF;

  explicit CompiledScript(const std::string& source);

  TStatus Run();
  DWORD Milliseconds() const { return milliseconds_; }
  bool IsCompiled() const { return image_ != nullptr; }
  TScriptContext& Context() { return image_->context; }

  // Global variable n: its kind, its value read as each number kind (a
  // marker value when it cannot be read), its text, its DWORD array.
  TVarType Kind(uint32_t n);
  uint32_t DWord(uint32_t n);
  int64_t Int(uint32_t n);
  TExtended Float(uint32_t n);
  std::u16string Text(uint32_t n);
  std::vector<uint32_t> Values(uint32_t n);

 private:
  std::unique_ptr<LoadedImage> image_;
  DWORD milliseconds_ = 0;
};
