#!/usr/bin/env bash
# Runs every fuzzer of the native build at once, each on a core of its own
# (at most FUZZ_JOBS at a time, default: the number of cores), starting from
# the seeds in fuzz/seeds/NAME. A crash, a leak, a time-out or a sanitizer
# report fails the run and leaves the input in build/native/fuzz-findings.
#
#   tools/fuzz.sh [SECONDS]          short run (default 30 s each); the corpus
#                                    it grows is thrown away
#   tools/fuzz.sh --long [SECONDS]   long run (default 3600 s each): the corpus
#                                    grows in build/native/fuzz-corpus/NAME and
#                                    survives between runs; afterwards the inputs
#                                    that reach new code join fuzz/seeds/NAME
#                                    (commit them)
#
# FUZZ_ONLY="compiler execution" runs only the fuzzers named there. An input
# that runs longer than FUZZ_TIMEOUT seconds is a finding: 10 in the short
# run; 60 in the long run, which shares the machine for an hour and whose
# clock keeps running while other work has the cores.
#
# Each fuzzer's log is build/native/fuzz-findings/NAME.log; the summary gives
# the executions, the seconds and the coverage (cov: edges, ft: features)
# that libFuzzer reported last.
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
long=0
if [ "${1:-}" = --long ]; then
  long=1
  shift
fi
seconds=${1:-$([ $long = 1 ] && echo 3600 || echo 30)}
jobs=${FUZZ_JOBS:-$(nproc)}
timeout=${FUZZ_TIMEOUT:-$([ $long = 1 ] && echo 60 || echo 10)}
findings=$repo/build/native/fuzz-findings
work=$repo/build/native/fuzz-corpus
mkdir -p "$findings" "$work"

corpus_of() {
  if [ $long = 1 ]; then echo "$work/$1"; else echo "$work/short-$1"; fi
}

run_one() {
  local fuzzer=$1 name=$2 corpus
  corpus=$(corpus_of "$name")
  [ $long = 1 ] || rm -rf "$corpus"
  mkdir -p "$corpus"
  local dirs=("$corpus")
  [ -d "$repo/fuzz/seeds/$name" ] && dirs+=("$repo/fuzz/seeds/$name")
  "$fuzzer" -max_total_time="$seconds" -max_len=65536 -timeout="$timeout" -rss_limit_mb=2048 \
    -print_final_stats=1 -artifact_prefix="$findings/$name-" "${dirs[@]}" \
    >"$findings/$name.log" 2>&1
}

# Adds to the seeds the inputs of the grown corpus that reach code the seeds
# do not (libFuzzer's merge), and only those; the hand-written seeds stay.
minimise() {
  local fuzzer=$1 name=$2 seeds=$repo/fuzz/seeds/$2 before
  mkdir -p "$seeds"
  before=$(ls "$seeds" | wc -l)
  "$fuzzer" -merge=1 -max_len=65536 -timeout="$timeout" -rss_limit_mb=2048 "$seeds" \
    "$(corpus_of "$name")" >"$findings/$name-merge.log" 2>&1
  echo "fuzz: $name seeds: $before before, $(ls "$seeds" | wc -l) after the merge"
}

summary() {
  local log=$1 runs cov
  runs=$(grep -o 'stat::number_of_executed_units: [0-9]*' "$log" | grep -o '[0-9]*$' || echo '?')
  cov=$(grep -o 'cov: [0-9]* ft: [0-9]*' "$log" | tail -1 || true)
  echo "$runs executions, ${cov:-no coverage line}"
}

names=()
for fuzzer in "$repo"/build/native/fuzz/*_fuzzer; do
  [ -x "$fuzzer" ] || continue
  name=$(basename "$fuzzer" _fuzzer)
  if [ -n "${FUZZ_ONLY:-}" ] && [[ " $FUZZ_ONLY " != *" $name "* ]]; then continue; fi
  while [ "$(jobs -rp | wc -l)" -ge "$jobs" ]; do wait -n || true; done
  echo "fuzz: $name for ${seconds}s"
  rm -f "$findings/$name.rc"
  (if run_one "$fuzzer" "$name"; then echo 0; else echo 1; fi >"$findings/$name.rc") &
  names+=("$name")
done
wait

status=0
for name in "${names[@]}"; do
  if [ "$(cat "$findings/$name.rc")" = 0 ]; then
    echo "fuzz: $name clean: $(summary "$findings/$name.log")"
    if [ $long = 1 ]; then minimise "$repo/build/native/fuzz/${name}_fuzzer" "$name"; fi
  else
    echo "fuzz: $name FAILED; see $findings/$name.log" >&2
    tail -30 "$findings/$name.log" >&2
    status=1
  fi
done
exit $status
