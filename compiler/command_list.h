// The command list: for every script command its code, name, parameter
// count and what each parameter position accepts, read from the command-list
// file that the host names. The list is process-wide: loaded before
// compilations and only read by them.
//
// File format: one command per line in the ANSI code page, no comment or
// blank lines. Fields are separated by commas; blanks at the start of a field
// are skipped, blanks at its end kept; commas inside a pair of ' or " quotes
// belong to the field (the quotes too); empty fields are dropped. Fields:
//   code, group, parameter limit (a number, "?" open-ended, "$" open-ended with
//   double-quoted literals compiled as texts), name, description index, then
//   one description per parameter position:
//   flags + * ! # $ (kinds integer, extended, block, DWORD, text), d (default
//   allowed), e (end allowed), n (may not exist); then the parts (input
//   method), [description index] (required), {data-controls index} and
//   `default value`.
#pragma once

#include <cstdint>

#include "base/grow_array.h"
#include "base/image_format.h"
#include "base/value_kinds.h"
#include "compiler/compiler_text.h"

// A set of TParamType: bit n stands for ordinal n.
typedef uint16_t TPTypes;
constexpr TPTypes KindBit(TParamType kind) {
  return TPTypes(1u << kind);
}

constexpr uint32_t kOpenEndedParams = kOpenEnded;

struct TParamInfo {
  TPTypes PType;
  bool MayBeDefault;
  bool MayBeEnd;
  bool MayNotExist;
  TCompilerText InputMethod;
  TCompilerText DefaultValue;
  int32_t DescriptionIndex;
  int32_t DataControlsIndex;  // -1 when absent
};

struct TCmdInfo {
  uint32_t CmdCode;
  uint32_t CmdGroupCode;
  uint32_t MinParamCount;  // the number of parameter descriptions
  uint32_t MaxParamCount;  // parameters a statement supplies; kOpenEndedParams: any
  TCompilerText CmdName;
  uint32_t DescrIdx;
  TGrowArray<TParamInfo> ParamInfo;
  bool CompileToUnicodeStrings;
};

typedef TGrowArray<TCmdInfo> TCmdInfoList;

// 0 on success, -1 when the file cannot be opened or read, or the 1-based
// number of the first invalid line (the list is then empty). An empty file
// fails at line 1.
int32_t LoadCommandList(const char16_t* path);
// The same for the bytes of a command-list file already in memory.
int32_t ParseCommandList(const uint8_t* bytes, uint32_t length);
// The command with this name (case ignored), or null.
const TCmdInfo* FindCommand(TTextSpan name);
void FreeCommandList();
const TCmdInfoList& CommandList();
