// The & directives: raw data into the current data section, files embedded
// whole or by size, the icon of a stand-alone program, and the inclusion
// keywords (handled while loading; nothing to do here). Every further token
// of the line is handled by the same directive, in order:
//
//   &FILE      file name   the file's bytes
//   &FILESIZE  file name   the file's size, u64
//   &DB        "text" / 'text' / -128..255      UTF-16 units / ANSI bytes / 1 byte
//   &DW        "text" / -32768..65535           UTF-16 units / 2 bytes
//   &DD        -2147483648..4294967295          4 bytes
//   &DI        64-bit integer                   8 bytes
//   &DF        floating-point number            10 bytes, x87 80-bit
//   &ICON      file name   sets NewIcon (the last one wins)
//
// (the words are the keyword file's; these are the defaults).
#pragma once

#include <cstdint>

#include "compiler/compiler_text.h"
#include "compiler/compiler_types.h"
#include "compiler/tokenizer.h"

// `word` is the line's first token (it starts with "&").
uint32_t CompileDirective(TRawScript* raw, TTextSpan word, TTokenizer& tokens);
