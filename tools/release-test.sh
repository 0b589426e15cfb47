#!/usr/bin/env bash
# Tests the release package as a user receives it: builds it with
# tools/release.sh, unpacks it into a new folder outside the build tree, and
# with a fresh Wine prefix compiles and runs an example using only what the
# archive holds.
#   tools/release-test.sh
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
archive=$("$repo/tools/release.sh" | tail -n 1)
place=$(mktemp -d)
trap 'rm -rf "$place"' EXIT
unzip -q "$repo/$archive" -d "$place"
top=$(find "$place" -mindepth 1 -maxdepth 1 -type d)
for f in zorvat.exe Zorvat.dll Zorvat_Compiler.dll ZorvatEx.exe Commands.txt CompilerKeywords.txt \
         CommandDescriptions.txt LICENSE.txt docs/commands.md docs/status-codes.md; do
  [ -f "$top/$f" ] || { echo "release-test: $f is missing from $archive" >&2; exit 1; }
done
ls "$top"/editors/*.vsix >/dev/null
# Nothing of the build tree may be reached: run from the unpacked folder with
# a prefix of its own.
cd "$top"
"$repo/tools/wine_env.sh" --prefix "$place/prefix" bash -c '
  set -e
  wine zorvat.exe compile examples/sum.zvs -o sum.zvb
  wine zorvat.exe run sum.zvb
  wine zorvat.exe exe examples/sum.zvs -o sum.exe
  wine sum.exe
  set +e
  printf "GlobalsAlloc 1 .\r\nSetDWORD 0 1\r\n\r\nReturn\r\n" > fails.zvs
  wine zorvat.exe run fails.zvs 2> fails.txt
  code=$?
  set -e
  # A Unix exit status keeps the low 8 bits of the Windows one.
  [ "$code" = $((1033 % 256)) ] && grep -q "fails.zvs:4: Return failed with status 1033" fails.txt
'
echo "release-test: $archive unpacked, compiled and ran examples/sum.zvs in a fresh prefix"
