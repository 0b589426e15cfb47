#!/usr/bin/env bash
# The main job on an example: builds the Windows programs, then has the
# console host read, check and describe the smallest runnable image.
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
cd "$repo"
tools/setup.sh
tools/build.sh windows >/dev/null
tools/wine_env.sh wine build/windows/bin/zorvat.exe info build/windows/examples/exit0.zvb
