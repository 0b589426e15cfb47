#include "compiler/tokenizer.h"

namespace {

bool IsQuote(char16_t c) {
  return c == u'"' || c == u'\'' || c == u'!';
}

// The index of the closing quote of the token that starts at `start`, or
// `line.Length` when the token is unterminated.
uint32_t FindClosingQuote(TTextSpan line, uint32_t start) {
  const char16_t quote = line.Chars[start];
  const uint32_t n = line.Length;
  uint32_t i = start + 1;
  while (i < n) {
    if (line.Chars[i] != quote) {
      ++i;
      continue;
    }
    if (i + 1 == n || line.Chars[i + 1] == u' ') return i;
    if (line.Chars[i + 1] != quote) return n;  // followed by some other character
    if (i + 2 == n) return n;                  // a pair cannot end the line
    i += 2;
  }
  return n;
}

}  // namespace

TTokenResult NextToken(TTokenizer& t, TTextSpan* token) {
  const TTextSpan line = t.Line;
  while (t.Pos < line.Length && IsBlank(line.Chars[t.Pos])) ++t.Pos;
  if (t.Pos >= line.Length) return kTokenNone;
  const uint32_t start = t.Pos;
  if (IsQuote(line.Chars[start])) {
    uint32_t close = FindClosingQuote(line, start);
    if (close == line.Length) {
      t.Pos = line.Length;
      *token = {line.Chars + start, 0};
      return kTokenUnterminated;
    }
    t.Pos = close + 1;
  } else {
    while (t.Pos < line.Length && !IsBlank(line.Chars[t.Pos])) ++t.Pos;
  }
  *token = {line.Chars + start, t.Pos - start};
  return kTokenFound;
}

TTokenResult NextStatementToken(TTokenizer& t, TTextSpan* token) {
  TTokenResult result = NextToken(t, token);
  if (result == kTokenFound && token->Length == 1 && token->Chars[0] == u';') {
    t.Pos = t.Line.Length;
    return kTokenNone;
  }
  return result;
}
