#!/usr/bin/env bash
# Runs the native unit tests of the command families again and again, suite
# by suite, with the first, second, third... heap request of every test
# refused, until no test of the suite makes that many requests. A test's own
# expectations may fail then (a value it asked for was refused); a crash, a
# sanitizer report or a leak in the runtime fails the run. A fault inside a
# test's own code (a test that uses the value it was refused without
# checking it first) ends the sweep of that suite with a note instead.
#
#   tools/heap_failures.sh           the suites of the test command
#   tools/heap_failures.sh --all     every suite of runtime_tests
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
program=$repo/build/native/runtime/runtime_tests
suites=(VarCopy VarCopyPart Swap ListSet BlockListBuild TextListBuild BlockSplit TextSplit
        TextReplace Sort TextParser Executor)
if [ "${1:-}" = --all ]; then
  mapfile -t suites < <("$program" --gtest_list_tests | grep -E '^[A-Za-z0-9_]+\.$' | tr -d .)
fi
log=$(mktemp)
trap 'rm -f "$log"' EXIT
export ASAN_OPTIONS=exitcode=86:detect_leaks=1
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1

# The first source file of ours that the report names, headers skipped.
fault_site() {
  grep -oE '/[^ :]+\.(cpp|h):[0-9]+' "$log" | grep -v -e '/usr/' -e 'compiler-rt' |
    grep -m1 '\.cpp:' || true
}

status=0
for suite in "${suites[@]}"; do
  for ((n = 1; ; n++)); do
    run=0
    ZORVAT_HEAP_FAIL_AT=$n "$program" --gtest_filter="$suite.*" >"$log" 2>&1 || run=$?
    if [ $run -gt 1 ] || grep -qE 'Sanitizer|runtime error:' "$log"; then
      site=$(fault_site)
      if [[ "$site" == *_test.cpp:* ]] && ! grep -q 'LeakSanitizer' "$log"; then
        echo "heap_failures: $suite: stopped at request $n: the test uses a refused value ($site)"
      else
        echo "heap_failures: $suite: request $n refused: crash, leak or sanitizer report" >&2
        grep -E 'ERROR|runtime error:|#[0-9]+ ' "$log" | head -30 >&2
        status=1
      fi
      break
    fi
    reached=$(grep -o 'refused in [0-9]* tests' "$log" | grep -o '[0-9]*' || echo 0)
    if [ "$reached" = 0 ]; then
      echo "heap_failures: $suite: requests 1 to $((n - 1)) refused in turn, clean"
      break
    fi
  done
done
exit $status
