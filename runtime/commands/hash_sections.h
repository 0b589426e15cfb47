// The sections of the running image as the section commands name them: by a
// binary-block parameter holding the 8-bit name, compared exactly.
#pragma once

#include <cstdint>

#include "runtime/core/types.h"

// Fetches the name and finds the section: 0, 102 when the name is not a
// block, 1055 when no section has that name.
TStatus FetchSection(TScriptContext* context, const TSection** section);

// The part of a section that an output command writes: from `offset`, to the
// end or `count` bytes when count is not 0 and fewer remain. 0, or 1075 when
// the offset lies beyond the section's end.
TStatus SectionPart(const TSection* section, uint32_t offset, uint32_t count, const uint8_t** data,
                    uint32_t* length);
