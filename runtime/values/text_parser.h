// Cutting a text or a binary block into a list of pieces: at a delimiter, at
// a delimiter that quotes may protect, or by taking out every quoted
// section. Each routine exists for UTF-16 units (text in, text list out) and
// for bytes (block in, block list out) with the same algorithm; all
// comparisons are exact.
//
// Quote runs: back-to-back copies of the quote sequence form a run. A run of
// odd length opens or closes a quoted section; a run of even length stands
// for escaped quotes (each doubled quote is one literal quote) and opens or
// closes nothing.
//
// Each list-producing routine stores a new list into *list (whatever the
// slot held is not freed) and returns 0, or 1002 when the list cannot be
// made (the slot then holds null) or an item cannot be added (the list keeps
// the items added before).
#pragma once

#include <cstdint>

#include "runtime/values/unified_array.h"

// The number of whole copies of the pattern that follow one another from
// `position` within the first `length` units; 0 for an empty pattern.
uint32_t CountRepeats(const char16_t* source, uint32_t length, const char16_t* pattern,
                      uint32_t position, uint32_t patternLength);
uint32_t CountRepeats(const uint8_t* source, uint32_t length, const uint8_t* pattern,
                      uint32_t position, uint32_t patternLength);

// The pieces between delimiters; empty pieces (between two delimiters, or at
// either end) only with `keepEmpty`. An empty delimiter never matches, so
// the whole source is one piece.
uint32_t Split(const char16_t* source, uint32_t length, const char16_t* delimiter,
               uint32_t delimiterLength, bool keepEmpty, PArrayHeader* list);
uint32_t Split(const uint8_t* source, uint32_t length, const uint8_t* delimiter,
               uint32_t delimiterLength, bool keepEmpty, PArrayHeader* list);

// The pieces between delimiters that do not stand inside quotes; runs of
// delimiters count as one and empty pieces are dropped. The quotes stay in
// the pieces as they are.
uint32_t SplitQuoted(const char16_t* source, uint32_t length, const char16_t* delimiter,
                     uint32_t delimiterLength, const char16_t* quote, uint32_t quoteLength,
                     PArrayHeader* list);
uint32_t SplitQuoted(const uint8_t* source, uint32_t length, const uint8_t* delimiter,
                     uint32_t delimiterLength, const uint8_t* quote, uint32_t quoteLength,
                     PArrayHeader* list);

// The content of every quoted section, each doubled quote turned into one.
// A section that is opened and never closed gives nothing.
uint32_t ExtractQuoted(const char16_t* source, uint32_t length, const char16_t* quote,
                       uint32_t quoteLength, PArrayHeader* list);
uint32_t ExtractQuoted(const uint8_t* source, uint32_t length, const uint8_t* quote,
                       uint32_t quoteLength, PArrayHeader* list);
