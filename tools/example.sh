#!/usr/bin/env bash
# The main job on an example: builds the Windows programs, then compiles
# examples/sum.zvs with the console host, shows the image it made, and runs
# it (exit code 0 when the script's own check passed).
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
cd "$repo"
tools/setup.sh
tools/build.sh windows >/dev/null
image=build/windows/examples/sum.zvb
tools/wine_env.sh bash -c "
  set -e
  wine build/windows/bin/zorvat.exe compile examples/sum.zvs -o $image
  wine build/windows/bin/zorvat.exe info $image
  wine build/windows/bin/zorvat.exe run examples/sum.zvs
  echo 'examples/sum.zvs: exit code 0'
"
