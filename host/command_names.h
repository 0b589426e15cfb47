// The command list as the host tools need it: each command's name and, per
// parameter position, which kinds of value the compiler accepts there. Read
// from the same Commands.txt that the compiler reads, so that what the
// disassembler writes is what the compiler reads back.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct TCommandListEntry {
  std::string Name;        // empty: no command has this code
  bool OpenEnded = false;  // "?" or "$" parameter limit
  uint32_t ParamLimit = 0;
  std::vector<std::string> PositionFlags;  // "#de", "$d", ... per described position
};

struct TCommandNames {
  std::vector<TCommandListEntry> Commands;  // indexed by code
  const TCommandListEntry* Find(uint32_t code) const {
    return code < Commands.size() && !Commands[code].Name.empty() ? &Commands[code] : nullptr;
  }
};

// Parses the text of a command-list file; false with the line number in
// `error` when a line is not a command.
bool ParseCommandNames(const std::string& text, TCommandNames* names, std::string* error);
