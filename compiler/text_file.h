// Reading whole files, and turning a file's bytes into text lines. Script,
// module and keyword files select UTF-8 or UTF-16 (either byte order) by a
// byte-order mark and are otherwise in the system ANSI code page; the
// command-list file is always ANSI. CR, LF and CR LF end lines, and a line
// end at the very end of the text does not start another line.
#pragma once

#include <cstdint>

#include "base/grow_array.h"
#include "compiler/compiler_text.h"

enum TFileReadResult : uint8_t {
  kFileRead = 0,
  kFileCannotOpen = 1,  // missing, or not openable
  kFileCannotRead = 2,  // opened, but its size or bytes cannot be read (or it is too large)
};

// Replaces `bytes` with the whole file.
TFileReadResult ReadFileBytes(const char16_t* path, TGrowArray<uint8_t>* bytes);

bool HasByteOrderMark(const uint8_t* bytes, uint32_t length);
// Decodes with byte-order-mark detection (the mark itself is dropped).
void DecodeText(const uint8_t* bytes, uint32_t length, TCompilerText* text);
// Decodes bytes of the ANSI code page.
void DecodeAnsi(const uint8_t* bytes, uint32_t length, TCompilerText* text);

// Calls visit(span) for each line of the text that the bytes decode to (as
// DecodeText), in order. The spans are valid during the call only.
template <typename Visit>
void ForEachDecodedLine(const uint8_t* bytes, uint32_t length, Visit visit);

// Calls visit(span) for each line of the text, in order.
template <typename Visit>
void ForEachLine(TTextSpan text, Visit visit) {
  uint32_t start = 0;
  uint32_t i = 0;
  while (i < text.Length) {
    char16_t c = text.Chars[i];
    if (c != u'\r' && c != u'\n') {
      ++i;
      continue;
    }
    visit(TTextSpan{text.Chars + start, i - start});
    i += (c == u'\r' && i + 1 < text.Length && text.Chars[i + 1] == u'\n') ? 2 : 1;
    start = i;
  }
  if (start < text.Length) visit(TTextSpan{text.Chars + start, text.Length - start});
}

// The end of the ANSI piece that starts at `start` and holds about `size`
// bytes: just after a line end whose line does not end in a byte of 0x80 or
// more, so that no character of any ANSI code page spans two pieces; or
// `length`.
uint32_t AnsiPieceEnd(const uint8_t* bytes, uint32_t length, uint32_t start, uint32_t size);

template <typename Visit>
void ForEachDecodedLine(const uint8_t* bytes, uint32_t length, Visit visit) {
  TCompilerText text{};
  if (HasByteOrderMark(bytes, length)) {
    DecodeText(bytes, length, &text);
    ForEachLine(SpanOf(text), visit);
  } else {
    // A piece at a time: a script of millions of lines is not turned into
    // one text twice its size before its lines are copied out of it.
    constexpr uint32_t kPieceBytes = 1 << 16;
    for (uint32_t start = 0; start < length;) {
      const uint32_t end = AnsiPieceEnd(bytes, length, start, kPieceBytes);
      DecodeAnsi(bytes + start, end - start, &text);
      ForEachLine(SpanOf(text), visit);
      start = end;
    }
  }
  TextFree(text);
}
