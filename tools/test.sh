#!/usr/bin/env bash
# Runs every test: installs what is missing, builds both configurations,
# runs the native tests (AddressSanitizer + UndefinedBehaviorSanitizer), the
# Windows tests under Wine, and each fuzzer for a short, bounded time.
#   tools/test.sh            everything
#   FUZZ_SECONDS=0 tools/test.sh   without fuzzing
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
cd "$repo"
tools/setup.sh
tools/check_layers.sh
tools/check_format.sh
tools/build.sh native windows
ctest --test-dir build/native --output-on-failure -j2
tools/wine_env.sh ctest --test-dir build/windows --output-on-failure
if [ "${FUZZ_SECONDS:-20}" != 0 ]; then tools/fuzz.sh "${FUZZ_SECONDS:-20}"; fi
echo "all tests passed"
