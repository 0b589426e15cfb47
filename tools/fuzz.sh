#!/usr/bin/env bash
# Runs every fuzzer of the native build for a bounded time (default 30 s
# each), starting from the seeds in fuzz/seeds/NAME. A crash fails the run and
# leaves the input in build/native/fuzz-findings.
#   tools/fuzz.sh [SECONDS]
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-30}
findings=$repo/build/native/fuzz-findings
mkdir -p "$findings"
status=0
for fuzzer in "$repo"/build/native/fuzz/*_fuzzer; do
  [ -x "$fuzzer" ] || continue
  name=$(basename "$fuzzer" _fuzzer)
  corpus=$(mktemp -d)
  dirs=("$corpus")
  [ -d "$repo/fuzz/seeds/$name" ] && dirs+=("$repo/fuzz/seeds/$name")
  echo "fuzz: $name for ${seconds}s"
  if ! "$fuzzer" -max_total_time="$seconds" -max_len=65536 -timeout=10 -rss_limit_mb=2048 \
       -artifact_prefix="$findings/" "${dirs[@]}" >"$findings/$name.log" 2>&1; then
    echo "fuzz: $name FAILED; see $findings/$name.log" >&2
    tail -30 "$findings/$name.log" >&2
    status=1
  fi
  rm -rf "$corpus"
done
exit $status
