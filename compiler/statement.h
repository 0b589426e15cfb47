// Statements: a command name followed by its parameters. The instruction is
// the command's code (u32) and one typed parameter per token:
//
//   token          allowed kind needed       written
//   $              default                   kind 0
//   .              end                       kind 10, and the list ends
//   !hex!          block                     block in "LDS", kind 5
//   "text"         text, or block with the   text in "LDS", kind 13
//                  command's text flag
//   "text"         block                     the text's UTF-16 bytes as a block, kind 5
//   #D.M.Y,...     integer                   kind 1, the file time
//   %n             integer                   kind 1
//   'text'         block or text             the 8-bit text as a block, kind 5
//   *x             extended                  kind 2
//   +n, -n         -                         n in its smallest form
//   @n, @_n        -                         kind 9, variable n (@_n: of the local frame)
//   ^label         -                         kind 7 label slot, fixed up later
//   _n             -                         kind 7, n with bit 31 set
//   ~c, ~~c        -                         kind 11 ANSI byte, kind 12 UTF-16 unit
//   anything else  -                         an integer in its smallest form, else kind 2
//
// Smallest form: -128..127 kind 11; -32768..32767 kind 12; 0..4294967295
// kind 7; else kind 1.
#pragma once

#include <cstdint>

#include "compiler/command_list.h"
#include "compiler/compiler_types.h"
#include "compiler/tokenizer.h"

// Compiles the rest of a statement line (after the command name) into the
// current section.
uint32_t CompileStatement(TRawScript* raw, const TCmdInfo& command, TTokenizer& tokens);

// Encodes one parameter token. `endReached` is set by ".".
uint32_t CompileParam(TRawScript* raw, TTextSpan token, TPTypes allowed, bool compileToUnicode,
                      bool* endReached);

// The kinds allowed at 1-based parameter position `position`.
TPTypes AllowedKinds(const TCmdInfo& command, uint32_t position);
