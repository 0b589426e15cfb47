// The byte and UTF-16 forms share one template per routine; a small traits
// record says how items of each kind are made and added to their list.
#include "runtime/values/text_parser.h"

#include <cstring>

#include "base/status.h"
#include "runtime/values/block.h"
#include "runtime/values/list.h"
#include "runtime/values/mapped_search.h"
#include "runtime/values/text.h"

namespace {

struct TTextItems {
  typedef char16_t Unit;
  static PArrayHeader New(uint32_t length) { return USTR_New(length); }
  static Unit* Units(PArrayHeader item) { return USTR_Chars(item); }
  static uint32_t Add(PArrayHeader* list, const Unit* units, uint32_t length) {
    return UStrL_AddBuffer(list, units, int32_t(length));
  }
};

struct TBlockItems {
  typedef uint8_t Unit;
  static PArrayHeader New(uint32_t length) { return BB_New(length); }
  static Unit* Units(PArrayHeader item) { return UA_Data(item); }
  static uint32_t Add(PArrayHeader* list, const Unit* units, uint32_t length) {
    return BBL_AddBuffer(list, units, length);
  }
};

template <typename U>
int64_t Find(const U* needle, uint32_t needleLength, const U* source, uint32_t start,
             uint32_t length) {
  return FindMapped(needle, needleLength, source, start, length, TIdentityMap{});
}

template <typename U>
uint32_t Repeats(const U* source, uint32_t length, const U* pattern, uint32_t position,
                 uint32_t patternLength) {
  if (patternLength == 0) return 0;
  uint32_t count = 0;
  while (position <= length && patternLength <= length - position &&
         std::memcmp(source + position, pattern, size_t(patternLength) * sizeof(U)) == 0) {
    ++count;
    position += patternLength;
  }
  return count;
}

// A quote run: where it starts and how many copies of the quote it holds.
struct TRun {
  uint32_t Start;
  uint32_t Count;
};

// The next run of odd length at or after `from` that ends by `to`; false
// when there is none.
template <typename U>
bool NextOddRun(const U* source, uint32_t from, uint32_t to, const U* quote, uint32_t quoteLength,
                TRun* run) {
  while (true) {
    const int64_t start = Find(quote, quoteLength, source, from, to);
    if (start < 0) return false;
    const uint32_t count = Repeats(source, to, quote, uint32_t(start), quoteLength);
    if (count % 2 == 1) {
      *run = {uint32_t(start), count};
      return true;
    }
    from = uint32_t(start) + count * quoteLength;
  }
}

template <typename U>
uint32_t CountOddRuns(const U* source, uint32_t from, uint32_t to, const U* quote,
                      uint32_t quoteLength) {
  uint32_t odd = 0;
  TRun run;
  while (NextOddRun(source, from, to, quote, quoteLength, &run)) {
    ++odd;
    from = run.Start + run.Count * quoteLength;
  }
  return odd;
}

template <typename Items>
uint32_t SplitUnits(const typename Items::Unit* source, uint32_t length,
                    const typename Items::Unit* delimiter, uint32_t delimiterLength, bool keepEmpty,
                    PArrayHeader* list) {
  *list = xL_New();
  if (*list == nullptr) return kStatusOutOfMemory;
  uint32_t from = 0;
  while (true) {
    const int64_t found = Find(delimiter, delimiterLength, source, from, length);
    const uint32_t to = found < 0 ? length : uint32_t(found);
    if (keepEmpty || to > from) {
      const uint32_t status = Items::Add(list, source + from, to - from);
      if (status != kStatusOk) return status;
    }
    if (found < 0) return kStatusOk;
    from = to + delimiterLength;
  }
}

// Where the piece that starts at `start` ends: at the first delimiter
// outside quotes, or at the end of the source.
template <typename U>
uint32_t QuotedPieceEnd(const U* source, uint32_t length, uint32_t start, const U* delimiter,
                        uint32_t delimiterLength, const U* quote, uint32_t quoteLength) {
  uint32_t searchFrom = start;
  uint32_t oddRuns = 0;
  while (true) {
    const int64_t found = Find(delimiter, delimiterLength, source, searchFrom, length);
    if (found < 0) return length;
    const uint32_t at = uint32_t(found);
    oddRuns += CountOddRuns(source, searchFrom, at, quote, quoteLength);
    if (oddRuns % 2 == 0) return at;
    searchFrom = at + delimiterLength;
  }
}

template <typename Items>
uint32_t SplitQuotedUnits(const typename Items::Unit* source, uint32_t length,
                          const typename Items::Unit* delimiter, uint32_t delimiterLength,
                          const typename Items::Unit* quote, uint32_t quoteLength,
                          PArrayHeader* list) {
  *list = xL_New();
  if (*list == nullptr) return kStatusOutOfMemory;
  uint32_t start = 0;
  while (start < length) {
    start += delimiterLength * Repeats(source, length, delimiter, start, delimiterLength);
    const uint32_t end =
        QuotedPieceEnd(source, length, start, delimiter, delimiterLength, quote, quoteLength);
    if (end > start) {
      const uint32_t status = Items::Add(list, source + start, end - start);
      if (status != kStatusOk) return status;
    }
    start = end;
  }
  return kStatusOk;
}

// Copies units [from, to) to `out` (when not null) with every doubled
// quote turned into one, and returns how many units that gives. A quote
// left over from an odd run is kept as it is.
template <typename U>
uint32_t Unescape(const U* source, uint32_t from, uint32_t to, const U* quote, uint32_t quoteLength,
                  U* out) {
  uint32_t written = 0;
  for (uint32_t p = from; p < to;) {
    const uint32_t run = Repeats(source, to, quote, p, quoteLength);
    const uint32_t units = run == 0 ? 1 : (run + 1) / 2 * quoteLength;
    if (out != nullptr) {
      if (run == 0) {
        out[written] = source[p];
      } else {
        for (uint32_t i = 0; i < units; i += quoteLength) {
          std::memcpy(out + written + i, quote, size_t(quoteLength) * sizeof(U));
        }
      }
    }
    written += units;
    p += run == 0 ? 1 : run * quoteLength;
  }
  return written;
}

template <typename Items>
uint32_t AddUnescaped(const typename Items::Unit* source, uint32_t from, uint32_t to,
                      const typename Items::Unit* quote, uint32_t quoteLength, PArrayHeader* list) {
  const uint32_t length =
      Unescape(source, from, to, quote, quoteLength, static_cast<typename Items::Unit*>(nullptr));
  if (length == to - from) return Items::Add(list, source + from, length);
  PArrayHeader item = Items::New(length);
  if (item == nullptr) return kStatusOutOfMemory;
  Unescape(source, from, to, quote, quoteLength, Items::Units(item));
  if (xL_Add(list, item)) return kStatusOk;
  UA_Free(&item);
  return kStatusOutOfMemory;
}

template <typename Items>
uint32_t ExtractQuotedUnits(const typename Items::Unit* source, uint32_t length,
                            const typename Items::Unit* quote, uint32_t quoteLength,
                            PArrayHeader* list) {
  *list = xL_New();
  if (*list == nullptr) return kStatusOutOfMemory;
  TRun open, close;
  uint32_t from = 0;
  while (NextOddRun(source, from, length, quote, quoteLength, &open) &&
         NextOddRun(source, open.Start + open.Count * quoteLength, length, quote, quoteLength,
                    &close)) {
    // The closing quote is the last of its run; the pairs before it are
    // escaped quotes of the content.
    const uint32_t closing = close.Start + (close.Count - 1) * quoteLength;
    const uint32_t status =
        AddUnescaped<Items>(source, open.Start + quoteLength, closing, quote, quoteLength, list);
    if (status != kStatusOk) return status;
    from = closing + quoteLength;
  }
  return kStatusOk;
}

}  // namespace

uint32_t CountRepeats(const char16_t* source, uint32_t length, const char16_t* pattern,
                      uint32_t position, uint32_t patternLength) {
  return Repeats(source, length, pattern, position, patternLength);
}

uint32_t CountRepeats(const uint8_t* source, uint32_t length, const uint8_t* pattern,
                      uint32_t position, uint32_t patternLength) {
  return Repeats(source, length, pattern, position, patternLength);
}

uint32_t Split(const char16_t* source, uint32_t length, const char16_t* delimiter,
               uint32_t delimiterLength, bool keepEmpty, PArrayHeader* list) {
  return SplitUnits<TTextItems>(source, length, delimiter, delimiterLength, keepEmpty, list);
}

uint32_t Split(const uint8_t* source, uint32_t length, const uint8_t* delimiter,
               uint32_t delimiterLength, bool keepEmpty, PArrayHeader* list) {
  return SplitUnits<TBlockItems>(source, length, delimiter, delimiterLength, keepEmpty, list);
}

uint32_t SplitQuoted(const char16_t* source, uint32_t length, const char16_t* delimiter,
                     uint32_t delimiterLength, const char16_t* quote, uint32_t quoteLength,
                     PArrayHeader* list) {
  return SplitQuotedUnits<TTextItems>(source, length, delimiter, delimiterLength, quote,
                                      quoteLength, list);
}

uint32_t SplitQuoted(const uint8_t* source, uint32_t length, const uint8_t* delimiter,
                     uint32_t delimiterLength, const uint8_t* quote, uint32_t quoteLength,
                     PArrayHeader* list) {
  return SplitQuotedUnits<TBlockItems>(source, length, delimiter, delimiterLength, quote,
                                       quoteLength, list);
}

uint32_t ExtractQuoted(const char16_t* source, uint32_t length, const char16_t* quote,
                       uint32_t quoteLength, PArrayHeader* list) {
  return ExtractQuotedUnits<TTextItems>(source, length, quote, quoteLength, list);
}

uint32_t ExtractQuoted(const uint8_t* source, uint32_t length, const uint8_t* quote,
                       uint32_t quoteLength, PArrayHeader* list) {
  return ExtractQuotedUnits<TBlockItems>(source, length, quote, quoteLength, list);
}
