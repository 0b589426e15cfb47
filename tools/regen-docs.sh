#!/usr/bin/env bash
# Rewrites the checked-in command reference, docs/commands.md, from
# runtime/commands/command_table.def, and the status-code reference,
# docs/status-codes.md, from host/status_meanings.cpp, and the editor
# grammar from the command table and the keyword file. Needs only the
# machine's C++ compiler.
#   tools/regen-docs.sh
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
cd "$repo"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"${CXX:-c++}" -std=c++20 -O1 -Wall -Wextra -Werror -I"$repo" \
  tools/gen_command_list.cpp tools/command_list.cpp -o "$work/gen_command_list"
"$work/gen_command_list" --docs docs/commands.md
"${CXX:-c++}" -std=c++20 -O1 -Wall -Wextra -Werror -I"$repo" \
  tools/gen_status_doc.cpp host/status_meanings.cpp -o "$work/gen_status_doc"
"$work/gen_status_doc" docs/status-codes.md
"${CXX:-c++}" -std=c++20 -O1 -Wall -Wextra -Werror -I"$repo" \
  tools/gen_grammar.cpp tools/command_list.cpp -o "$work/gen_grammar"
"$work/gen_grammar" host/CompilerKeywords.txt editors/vscode/syntaxes/zorvat.tmLanguage.json
echo "docs/commands.md, docs/status-codes.md and the editor grammar regenerated"
