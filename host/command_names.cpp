#include "host/command_names.h"

#include <cstdlib>

namespace {

// The fields of a line: commas separate them, except inside a pair of quotes;
// blanks at the start of a field are skipped; empty fields are dropped.
std::vector<std::string> SplitFields(const std::string& line) {
  std::vector<std::string> fields;
  std::string field;
  char quote = 0;
  for (char c : line) {
    if (quote != 0) {
      if (c == quote) quote = 0;
    } else if (c == '\'' || c == '"') {
      quote = c;
    } else if (c == ',') {
      if (!field.empty()) fields.push_back(field);
      field.clear();
      continue;
    }
    if (field.empty() && (c == ' ' || c == '\t')) continue;
    field += c;
  }
  if (!field.empty()) fields.push_back(field);
  return fields;
}

bool ParseNumber(const std::string& field, uint32_t* value) {
  if (field.empty()) return false;
  char* end = nullptr;
  unsigned long v = std::strtoul(field.c_str(), &end, 10);
  if (*end != 0 || v > 0xFFFFFFFFul) return false;
  *value = uint32_t(v);
  return true;
}

// The flag characters before the first part of a position's description.
std::string PositionFlags(const std::string& field) {
  size_t end = field.find_first_of("([{`");
  return field.substr(0, end);
}

}  // namespace

bool ParseCommandNames(const std::string& text, TCommandNames* names, std::string* error) {
  names->Commands.clear();
  size_t start = 0;
  uint32_t lineNumber = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    start = end + 1;
    ++lineNumber;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty()) continue;
    std::vector<std::string> f = SplitFields(line);
    TCommandListEntry entry;
    uint32_t code = 0;
    bool valid = f.size() >= 5 && ParseNumber(f[0], &code) && code < 0x10000;
    if (valid) {
      entry.OpenEnded = f[2] == "?" || f[2] == "$";
      valid = entry.OpenEnded || ParseNumber(f[2], &entry.ParamLimit);
    }
    if (!valid) {
      *error = "line " + std::to_string(lineNumber) + " is not a command";
      return false;
    }
    entry.Name = f[3];
    for (size_t k = 5; k < f.size(); ++k) entry.PositionFlags.push_back(PositionFlags(f[k]));
    if (names->Commands.size() <= code) names->Commands.resize(code + 1);
    names->Commands[code] = entry;
  }
  return true;
}
