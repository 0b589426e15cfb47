// Labels and label references.
//
// Definitions (a line whose first token starts with "^"):
//   ^name      visible in its section, from its own module
//   ^.name     visible from every section, from its own module
//   ^@name     visible in its section, from every module
//   ^@.name    visible from every section and every module
// References (a parameter token starting with "^"): ^name (this section),
// ^SEC.name (section SEC), ^.name (the section-global labels of all sections),
// each optionally with "@" after the "^" to look for labels visible from
// every module. A reference writes a DWORD parameter whose 4 bytes the fix-up
// fills with the label's image offset; "JTS" lists where those slots are.
#pragma once

#include <cstdint>

#include "compiler/compiler_text.h"
#include "compiler/compiler_types.h"

// Defines a label at the next byte of the current section. 0 or 1008.
uint32_t DefineLabel(TRawScript* raw, TTextSpan token);
// Records a reference from the line being compiled and writes its
// placeholder parameter. 0 or 1008.
uint32_t AddLabelReference(TRawScript* raw, TTextSpan token);
// The fix-up: fills "JTS" and every placeholder. 0, 1009, 1021 or 114; on
// failure ErrLine/ErrModule name the referring line.
uint32_t ResolveLabels(TRawScript* raw);
void FreeLabelReferences(TRawScript* raw);
