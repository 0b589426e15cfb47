// Texts: UTF-16 strings held as unified arrays (ElemSize 2, ElemCount =
// length + 1, the unit at [length] always 0). A zero unit inside a text is
// ordinary data; the terminator exists so that a text can be handed to the
// operating system as it is. Constructors that would make an empty text
// return the shared static empty text instead of allocating.
//
// A constructor returns null only when the size does not fit the unified
// array's 32-bit arithmetic; callers report 1002.
#pragma once

#include <cstdint>
#include <string>

#include "runtime/values/unified_array.h"

// The built-in static texts (IsDynamic 0, never freed).
PArrayHeader USTR_Empty();
PArrayHeader USTR_Blank();      // " ", between a program and its arguments
PArrayHeader USTR_FullStop();   // "."
PArrayHeader USTR_TwoQuotes();  // two double-quote characters

// The number of units (without the terminator); 0 for null.
inline uint32_t USTR_Length(const TArrayHeader* text) {
  return text == nullptr || text->ElemCount == 0 ? 0 : text->ElemCount - 1;
}
inline char16_t* USTR_Chars(PArrayHeader text) {
  return reinterpret_cast<char16_t*>(UA_Data(text));
}
inline const char16_t* USTR_Chars(const TArrayHeader* text) {
  return reinterpret_cast<const char16_t*>(UA_Data(text));
}

// A new dynamic text of `length` units (zero), terminator set.
PArrayHeader USTR_New(uint32_t length);
// A text holding a copy of `length` units; 0 gives the static empty text.
PArrayHeader USTR_FromBuffer(const char16_t* units, uint32_t length);
// The same for a zero-terminated string (null gives the empty text).
PArrayHeader USTR_FromPWideChar(const char16_t* s);
// UA_SetCount to length + 1, then the terminator. False on a size failure.
bool USTR_SetLength(PArrayHeader* slot, uint32_t length);
// A static text is shared; a dynamic text of length 0 gives the static empty
// text; any other text is copied. Null stays null.
PArrayHeader USTR_Clone(PArrayHeader text);
// Text from a binary block through the system ANSI code page; an empty or
// null block gives the static empty text.
PArrayHeader USTR_FromBB(const TArrayHeader* block);
// Binary block from a text through the ANSI code page; an empty or null text
// gives the static empty block.
PArrayHeader BB_FromUSTR(const TArrayHeader* text);
// Units [start, start + min(n, length - start)); empty when start >= length.
PArrayHeader USTR_Copy(const TArrayHeader* text, uint32_t start, uint32_t n);
// Appends text a, then text b (either may be null), growing the slot's text
// once. The slot may hold a static text (it is copied). False on a size
// failure; the slot is then unchanged.
bool USTR_Append2(PArrayHeader* slot, const TArrayHeader* a, const TArrayHeader* b);
// Makes the text begin and end with a double quote: the empty text and a
// lone quote become the two-quote text; a quote is added at each end that
// lacks one.
bool USTR_Quote(PArrayHeader* slot);
// Appends a backslash unless the text ends in a slash or a backslash.
bool USTR_AddPathDelim(PArrayHeader* slot);

// Three-way comparison: 0, 1 (first greater) or -1. Units compare as
// unsigned values; a proper prefix is smaller. The no-case form compares the
// upper-case-table images of the units.
int USTR_Compare(const char16_t* a, uint32_t lengthA, const char16_t* b, uint32_t lengthB);
int USTR_CompareNoCase(const char16_t* a, uint32_t lengthA, const char16_t* b, uint32_t lengthB);
// Position of the first occurrence of the needle at or after `start`, else
// -1; an empty needle is never found.
int32_t USTR_Find(const char16_t* needle, uint32_t needleLength, const char16_t* haystack,
                  uint32_t start, uint32_t haystackLength);
int32_t USTR_FindNoCase(const char16_t* needle, uint32_t needleLength, const char16_t* haystack,
                        uint32_t start, uint32_t haystackLength);

// A copy in the standard library's string type, for library routines.
std::u16string USTR_ToNative(const TArrayHeader* text);
