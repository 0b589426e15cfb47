// How `zorvat run` reports a script that stopped on an error: at the line of
// the script the failing command came from (by the line map the compiler
// wrote beside the image), with the command's name and what its status means:
//
//   script.zvs:4: ItemGet failed with status 1011: index out of range, ...
//
// Without a map the offset stands in for the line.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "host/command_names.h"

struct TSourceLine {
  uint32_t Module;  // index in TLineMap::Modules
  uint32_t Line;
};

struct TLineMap {
  std::vector<std::string> Modules;       // 0: the main script
  std::map<uint32_t, TSourceLine> Lines;  // by image offset of the instruction
};

// Reads a line map; false when the text is not one, or when it was written
// for another image than `image` (its length and stored checksum differ).
bool ParseLineMap(const std::string& text, const uint8_t* image, uint32_t length, TLineMap* map);

// The report of a run that stopped with `status` at the instruction at
// image offset `at`. `file` names the script or image when the map has no
// line for it; `map` and `commands` may be null.
std::string DescribeRunError(const TLineMap* map, const TCommandNames* commands,
                             const uint8_t* image, uint32_t length, uint32_t status, uint32_t at,
                             const std::string& file);
