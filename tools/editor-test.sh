#!/usr/bin/env bash
# Tests the editor extension and packages it: installs the tools pinned in
# editors/vscode/package-lock.json from the npm registry, runs the grammar
# tests on the annotated samples in editors/vscode/tests/, and builds the
# extension package (by default build/zorvat.vsix).
#   tools/editor-test.sh [OUTPUT.vsix]
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
output=$(realpath -m "${1:-$repo/build/zorvat.vsix}")
if ! command -v node >/dev/null 2>&1 || ! command -v npm >/dev/null 2>&1; then
  sudo_cmd=()
  [ "$(id -u)" != 0 ] && sudo_cmd=(sudo)
  "${sudo_cmd[@]}" apt-get update -q
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -q nodejs npm >&2
fi
cd "$repo/editors/vscode"
npm ci --no-audit --no-fund --loglevel=error
npx --no-install vscode-tmgrammar-test -g syntaxes/zorvat.tmLanguage.json "tests/*.zvs"
# The package carries the project's licence.
cp "$repo/LICENSE" LICENSE
mkdir -p "$(dirname "$output")"
npx --no-install vsce package --allow-missing-repository -o "$output"
echo "editor extension: grammar tests passed, package $output"
