#!/usr/bin/env bash
# Runs every test: installs what is missing, builds both configurations,
# runs the native tests (AddressSanitizer + UndefinedBehaviorSanitizer), the
# Windows tests under Wine, the editor extension's grammar tests, the release
# package in a fresh Wine prefix, and each fuzzer for a short, bounded time.
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
tools/editor-test.sh
ZORVAT_RELEASE_PGO=0 tools/release-test.sh
if [ "${FUZZ_SECONDS:-20}" != 0 ]; then tools/fuzz.sh "${FUZZ_SECONDS:-20}"; fi
echo "all tests passed"
