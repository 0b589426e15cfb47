// Native-build extras of the platform layer. The native build has no desktop,
// so a message box is written to stderr, or handed to an observer that tests
// install to see what would have been shown.
#pragma once

#include <cstdint>

// Receives text, caption and style; returns the button "pressed".
typedef int32_t (*TMessageBoxObserver)(const char16_t* text, const char16_t* caption,
                                       uint32_t style);
void SetMessageBoxObserver(TMessageBoxObserver observer);
