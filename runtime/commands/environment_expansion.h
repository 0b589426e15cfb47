// Expansion of the environment-variable references (%NAME%) in a text. A
// reference to a variable that is not defined, and a "%" without a closing
// one, stay as they are written. Windows expands through the system; the
// portable build reads the process environment the same way, with names as
// the C library matches them (case-sensitive) and values read in the ANSI
// code page.
#pragma once

#include <cstdint>
#include <string>

#include "runtime/core/types.h"

// 0, or 1089 with the system's error in *lastError; 1002 when the expanded
// text would not fit a value.
TStatus ExpandEnvironment(const std::u16string& text, std::u16string* expanded,
                          uint32_t* lastError);
