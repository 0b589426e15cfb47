// For the tests of the keyboard, mouse, process and memory commands:
// scripts compiled with the shipped command list and run in this process,
// with every process they start ended when the test ends, pass or fail.
#pragma once

#include <windows.h>

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "runtime/core/status.h"
#include "runtime/core/types.h"
#include "tests/support/loaded_image.h"

// Replaces each "{NAME}" of the source by its value.
std::string Fill(std::string source,
                 const std::vector<std::pair<std::string, std::string>>& values);
std::string Decimal(uint64_t value);
// A double-quoted text literal of the script language holding `text`.
std::string TextLiteral(const std::wstring& text);

// A script that ends without Exit runs off the end of its code: every
// command succeeded (or the script chose to ignore errors), and its variables
// are left for the test to read, where Exit would release them.
inline constexpr TStatus kRanToEnd = kStatusRanOffCode;

// A script run with the error policy 0, so that the first failing command
// stops it with its status. Compile errors show as status kNotCompiled.
class TestScript {
 public:
  static constexpr TStatus kNotCompiled = 0xFFFFFFFF;

  // Compiles the source. `processVariables` name global variables that will
  // hold handles of processes the script starts besides the last one.
  explicit TestScript(const std::string& source,
                      std::initializer_list<uint32_t> processVariables = {});
  // Ends the last started process and those in `processVariables` if they
  // still run, and closes the handles the script left behind.
  ~TestScript();
  TestScript(const TestScript&) = delete;
  TestScript& operator=(const TestScript&) = delete;

  TStatus Run();
  DWORD Milliseconds() const { return milliseconds_; }
  TScriptContext& Context() { return image_->context; }

  // Global variable n: its kind and its value read as each kind.
  TVarType Kind(uint32_t n);
  uint32_t DWord(uint32_t n);
  int64_t Int(uint32_t n);
  TExtended Float(uint32_t n);

 private:
  std::unique_ptr<LoadedImage> image_;
  std::vector<uint32_t> processVariables_;
  DWORD milliseconds_ = 0;
};

// The shipped zv_console.exe and zv_fixture.exe as script text literals.
std::string ConsoleLiteral();
std::string FixtureLiteral();

// True while the process behind `handle` runs.
bool IsRunning(HANDLE handle);
