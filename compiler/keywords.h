// The thirteen words of the source language that are not commands, read from
// CompilerKeywords.txt beside the command-list file. Each line of that file is
// "index,keyword": the index an integer, the keyword everything after the
// first comma, verbatim. Slots the file does not reach keep their defaults;
// slots it reaches without giving them a word are empty, and an empty
// keyword matches no token.
#pragma once

#include <cstdint>

#include "compiler/compiler_text.h"

enum TKeywordSlot : uint32_t {
  kKeywordSection = 0,
  kKeywordCode = 1,
  kKeywordData = 2,
  kKeywordFile = 3,
  kKeywordFileSize = 4,
  kKeywordBytes = 5,
  kKeywordWords = 6,
  kKeywordDoubleWords = 7,
  kKeywordInt64 = 8,
  kKeywordFloat = 9,
  kKeywordInclude = 10,
  kKeywordUses = 11,
  kKeywordIcon = 12,
};
constexpr uint32_t kKeywordCount = 13;

// False when the file cannot be read or a line is invalid; the keywords are
// then unchanged.
bool LoadKeywords(const char16_t* path);
// The same for the decoded text of a keyword file.
bool ParseKeywords(TTextSpan text);
// Back to the built-in words.
void ResetKeywords();

TTextSpan KeywordText(uint32_t slot);
// Case-insensitive comparison, as for command names.
bool KeywordEquals(TTextSpan token, uint32_t slot);

// The keyword file that belongs to a command-list file: CompilerKeywords.txt
// in the same folder (the current folder when the path names none).
void KeywordFilePath(TTextSpan commandListPath, TCompilerText* path);
