// Gives a copy of the stand-alone runner the icon of an icon file. The runner
// carries its icon as the group "MAINICON" with its images as icon resources
// 1 to 4, all language neutral; the new images take identifiers 1 to n, the
// runner's images that they do not replace are removed, the group is written
// last, and every other resource stays as it was. The executable is changed
// only when every step succeeded: any failure discards the whole update.
#pragma once

#include <cstdint>

// Reads the icon file whole and calls ReplaceIcon; false when it cannot be
// read.
bool ReplaceIconFromFile(const char16_t* exePath, const char16_t* iconPath);
bool ReplaceIcon(const char16_t* exePath, const uint8_t* iconFile, uint32_t length);
