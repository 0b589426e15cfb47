#!/usr/bin/env bash
# Configures (once) and builds the named presets: native, windows or both.
#   tools/build.sh [native] [windows]
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
cd "$repo"
presets=("$@")
[ ${#presets[@]} = 0 ] && presets=(native windows)
for p in "${presets[@]}"; do
  if [ ! -f "build/$p/build.ninja" ]; then cmake --preset "$p" >/dev/null; fi
  cmake --build "build/$p"
done
