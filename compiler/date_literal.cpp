#include "compiler/date_literal.h"

#include "base/platform.h"
#include "compiler/number_literals.h"

namespace {

struct TDateScanner {
  TTextSpan Text;
  uint32_t Pos;

  // Reads one part up to the next non-digit. Parts fill 16-bit fields, so a
  // larger value is refused rather than cut short.
  bool Part(uint16_t* value) {
    uint32_t start = Pos;
    while (Pos < Text.Length && Text.Chars[Pos] >= u'0' && Text.Chars[Pos] <= u'9') ++Pos;
    uint64_t v = 0;
    if (!ParseDecimal({Text.Chars + start, Pos - start}, 0xFFFF, &v)) return false;
    *value = uint16_t(v);
    return true;
  }
  bool AtEnd() const { return Pos == Text.Length; }
  bool Take(char16_t c) {
    if (Pos >= Text.Length || Text.Chars[Pos] != c) return false;
    ++Pos;
    return true;
  }
};

// Each optional part is introduced by its separator; the value may end
// after the year and after every later part.
bool ScanDate(TDateScanner& s, TCalendarTime* t) {
  if (!s.Part(&t->Day) || !s.Take(u'.') || !s.Part(&t->Month) || !s.Take(u'.') ||
      !s.Part(&t->Year)) {
    return false;
  }
  if (s.AtEnd()) return true;
  if (!s.Take(u',') || !s.Part(&t->Hour)) return false;
  if (s.AtEnd()) return true;
  if (!s.Take(u':') || !s.Part(&t->Minute)) return false;
  if (s.AtEnd()) return true;
  if (!s.Take(u':') || !s.Part(&t->Second)) return false;
  if (s.AtEnd()) return true;
  return s.Take(u'.') && s.Part(&t->Milliseconds) && s.AtEnd();
}

}  // namespace

bool ParseDateLiteral(TTextSpan text, uint64_t* fileTime) {
  TDateScanner scanner{text, 0};
  TCalendarTime time{};
  return ScanDate(scanner, &time) && PlatformCalendarToFileTime(time, fileTime);
}
