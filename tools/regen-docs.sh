#!/usr/bin/env bash
# Rewrites the checked-in command reference, docs/commands.md, from
# runtime/commands/command_table.def. Needs only the machine's C++ compiler.
#   tools/regen-docs.sh
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
cd "$repo"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"${CXX:-c++}" -std=c++20 -O1 -Wall -Wextra -Werror -I"$repo" \
  tools/gen_command_list.cpp tools/command_list.cpp -o "$work/gen_command_list"
"$work/gen_command_list" --docs docs/commands.md
echo "docs/commands.md regenerated"
