#include "host/run_report.h"

#include <cinttypes>
#include <cstdio>
#include <sstream>

#include "host/status_meanings.h"

namespace {

constexpr uint32_t kExitCode = 15;     // a script's own exit, not a failure
constexpr uint32_t kRanOffCode = 106;  // the command before it did not fail

uint64_t Load(const uint8_t* p, int bytes) {
  uint64_t v = 0;
  for (int i = bytes - 1; i >= 0; --i) v = v << 8 | p[i];
  return v;
}

}  // namespace

bool ParseLineMap(const std::string& text, const uint8_t* image, uint32_t length, TLineMap* map) {
  std::istringstream in(text);
  std::string line;
  if (!std::getline(in, line) || line.rfind("zorvat line map 1", 0) != 0) return false;
  unsigned long long mapLength = 0, checksum = 0;
  if (!std::getline(in, line) ||
      std::sscanf(line.c_str(), "image %llu %llx", &mapLength, &checksum) != 2) {
    return false;
  }
  if (length < 12 || mapLength != length || checksum != Load(image + length - 12, 8)) return false;
  map->Modules.clear();
  map->Lines.clear();
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.rfind("module ", 0) == 0) {
      size_t space = line.find(' ', 7);
      if (space == std::string::npos) return false;
      map->Modules.push_back(line.substr(space + 1));
      continue;
    }
    unsigned offset = 0, module = 0, number = 0;
    if (std::sscanf(line.c_str(), "%x %u %u", &offset, &module, &number) != 3 ||
        module >= map->Modules.size()) {
      return false;
    }
    map->Lines[offset] = {module, number};
  }
  return true;
}

std::string DescribeRunError(const TLineMap* map, const TCommandNames* commands,
                             const uint8_t* image, uint32_t length, uint32_t status, uint32_t at,
                             const std::string& file) {
  const TCommandListEntry* command = nullptr;
  uint32_t code = 0xFFFFFFFF;
  if (uint64_t(at) + 4 <= length) {
    code = uint32_t(Load(image + at, 4));
    if (commands != nullptr) command = commands->Find(code);
  }
  std::string name = command != nullptr ? command->Name : "the command";
  char text[96];
  std::string where;
  if (map != nullptr && map->Lines.count(at)) {
    const TSourceLine& source = map->Lines.at(at);
    where = map->Modules[source.Module] + ":" + std::to_string(source.Line) + ": ";
  } else {
    std::snprintf(text, sizeof text, " (offset 0x%X)", at);
    where = file + ": ";
    name += text;
  }
  const char* meaning = RuntimeStatusMeaning(status);
  if (code == kExitCode) {
    std::snprintf(text, sizeof text, "the script exited with status %u", status);
    return where + text;
  }
  if (status == kRanOffCode) {
    std::snprintf(text, sizeof text, "stopped after %s with status %u: ", name.c_str(), status);
    return where + text + meaning;
  }
  std::snprintf(text, sizeof text, " failed with status %u", status);
  std::string report = where + name + text;
  if (meaning != nullptr) report += std::string(": ") + meaning;
  return report;
}
