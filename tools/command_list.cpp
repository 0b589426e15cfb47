// Parses the parameter descriptions of the command table, refuses those from
// which a user would write statements that do not compile or that mean
// something else than the command reads, and writes the command-list file,
// its description texts and the command reference.
#include "tools/command_list.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <set>

namespace {

constexpr char kKindFlags[] = "+*!#$@";
constexpr char kAllFlags[] = "+*!#$@den";
// A default is copied into the command-list file, where these characters
// would split the line or be taken for one of the bracketed parts.
constexpr char kDefaultForbidden[] = ",()[]{}`'\"";
constexpr char kRepeatMarker[] = "...";

bool IsPrintableAscii(const std::string& text) {
  return std::all_of(text.begin(), text.end(), [](char c) { return c >= 32 && c < 127; });
}

bool HasFlag(const TParamDescription& param, char flag) {
  return param.Flags.find(flag) != std::string::npos;
}

std::vector<std::string> SplitEntries(const std::string& list) {
  std::vector<std::string> entries;
  if (list.empty()) return entries;
  size_t start = 0;
  for (;;) {
    size_t end = list.find(';', start);
    entries.push_back(list.substr(start, end == std::string::npos ? end : end - start));
    if (end == std::string::npos) return entries;
    start = end + 1;
  }
}

bool CheckFlags(const std::string& flags, std::string* error) {
  std::set<char> seen;
  for (char c : flags) {
    if (std::string(kAllFlags).find(c) == std::string::npos) {
      *error = std::string("unknown flag '") + c + "'";
      return false;
    }
    if (!seen.insert(c).second) {
      *error = std::string("flag '") + c + "' given twice";
      return false;
    }
  }
  if (flags.find_first_of(kKindFlags) == std::string::npos) {
    *error = "no kind flag (one of + * ! # $ @)";
    return false;
  }
  return true;
}

bool CheckDefault(const TParamDescription& param, std::string* error) {
  bool hasDefault = !param.Default.empty();
  if (HasFlag(param, 'd') != hasDefault) {
    *error = hasDefault ? "a default without the d flag" : "the d flag without a `default`";
    return false;
  }
  if (param.Default.find_first_of(kDefaultForbidden) != std::string::npos) {
    *error = "default `" + param.Default + "` holds one of " + kDefaultForbidden;
    return false;
  }
  return true;
}

// One entry: FLAGS, one blank, the description, optionally `default`.
bool ParseParam(const std::string& entry, TParamDescription* param, std::string* error) {
  size_t blank = entry.find(' ');
  if (blank == std::string::npos || blank == 0 || blank + 1 == entry.size()) {
    *error = "\"" + entry + "\" is not FLAGS, a blank and a description";
    return false;
  }
  param->Flags = entry.substr(0, blank);
  std::string text = entry.substr(blank + 1);
  if (text.back() == '`') {
    size_t open = text.size() < 2 ? std::string::npos : text.rfind('`', text.size() - 2);
    if (open == std::string::npos) {
      *error = "\"" + entry + "\" has an unpaired `";
      return false;
    }
    param->Default = text.substr(open + 1, text.size() - open - 2);
    text.erase(open);
    while (!text.empty() && text.back() == ' ') text.pop_back();
  }
  param->Text = text;
  if (text.empty() || text.find('`') != std::string::npos) {
    *error = "\"" + entry + "\" has no description or a stray `";
    return false;
  }
  if (!IsPrintableAscii(entry)) {
    *error = "\"" + entry + "\" is not printable ASCII";
    return false;
  }
  return CheckFlags(param->Flags, error) && CheckDefault(*param, error);
}

bool ParseParamList(const std::string& list, TCommandInfo* command, std::string* error) {
  bool repeating = false;
  for (const std::string& entry : SplitEntries(list)) {
    if (entry == kRepeatMarker) {
      if (!command->OpenEnded || repeating) {
        *error = "\"...\" belongs once into an open-ended command";
        return false;
      }
      repeating = true;
      continue;
    }
    TParamDescription param;
    if (!ParseParam(entry, &param, error)) return false;
    (repeating ? command->Repeating : command->Fixed).push_back(param);
  }
  if (command->OpenEnded && command->Repeating.empty()) {
    *error = "an open-ended command needs \"...\" and the repeating group after it";
    return false;
  }
  return true;
}

// A double-quoted literal compiles to a text where the command is OPEN_U or
// the position is described and takes no blocks; otherwise to a block of
// UTF-16 bytes. Beyond the described positions every kind is allowed, so in
// the repeating group of an open-ended command only OPEN_U makes it a text.
bool CheckStringKinds(const TParamDescription& param, bool described, bool unicodeStrings,
                      std::string* error) {
  bool block = HasFlag(param, '!');
  bool text = HasFlag(param, '$');
  bool quotedIsText = unicodeStrings || (described && !block);
  if (text && !quotedIsText) {
    *error = "\"" + param.Text + "\" takes texts, but a double-quoted literal would be a block" +
             (described ? " (it also takes !)" : " (the command needs OPEN_U)");
    return false;
  }
  if (block && !text && quotedIsText) {
    *error =
        "\"" + param.Text + "\" takes only blocks, but OPEN_U makes double-quoted literals texts";
    return false;
  }
  return true;
}

bool CheckStringKinds(const TCommandInfo& command, std::string* error) {
  for (const TParamDescription& param : command.Fixed) {
    if (!CheckStringKinds(param, true, command.UnicodeStrings, error)) return false;
  }
  for (const TParamDescription& param : command.Repeating) {
    if (!CheckStringKinds(param, false, command.UnicodeStrings, error)) return false;
  }
  return true;
}

// "." at a position ends the list: that position and every later one take
// their defaults.
bool CheckEndMarkers(const TCommandInfo& command, std::string* error) {
  bool mayEnd = false;
  for (const TParamDescription& param : command.Fixed) {
    bool end = HasFlag(param, 'e');
    if (end && !HasFlag(param, 'd')) {
      *error = "\"" + param.Text + "\" may end the list but has no default";
      return false;
    }
    if (mayEnd && !end) {
      *error = "\"" + param.Text + "\" follows a position that may end the list, so it needs e";
      return false;
    }
    mayEnd = end;
  }
  return true;
}

bool ParseParams(const std::string& params, TCommandInfo* command, uint32_t* count,
                 std::string* error) {
  command->OpenEnded = params == "OPEN" || params == "OPEN_U";
  command->UnicodeStrings = params == "OPEN_U";
  if (command->OpenEnded) return true;
  if (params.empty() || params.size() > 3 ||
      !std::all_of(params.begin(), params.end(), [](char c) { return std::isdigit(c) != 0; })) {
    *error = "Params \"" + params + "\" is neither a count nor OPEN or OPEN_U";
    return false;
  }
  *count = static_cast<uint32_t>(std::stoul(params));
  return true;
}

bool BuildCommand(const std::vector<TFamilyRow>& families, const TCommandRow& row,
                  TCommandInfo* command, std::string* error) {
  command->Code = row.Code;
  command->Name = row.Name;
  command->Build = row.Build;
  command->Effect = row.Effect;
  auto family = std::find_if(families.begin(), families.end(), [&](const TFamilyRow& f) {
    return std::string(f.Name) == row.Family;
  });
  if (family == families.end()) {
    *error = std::string("family ") + row.Family + " has no ZV_FAMILY row";
    return false;
  }
  command->Group = family->Number;
  if (command->Build != "Portable" && command->Build != "Windows" && command->Build != "NotBuilt") {
    *error = "Build \"" + command->Build + "\" is not Portable, Windows or NotBuilt";
    return false;
  }
  if (command->Effect.empty() || !IsPrintableAscii(command->Effect)) {
    *error = "the effect is empty or not printable ASCII";
    return false;
  }
  uint32_t count = 0;
  if (!ParseParams(row.Params, command, &count, error) ||
      !ParseParamList(row.ParamList, command, error)) {
    return false;
  }
  if (!command->OpenEnded && command->Fixed.size() != count) {
    *error = "describes " + std::to_string(command->Fixed.size()) + " parameters of " +
             std::to_string(count);
    return false;
  }
  return CheckStringKinds(*command, error) && CheckEndMarkers(*command, error);
}

// Description texts are numbered from 1 in order of first use; equal texts
// share an index.
struct TDescriptionTexts {
  std::map<std::string, uint32_t> IndexOf;
  std::vector<std::string> Texts;
};

uint32_t DescriptionIndex(TDescriptionTexts* texts, const std::string& text) {
  auto found = texts->IndexOf.find(text);
  if (found != texts->IndexOf.end()) return found->second;
  texts->Texts.push_back(text);
  uint32_t index = static_cast<uint32_t>(texts->Texts.size());
  texts->IndexOf.emplace(text, index);
  return index;
}

std::string ParamLimit(const TCommandInfo& command) {
  if (!command.OpenEnded) return std::to_string(command.Fixed.size());
  return command.UnicodeStrings ? "$" : "?";
}

std::string CommandListParam(const TParamDescription& param, uint32_t index) {
  std::string flags = param.Flags;
  flags.erase(std::remove(flags.begin(), flags.end(), '@'), flags.end());
  std::string field = flags + "[" + std::to_string(index) + "]";
  if (!param.Default.empty()) field += "`" + param.Default + "`";
  return field;
}

std::string JoinLines(const std::vector<std::string>& lines) {
  std::string joined;
  for (const std::string& line : lines) {
    if (!joined.empty()) joined += '\n';
    joined += line;
  }
  return joined;
}

bool IsScriptCommand(const TCommandInfo& command) {
  return command.Code != 0;
}

// --- The command reference ---

std::string MarkdownText(const std::string& text) {
  std::string escaped;
  for (char c : text) {
    if (std::string("\\`*_|<>[]").find(c) != std::string::npos) escaped += '\\';
    escaped += c;
  }
  return escaped;
}

std::string KindWords(const std::string& flags) {
  static const std::pair<char, const char*> kWords[] = {{'+', "integer"}, {'*', "float"},
                                                        {'#', "DWORD"},   {'$', "text"},
                                                        {'!', "block"},   {'@', "array variable"}};
  std::string words;
  for (const auto& [flag, word] : kWords) {
    if (flags.find(flag) == std::string::npos) continue;
    if (!words.empty()) words += ", ";
    words += word;
  }
  return words;
}

std::string BuildStatus(const std::string& build) {
  if (build == "Portable") return "built in every build";
  if (build == "Windows") return "Windows only (the portable build fails with 1098)";
  return "not built yet: compiles, and fails with 1099 when it runs";
}

std::string ParamNames(const char* prefix, size_t count) {
  std::string names;
  for (size_t i = 1; i <= count; ++i) names += std::string(" ") + prefix + std::to_string(i);
  return names;
}

std::string Synopsis(const TCommandInfo& command) {
  std::string line = "`" + command.Name + ParamNames("p", command.Fixed.size()) + "`";
  auto firstEnd = std::find_if(command.Fixed.begin(), command.Fixed.end(),
                               [](const TParamDescription& p) { return HasFlag(p, 'e'); });
  if (command.OpenEnded) {
    line += ", then any number of `" + ParamNames("r", command.Repeating.size()).substr(1) +
            "`, then `.`";
  }
  if (firstEnd != command.Fixed.end()) {
    line += command.OpenEnded ? "; `.` may also stand" : "; the list may end with `.`";
    line += " from p" + std::to_string(firstEnd - command.Fixed.begin() + 1) + " on";
  }
  return line + ".";
}

std::string ParamRow(const std::string& position, const TParamDescription& param) {
  std::string row = "| " + position + " | " + KindWords(param.Flags) + " | ";
  row += HasFlag(param, 'd') ? "yes" : "";
  row += " | ";
  row += HasFlag(param, 'e') ? "yes" : "";
  row += " | ";
  if (!param.Default.empty()) row += "`" + param.Default + "`";
  return row + " | " + MarkdownText(param.Text) + " |\n";
}

std::string CommandSection(const TCommandInfo& command) {
  std::string section = "### " + command.Name + "\n\n";
  section += "Code " + std::to_string(command.Code) + ", " + BuildStatus(command.Build) + ".\n\n";
  section += MarkdownText(command.Effect) + ".\n\n";
  section += "Statement: " + Synopsis(command) + "\n\n";
  if (command.Fixed.empty() && command.Repeating.empty()) return section;
  section += "| | Kind | `$` | `.` | Default | Meaning |\n|---|---|---|---|---|---|\n";
  for (size_t i = 0; i < command.Fixed.size(); ++i) {
    section += ParamRow("p" + std::to_string(i + 1), command.Fixed[i]);
  }
  for (size_t i = 0; i < command.Repeating.size(); ++i) {
    section += ParamRow("r" + std::to_string(i + 1), command.Repeating[i]);
  }
  return section + "\n";
}

std::string Anchor(const std::string& name) {
  std::string anchor;
  for (char c : name) anchor += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return anchor;
}

std::string UpperCase(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

std::string NameIndex(const TCommandTable& table) {
  std::vector<const TCommandInfo*> commands;
  for (const TCommandInfo& command : table.Commands) {
    if (IsScriptCommand(command)) commands.push_back(&command);
  }
  std::sort(commands.begin(), commands.end(), [](const TCommandInfo* a, const TCommandInfo* b) {
    return UpperCase(a->Name) < UpperCase(b->Name);
  });
  std::string index = "## Commands by name\n\n| Command | Code | Family |\n|---|---|---|\n";
  for (const TCommandInfo* command : commands) {
    auto family = std::find_if(table.Families.begin(), table.Families.end(),
                               [&](const TFamilyRow& f) { return f.Number == command->Group; });
    index += "| [" + command->Name + "](#" + Anchor(command->Name) + ") | " +
             std::to_string(command->Code) + " | " + family->Title + " |\n";
  }
  return index + "\n";
}

constexpr char kReferenceIntro[] = R"(# Command reference

<!-- Generated from runtime/commands/command_table.def by tools/gen_command_list.cpp.
     Do not edit: run tools/regen-docs.sh. -->

Every command a script can name, with its code, its parameters and what it
does. The same table gives the command-list file `Commands.txt` that the
compiler reads, so this page and the compiler agree.

## Writing a statement

A statement is one line: the command name, then its parameters separated by
blanks. Command names are not case-sensitive. A `;` token ends the statement;
the rest of the line is a comment.

- A command with a fixed number of parameters takes exactly that many. Where
  the table allows `.`, the end marker `.` may stand in place of a parameter:
  the list ends there, and that parameter and every later one take their
  defaults.
- An open-ended command takes its fixed parameters p1, p2, ..., then any
  number of the repeating group r1, r2, ..., and always ends with `.`.
- `$` stands for a parameter's default where the table allows it (`$FF` is the
  number 255, not the default).

Example:

    GlobalsAlloc 2 .                ; global variables 0 and 1
    WindowFind 0 "Notepad" 1 $ 0 .  ; the handles of the Notepad windows
    ItemCount 0 1                   ; their number into variable 1
    Exit 0

### Writing values

- integer: a number (`42`, `-7`, `$FF`, `0xFF`); `%n` for an explicit 64-bit
  integer; `#D.M.Y`, optionally followed by `,h`, `:m`, `:s` and `.ms`, for a
  date and time as a 64-bit file time (`#31.12.2020,23:59`).
- float: a number with a fraction or an exponent (`1.5`, `2.5e3`), or `*`
  and a number (`*2`, `*-1.5`: a negative float needs the `*`, since a token
  that starts with `-` must be an integer).
- DWORD: a number; `^label` for the address of a label; `_n` for a reference
  to local variable n; `~c` for the 8-bit code of the character c, `~~c` for
  its UTF-16 code.
- text: `"text"` in UTF-16 (inside, `""` is one quote, `#0041` the character
  with that code and `##` a `#`); `'text'` in 8 bits, converted from the ANSI
  code page.
- block: `!0A FF 10!` in hexadecimal; `'text'` as its 8-bit bytes; `"text"` as
  the UTF-16 bytes of the text, two per character.
- array variable: only a variable that holds the array, `@n`.

The compiler checks `$`, `.` and the literals that start with `!`, `"`, `#`,
`%`, `'` or `*` against the kinds a parameter takes, and refuses the others
(error 1006). Plain numbers, `@n`, `_n`, `^label` and `~c` are accepted
anywhere; the command checks them when it runs.

### Variables

Variables are numbered: global variable n, and local variable n of the
running subroutine's frame.

- `@n` and `@_n` pass the current value of global or local variable n: its
  number, text, block or array.
- A parameter described as "variable that receives ..." or "variable holding
  ..." names the variable itself. Write its reference: `n` for global variable
  n, `_n` for local variable n. (`@n` there passes the reference that variable
  n holds.)
- A window parameter names a variable that holds a window handle (a DWORD or
  an integer) or a DWORD array of handles, as the window searches store them.
  Commands that act on one window take the first handle of an array; commands
  that act on each window take all of them.

### Status

Each command is marked as built in every build, built for Windows only (the
portable build fails with status 1098), or not built yet (the statement
compiles, and the command fails with status 1099 when it runs).

## Calling the dialog library

`Tovalind.dll`, shipped beside `zorvat.exe`, asks the user things. A script
calls its four functions with `DllCall` in the default convention; `$` in the
first argument position passes the script context, through which the
library stores results into the variable whose number follows. Each result
is a 32-bit number: `SetDWORD n @n` keeps those bits (-1 reads `$FFFFFFFF`).

    ; a line of text into variable 1: 1 OK, 0 Cancel, -1 close box
    DllCall "Tovalind*InputBox" 0 0 $ "Caption" "Prompt" "initial text" 1 .
    ; buttons named by TAB-separated captions, button 1 focused, 100 pixels
    ; wide in a column (a negative width: in a row): the number pressed, 0
    ; for the close box
    DllCall "Tovalind*MultiButton" 0 0 $ "Caption" "Yes#0009No" 1 100 .
    ; files dropped onto the window, as a text list into variable 1: 1
    ; dropped, 0 Cancel, -1 close box
    DllCall "Tovalind*DragAndDropFile" 0 0 $ "Caption" "Drop files here" 1 .
    ; a form described in one text, run on a thread of its own: 0 running,
    ; -1 a description error (a box says which), -4 not built
    DllCall "Tovalind*Pravek" 0 0 $ "FORM T=""Ask"" #=5 BUTTON T=""Go"" #=6" .

-2 means the library could not find the runtime's store functions, -3 that
the runtime refused a store. A form description names items (`FORM` first,
then `BUTTON`, `EDIT`, `MEMO`, `CHECKBOX`, `RADIOBUTTON`, `LABEL`, `LISTBOX`,
`GROUPBOX`, `FONT`), each followed by `letter=value` parameters: position
`X`, `Y` (pixels, or `LEFT`/`RIGHT`/`TOP`/`BOTTOM`/`CENTER`), size `W`, `H`
(pixels or `AUTO`; a font's `H` in points), text `T="..."` (a quote inside
doubled), styles `S=` and `Z=` (comma-separated style names), `V`, `E`, `R`
(visible, enabled, read-only: `YES`/`NO`), `C` (check state), `I` (identifier
of a check box or font), `P` (parent form), `F` (font identifier), `#` (the
variable that receives event codes) and `@` (the variable that receives the
item's window or font handle). Event codes: 1 the form's close box, 2/4/5
resized/maximised/minimised, 101 moved, 10 a button, check box, radio button
or label clicked, 50/51 a list box selection changed or double-clicked.
`examples/greet.zvs` and `examples/form.zvs` show both.

)";

}  // namespace

bool BuildCommandTable(const std::vector<TFamilyRow>& families,
                       const std::vector<TCommandRow>& rows, TCommandTable* table,
                       std::string* error) {
  table->Families = families;
  table->Commands.clear();
  for (const TCommandRow& row : rows) {
    TCommandInfo command;
    std::string fault;
    if (!BuildCommand(families, row, &command, &fault)) {
      *error = "command " + std::to_string(row.Code) + " " + row.Name + ": " + fault;
      return false;
    }
    table->Commands.push_back(command);
  }
  return true;
}

TCommandListFiles WriteCommandList(const TCommandTable& table) {
  TDescriptionTexts texts;
  std::vector<std::string> lines;
  for (const TCommandInfo& command : table.Commands) {
    if (!IsScriptCommand(command)) continue;
    std::string line = std::to_string(command.Code) + "," + std::to_string(command.Group) + "," +
                       ParamLimit(command) + "," + command.Name + "," +
                       std::to_string(DescriptionIndex(&texts, command.Effect));
    for (const TParamDescription& param : command.Fixed) {
      line += "," + CommandListParam(param, DescriptionIndex(&texts, param.Text));
    }
    lines.push_back(line);
  }
  std::vector<std::string> descriptions;
  for (size_t i = 0; i < texts.Texts.size(); ++i) {
    descriptions.push_back(std::to_string(i + 1) + "," + texts.Texts[i]);
  }
  return {JoinLines(lines), JoinLines(descriptions)};
}

std::string WriteCommandReference(const TCommandTable& table) {
  std::string reference = kReferenceIntro + NameIndex(table);
  std::vector<TFamilyRow> families = table.Families;
  std::sort(families.begin(), families.end(),
            [](const TFamilyRow& a, const TFamilyRow& b) { return a.Number < b.Number; });
  for (const TFamilyRow& family : families) {
    std::string sections;
    for (const TCommandInfo& command : table.Commands) {
      if (command.Group == family.Number && IsScriptCommand(command)) {
        sections += CommandSection(command);
      }
    }
    if (sections.empty()) continue;
    reference += "## " + std::string(family.Title) + "\n\nGroup " + std::to_string(family.Number) +
                 ".\n\n" + sections;
  }
  while (reference.size() > 1 && reference[reference.size() - 2] == '\n') reference.pop_back();
  return reference;
}
