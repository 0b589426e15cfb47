// Texts and lists of texts as the compiler's records hold them. They are
// TGrowArrays, so a record that a host allocates zero-filled already holds
// valid empty texts and lists. A text keeps a zero unit after its last unit
// whenever it has storage, so that it can be handed on as a zero-terminated
// string; Count never includes that zero.
#pragma once

#include <cstdint>

#include "base/grow_array.h"

typedef TGrowArray<char16_t> TCompilerText;  // UTF-16
typedef TGrowArray<char> TCompilerAnsiText;  // 8-bit, in the ANSI code page
typedef TGrowArray<TCompilerText> TCompilerTextList;

// A view of units owned by someone else: a line, a token, a text.
struct TTextSpan {
  const char16_t* Chars;
  uint32_t Length;
};

inline TTextSpan SpanOf(const TCompilerText& text) {
  return {text.Items != nullptr ? text.Items : u"", text.Count};
}
TTextSpan SpanOfZ(const char16_t* zeroTerminated);

// Replaces the text's units (the storage is reused when it suffices).
void TextAssign(TCompilerText& text, const char16_t* chars, uint32_t length);
void TextAppend(TCompilerText& text, const char16_t* chars, uint32_t length);
// The units followed by their zero; u"" for a text without storage.
const char16_t* TextZ(const TCompilerText& text);
void TextFree(TCompilerText& text);

void AnsiAssign(TCompilerAnsiText& text, const char* chars, uint32_t length);
void AnsiFree(TCompilerAnsiText& text);
// The text converted to the ANSI code page (units without a byte become '?').
void AnsiFromSpan(TCompilerAnsiText& text, TTextSpan span);

// Appends a copy of the units as a new last item.
TCompilerText* TextListAdd(TCompilerTextList& list, const char16_t* chars, uint32_t length);
// Frees every item, then the list.
void TextListFree(TCompilerTextList& list);

// Comparison without regard to case: units are mapped through the upper-case
// table first. A proper prefix sorts first.
int CompareNoCase(TTextSpan a, TTextSpan b);
inline bool EqualsNoCase(TTextSpan a, TTextSpan b) {
  return a.Length == b.Length && CompareNoCase(a, b) == 0;
}
// A hash that agrees with EqualsNoCase.
uint64_t HashNoCase(TTextSpan text);
// A hash of bytes, for names compared exactly.
uint64_t HashBytes(const void* bytes, uint32_t length);

bool SpanContains(TTextSpan text, const char16_t* zeroTerminated);
