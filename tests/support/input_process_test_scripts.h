// For the tests of the keyboard, mouse, process and memory commands:
// scripts compiled with the shipped command list and run in this process,
// with every process they start ended when the test ends, pass or fail.
#pragma once

#include <windows.h>

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "tests/support/test_script_support.h"

std::string Decimal(uint64_t value);
// A double-quoted text literal of the script language holding `text`.
std::string TextLiteral(const std::wstring& text);

// A script that may start processes.
class TestScript : public CompiledScript {
 public:
  // Compiles the source. `processVariables` name global variables that will
  // hold handles of processes the script starts besides the last one.
  explicit TestScript(const std::string& source,
                      std::initializer_list<uint32_t> processVariables = {});
  // Ends the last started process and those in `processVariables` if they
  // still run, and closes the handles the script left behind.
  ~TestScript();
  TestScript(const TestScript&) = delete;
  TestScript& operator=(const TestScript&) = delete;

 private:
  std::vector<uint32_t> processVariables_;
};

// The shipped zv_console.exe and zv_fixture.exe as script text literals.
std::string ConsoleLiteral();
std::string FixtureLiteral();

// True while the process behind `handle` runs.
bool IsRunning(HANDLE handle);
