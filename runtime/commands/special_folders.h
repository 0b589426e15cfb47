// The table of well-known shell folders that scripts name by number (0 to
// 63) or by name. The numbers are part of the language: scripts store them,
// so entries are never reordered.
#pragma once

#include <cstdint>

struct TSpecialFolder {
  const char16_t* Name;  // upper case
  uint32_t Csidl;        // the shell's folder identifier
};

constexpr uint32_t kSpecialFolderCount = 64;
extern const TSpecialFolder kSpecialFolders[kSpecialFolderCount];

// The index of the entry whose name equals `name` ignoring case (the whole
// name), or -1.
int32_t FindSpecialFolder(const char16_t* name, uint32_t length);
