// The tokenizer of source lines. A blank is any unit below 33. A token that
// starts with a double quote, a single quote or "!" is quoted: it ends at the
// next occurrence of the same character that is followed by a space or stands
// last on the line, and two such characters in a row inside it do not end it.
// Any other token runs to the next blank. Tokens keep their quotes.
#pragma once

#include <cstdint>

#include "compiler/compiler_text.h"

struct TTokenizer {
  TTextSpan Line;
  uint32_t Pos;  // index of the next unit to look at
};

enum TTokenResult : uint8_t {
  kTokenNone = 0,  // the line has no more tokens
  kTokenFound = 1,
  kTokenUnterminated = 2,  // a quoted token without its proper end; the line ends here
};

inline TTokenizer StartTokens(TTextSpan line) {
  return {line, 0};
}

TTokenResult NextToken(TTokenizer& t, TTextSpan* token);
// The same, but a token that is exactly ";" starts a comment that runs to the
// end of the line.
TTokenResult NextStatementToken(TTokenizer& t, TTextSpan* token);

inline bool IsBlank(char16_t c) {
  return c < 33;
}
