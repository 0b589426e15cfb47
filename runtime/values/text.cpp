// Texts: constructors, conversions to and from the ANSI code page, in-place
// edits, comparisons and searches.
#include "runtime/values/text.h"

#include <cstring>

#include "base/case_tables.h"
#include "base/platform.h"
#include "runtime/values/block.h"
#include "runtime/values/mapped_search.h"

namespace {

template <size_t N>
struct TStaticText {
  TArrayHeader Header;
  char16_t Units[N];
};

// Read-only storage: nothing may write a static text, and a stray write
// faults at once instead of silently changing every empty text in the
// process.
constexpr TStaticText<1> kEmptyText = {{2, 1, 1, 0}, {0}};
constexpr TStaticText<2> kBlankText = {{2, 2, 2, 0}, {u' ', 0}};
constexpr TStaticText<2> kFullStopText = {{2, 2, 2, 0}, {u'.', 0}};
constexpr TStaticText<3> kTwoQuotesText = {{2, 3, 3, 0}, {u'"', u'"', 0}};

// The header type is mutable because dynamic texts share it; static texts
// are only ever read (every writer copies them first).
PArrayHeader Shared(const TArrayHeader& header) {
  return const_cast<PArrayHeader>(&header);
}

// A text's units, or an empty run for a null text (so no arithmetic on null).
const char16_t* UnitsOf(const TArrayHeader* text) {
  return text == nullptr ? kEmptyText.Units : USTR_Chars(text);
}

void CopyUnits(char16_t* to, const char16_t* from, uint32_t n) {
  if (n != 0) std::memcpy(to, from, size_t(n) * sizeof(char16_t));
}

}  // namespace

PArrayHeader USTR_Empty() {
  return Shared(kEmptyText.Header);
}
PArrayHeader USTR_Blank() {
  return Shared(kBlankText.Header);
}
PArrayHeader USTR_FullStop() {
  return Shared(kFullStopText.Header);
}
PArrayHeader USTR_TwoQuotes() {
  return Shared(kTwoQuotesText.Header);
}

PArrayHeader USTR_New(uint32_t length) {
  if (length == UINT32_MAX) return nullptr;  // no room for the terminator
  // Zero-filled, so the terminator is already in place.
  return UA_New(length + 1, sizeof(char16_t));
}

PArrayHeader USTR_FromBuffer(const char16_t* units, uint32_t length) {
  if (length == 0) return USTR_Empty();
  PArrayHeader text = USTR_New(length);
  if (text != nullptr) CopyUnits(USTR_Chars(text), units, length);
  return text;
}

PArrayHeader USTR_FromPWideChar(const char16_t* s) {
  if (s == nullptr) return USTR_Empty();
  size_t length = std::char_traits<char16_t>::length(s);
  if (length >= UINT32_MAX) return nullptr;
  return USTR_FromBuffer(s, uint32_t(length));
}

bool USTR_SetLength(PArrayHeader* slot, uint32_t length) {
  if (*slot == nullptr) {
    PArrayHeader text = USTR_New(length);
    if (text == nullptr) return false;
    *slot = text;
    return true;
  }
  if (length == UINT32_MAX || !UA_SetCount(slot, length + 1)) return false;
  // A shrink leaves old data at the new end.
  USTR_Chars(*slot)[length] = 0;
  return true;
}

PArrayHeader USTR_Clone(PArrayHeader text) {
  if (text == nullptr || UA_IsStatic(text)) return text;
  return USTR_FromBuffer(USTR_Chars(text), USTR_Length(text));
}

PArrayHeader USTR_FromBB(const TArrayHeader* block) {
  uint32_t n = BB_Length(block);
  if (n == 0) return USTR_Empty();
  const uint8_t* bytes = UA_Data(block);
  uint32_t units = PlatformAnsiToWide(bytes, n, nullptr, 0);
  // Bytes always give at least one unit; none means the conversion failed.
  if (units == 0) return nullptr;
  PArrayHeader text = USTR_New(units);
  if (text == nullptr) return nullptr;
  if (PlatformAnsiToWide(bytes, n, USTR_Chars(text), units) != units) UA_Free(&text);
  return text;
}

PArrayHeader BB_FromUSTR(const TArrayHeader* text) {
  uint32_t n = USTR_Length(text);
  if (n == 0) return BB_Empty();
  const char16_t* units = USTR_Chars(text);
  uint32_t bytes = PlatformWideToAnsi(units, n, nullptr, 0);
  // Units always give at least one byte ('?' at worst); none means failure.
  if (bytes == 0) return nullptr;
  PArrayHeader block = BB_New(bytes);
  if (block == nullptr) return nullptr;
  if (PlatformWideToAnsi(units, n, UA_Data(block), bytes) != bytes) UA_Free(&block);
  return block;
}

PArrayHeader USTR_Copy(const TArrayHeader* text, uint32_t start, uint32_t n) {
  uint32_t length = USTR_Length(text);
  if (start >= length) return USTR_Empty();
  return USTR_FromBuffer(USTR_Chars(text) + start, UMin(n, length - start));
}

bool USTR_Append2(PArrayHeader* slot, const TArrayHeader* a, const TArrayHeader* b) {
  const TArrayHeader* old = *slot;
  uint32_t length = USTR_Length(old);
  uint32_t lengthA = USTR_Length(a);
  uint32_t lengthB = USTR_Length(b);
  if (lengthA == 0 && lengthB == 0) {
    if (*slot == nullptr) *slot = USTR_Empty();
    return true;
  }
  uint64_t total = uint64_t(length) + lengthA + lengthB;
  if (total >= UINT32_MAX || !USTR_SetLength(slot, uint32_t(total))) return false;
  char16_t* units = USTR_Chars(*slot);
  // A part that is the slot's own text may have moved: its units are now the
  // first `length` units of the slot, which the growth kept.
  CopyUnits(units + length, a == old ? units : UnitsOf(a), lengthA);
  CopyUnits(units + length + lengthA, b == old ? units : UnitsOf(b), lengthB);
  return true;
}

bool USTR_Quote(PArrayHeader* slot) {
  uint32_t length = USTR_Length(*slot);
  if (length == 0 || (length == 1 && USTR_Chars(*slot)[0] == u'"')) {
    UA_Free(slot);
    *slot = USTR_TwoQuotes();
    return true;
  }
  const char16_t* units = USTR_Chars(*slot);
  uint32_t front = units[0] != u'"' ? 1 : 0;
  uint32_t back = units[length - 1] != u'"' ? 1 : 0;
  if (front + back == 0) return true;
  uint32_t quoted = length + front + back;
  if (!USTR_SetLength(slot, quoted)) return false;
  char16_t* chars = USTR_Chars(*slot);
  if (front != 0) {
    std::memmove(chars + 1, chars, size_t(length) * sizeof(char16_t));
    chars[0] = u'"';
  }
  if (back != 0) chars[quoted - 1] = u'"';
  return true;
}

bool USTR_AddPathDelim(PArrayHeader* slot) {
  uint32_t length = USTR_Length(*slot);
  if (length != 0) {
    char16_t last = USTR_Chars(*slot)[length - 1];
    if (last == u'\\' || last == u'/') return true;
  }
  if (!USTR_SetLength(slot, length + 1)) return false;
  USTR_Chars(*slot)[length] = u'\\';
  return true;
}

int USTR_Compare(const char16_t* a, uint32_t lengthA, const char16_t* b, uint32_t lengthB) {
  return CompareMapped(a, lengthA, b, lengthB, TIdentityMap{});
}

int USTR_CompareNoCase(const char16_t* a, uint32_t lengthA, const char16_t* b, uint32_t lengthB) {
  return CompareMapped(a, lengthA, b, lengthB, TTableMap<char16_t>{UpperCaseTable()});
}

int32_t USTR_Find(const char16_t* needle, uint32_t needleLength, const char16_t* haystack,
                  uint32_t start, uint32_t haystackLength) {
  return FindMapped(needle, needleLength, haystack, start, haystackLength, TIdentityMap{});
}

int32_t USTR_FindNoCase(const char16_t* needle, uint32_t needleLength, const char16_t* haystack,
                        uint32_t start, uint32_t haystackLength) {
  return FindMapped(needle, needleLength, haystack, start, haystackLength,
                    TTableMap<char16_t>{UpperCaseTable()});
}

std::u16string USTR_ToNative(const TArrayHeader* text) {
  return std::u16string(UnitsOf(text), USTR_Length(text));
}
