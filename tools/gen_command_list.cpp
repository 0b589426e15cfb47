// Writes the files generated from the command table: the command-list file
// and its description texts, which the host ships beside zorvat.exe, and the
// command reference.
//   gen_command_list --list DIR    DIR/Commands.txt, DIR/CommandDescriptions.txt
//   gen_command_list --docs FILE   the command reference (docs/commands.md)
// A table row that users could not write a sound statement from stops the
// build with a message naming the command.
#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "tools/command_list.h"

namespace {

// Binary mode keeps the line ends LF: the compiler's readers take a line as
// it stands, and a carriage return would end up inside the last field.
bool WriteFile(const std::string& path, const std::string& content) {
  FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) {
    std::cerr << "gen_command_list: cannot write " << path << "\n";
    return false;
  }
  bool written = std::fwrite(content.data(), 1, content.size(), file) == content.size();
  written = std::fclose(file) == 0 && written;
  if (!written) std::cerr << "gen_command_list: writing " << path << " failed\n";
  return written;
}

int Usage() {
  std::cerr << "usage: gen_command_list [--list DIR] [--docs FILE]\n";
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  std::string listDir;
  std::string docsFile;
  for (int i = 1; i < argc; ++i) {
    std::string option = argv[i];
    if (i + 1 == argc) return Usage();
    if (option == "--list") {
      listDir = argv[++i];
    } else if (option == "--docs") {
      docsFile = argv[++i];
    } else {
      return Usage();
    }
  }
  if (listDir.empty() && docsFile.empty()) return Usage();

  TCommandTable table;
  std::string error;
  if (!BuildShippedCommandTable(&table, &error)) {
    std::cerr << "runtime/commands/command_table.def: " << error << "\n";
    return 1;
  }
  if (!listDir.empty()) {
    TCommandListFiles files = WriteCommandList(table);
    if (!WriteFile(listDir + "/Commands.txt", files.CommandList) ||
        !WriteFile(listDir + "/CommandDescriptions.txt", files.Descriptions)) {
      return 1;
    }
  }
  if (!docsFile.empty() && !WriteFile(docsFile, WriteCommandReference(table))) return 1;
  return 0;
}
