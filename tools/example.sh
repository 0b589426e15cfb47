#!/usr/bin/env bash
# The main job on an example, the typical run end to end: builds the Windows
# programs, compiles examples/notepad.zvs with the console host, shows the
# image it made, and runs it under Wine (headless under Xvfb): the script
# starts Wine's notepad, types a line into it, reads it back, closes notepad
# and answers the save prompt. Exit code 0 only when everything matched.
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
cd "$repo"
tools/setup.sh
tools/build.sh windows >/dev/null
image=build/windows/examples/notepad.zvb
tools/wine_env.sh bash -c "
  set -e
  wine build/windows/bin/zorvat.exe compile examples/notepad.zvs -o $image
  wine build/windows/bin/zorvat.exe info $image
  wine build/windows/bin/zorvat.exe run $image
  echo 'examples/notepad.zvs: exit code 0, everything matched'
"
