#include "compiler/compiler_text.h"

#include <cstring>

#include "base/case_tables.h"
#include "base/platform.h"

namespace {

template <typename C>
void Assign(TGrowArray<C>& text, const C* chars, uint32_t length) {
  if (length == 0xFFFFFFFFu) FatalOutOfMemory();
  GrowArrayReserve(text, length + 1);
  if (length > 0) std::memmove(text.Items, chars, size_t(length) * sizeof(C));
  text.Items[length] = 0;
  text.Count = length;
}

constexpr uint64_t kFnvOffset = 0xCBF29CE484222325ull;
constexpr uint64_t kFnvPrime = 0x100000001B3ull;

}  // namespace

TTextSpan SpanOfZ(const char16_t* zeroTerminated) {
  uint32_t n = 0;
  while (zeroTerminated[n] != 0) ++n;
  return {zeroTerminated, n};
}

void TextAssign(TCompilerText& text, const char16_t* chars, uint32_t length) {
  Assign(text, chars, length);
}

void TextAppend(TCompilerText& text, const char16_t* chars, uint32_t length) {
  if (length > 0xFFFFFFFEu - text.Count) FatalOutOfMemory();
  GrowArrayReserve(text, text.Count + length + 1);
  std::memcpy(text.Items + text.Count, chars, size_t(length) * sizeof(char16_t));
  text.Count += length;
  text.Items[text.Count] = 0;
}

const char16_t* TextZ(const TCompilerText& text) {
  return text.Items != nullptr ? text.Items : u"";
}

void TextFree(TCompilerText& text) {
  GrowArrayFree(text);
}

void AnsiAssign(TCompilerAnsiText& text, const char* chars, uint32_t length) {
  Assign(text, chars, length);
}

void AnsiFree(TCompilerAnsiText& text) {
  GrowArrayFree(text);
}

void AnsiFromSpan(TCompilerAnsiText& text, TTextSpan span) {
  uint32_t n = PlatformWideToAnsi(span.Chars, span.Length, nullptr, 0);
  if (n == 0xFFFFFFFFu) FatalOutOfMemory();
  GrowArrayReserve(text, n + 1);
  n = PlatformWideToAnsi(span.Chars, span.Length, reinterpret_cast<uint8_t*>(text.Items), n);
  text.Items[n] = 0;
  text.Count = n;
}

TCompilerText* TextListAdd(TCompilerTextList& list, const char16_t* chars, uint32_t length) {
  TCompilerText* item = GrowArrayPush(list);
  TextAssign(*item, chars, length);
  return item;
}

void TextListFree(TCompilerTextList& list) {
  for (uint32_t i = 0; i < list.Count; ++i) TextFree(list.Items[i]);
  GrowArrayFree(list);
}

int CompareNoCase(TTextSpan a, TTextSpan b) {
  const char16_t* upper = UpperCaseTable();
  uint32_t n = a.Length < b.Length ? a.Length : b.Length;
  for (uint32_t i = 0; i < n; ++i) {
    char16_t x = upper[a.Chars[i]];
    char16_t y = upper[b.Chars[i]];
    if (x != y) return x < y ? -1 : 1;
  }
  if (a.Length == b.Length) return 0;
  return a.Length < b.Length ? -1 : 1;
}

uint64_t HashNoCase(TTextSpan text) {
  const char16_t* upper = UpperCaseTable();
  uint64_t h = kFnvOffset;
  for (uint32_t i = 0; i < text.Length; ++i) {
    h = (h ^ upper[text.Chars[i]]) * kFnvPrime;
  }
  return h;
}

uint64_t HashBytes(const void* bytes, uint32_t length) {
  const uint8_t* p = static_cast<const uint8_t*>(bytes);
  uint64_t h = kFnvOffset;
  for (uint32_t i = 0; i < length; ++i) h = (h ^ p[i]) * kFnvPrime;
  return h;
}

bool SpanContains(TTextSpan text, const char16_t* zeroTerminated) {
  TTextSpan needle = SpanOfZ(zeroTerminated);
  if (needle.Length == 0 || needle.Length > text.Length) return needle.Length == 0;
  for (uint32_t i = 0; i + needle.Length <= text.Length; ++i) {
    if (std::memcmp(text.Chars + i, needle.Chars, size_t(needle.Length) * sizeof(char16_t)) == 0) {
      return true;
    }
  }
  return false;
}
