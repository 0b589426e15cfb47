// The command table as the command-list generator sees it: the rows of
// runtime/commands/command_table.def parsed and checked, and the files
// written from them. The command-list file and its description texts ship
// with the host; the command reference is docs/commands.md.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// One ZV_COMMAND row, its columns as the preprocessor hands them over.
struct TCommandRow {
  uint32_t Code;
  const char* Name;
  const char* Family;
  const char* Params;  // a count, "OPEN" or "OPEN_U"
  const char* Build;   // "Portable", "Windows" or "NotBuilt"
  const char* Effect;
  const char* ParamList;
};

// One ZV_FAMILY row.
struct TFamilyRow {
  uint32_t Number;
  const char* Name;
  const char* Title;
};

// One parameter position: its flag characters, what it means and its
// default (empty when it has none).
struct TParamDescription {
  std::string Flags;
  std::string Text;
  std::string Default;
};

struct TCommandInfo {
  uint32_t Code = 0;
  std::string Name;
  std::string Build;
  std::string Effect;
  uint32_t Group = 0;
  bool OpenEnded = false;
  bool UnicodeStrings = false;  // OPEN_U: double-quoted literals are texts
  std::vector<TParamDescription> Fixed;
  std::vector<TParamDescription> Repeating;  // open-ended commands only
};

struct TCommandTable {
  std::vector<TFamilyRow> Families;
  std::vector<TCommandInfo> Commands;  // in row order
};

// Parses and checks every row. On the first fault returns false with a
// message that names the command and what is wrong.
bool BuildCommandTable(const std::vector<TFamilyRow>& families,
                       const std::vector<TCommandRow>& rows, TCommandTable* table,
                       std::string* error);

// The same for the rows of runtime/commands/command_table.def, the table the
// runtime is built from (tools/shipped_command_table.cpp).
bool BuildShippedCommandTable(TCommandTable* table, std::string* error);

struct TCommandListFiles {
  std::string CommandList;   // Commands.txt
  std::string Descriptions;  // CommandDescriptions.txt
};

// Code 0, the zero-code trap, is not a command a script names: it is left
// out of both files and of the reference.
TCommandListFiles WriteCommandList(const TCommandTable& table);

std::string WriteCommandReference(const TCommandTable& table);
