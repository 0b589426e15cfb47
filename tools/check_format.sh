#!/usr/bin/env bash
# Fails, naming the files, when a C or C++ file of the repository is not as
# clang-format (the repository's .clang-format) would write it. Command
# tables (*.def) are left out: their rows are aligned by hand for reading.
#   tools/check_format.sh        check
#   tools/check_format.sh --fix  format the files in place
set -euo pipefail
cd "$(dirname "$0")/.."
mapfile -t files < <(git ls-files -co --exclude-standard -- '*.cpp' '*.h' '*.c' '*.inc' |
                     grep -v '^build/')
if [ "${1:-}" = --fix ]; then
  clang-format -i "${files[@]}"
  exit 0
fi
if ! out=$(clang-format --dry-run -Werror "${files[@]}" 2>&1); then
  echo "$out" | sed -n 's/^\([^:]*\):[0-9]*:[0-9]*: error: code should be clang-formatted.*/not formatted: \1/p' | sort -u
  echo "(tools/check_format.sh --fix formats them)"
  exit 1
fi
