#include <cstdlib>
#include <string>

#include "base/platform.h"
#include "base/status.h"
#include "runtime/commands/environment_expansion.h"

namespace {

// The value of the variable named by `name`, when it is defined and its name
// can be written in the ANSI code page.
bool LookUp(const char16_t* name, uint32_t length, std::u16string* value) {
  std::string narrow(length, '\0');
  for (uint32_t i = 0; i < length; ++i) {
    uint8_t byte;
    if (name[i] == 0 || !PlatformWideCharToAnsiByte(name[i], &byte)) return false;
    narrow[i] = char(byte);
  }
  const char* found = length != 0 ? std::getenv(narrow.c_str()) : nullptr;
  if (found == nullptr) return false;
  const uint32_t n = uint32_t(std::char_traits<char>::length(found));
  value->resize(n);
  value->resize(PlatformAnsiToWide(reinterpret_cast<const uint8_t*>(found), n, value->data(), n));
  return true;
}

}  // namespace

// As the system does: the text ends at its first zero unit, and an undefined
// reference is copied with both its percent signs before the scan goes on.
TStatus ExpandEnvironment(const std::u16string& text, std::u16string* expanded, uint32_t*) {
  const std::u16string source(text.c_str());
  expanded->clear();
  size_t i = 0;
  while (i < source.size()) {
    const size_t open = source.find(u'%', i);
    if (open == std::u16string::npos) break;
    const size_t close = source.find(u'%', open + 1);
    if (close == std::u16string::npos) break;
    expanded->append(source, i, open - i);
    std::u16string value;
    if (LookUp(source.data() + open + 1, uint32_t(close - open - 1), &value)) {
      expanded->append(value);
    } else {
      expanded->append(source, open, close + 1 - open);
    }
    i = close + 1;
  }
  expanded->append(source, i < source.size() ? i : source.size());
  if (expanded->size() > 0x3FFFFFFF) return kStatusOutOfMemory;
  return kStatusOk;
}
