#!/usr/bin/env bash
# Builds the Windows programs we ship into build/windows-release/bin,
# optimised across object files at link time and after a profile of the
# executor running the benchmark programs (bench/programs). Under Wine they
# run about 15% faster than in the plain Release build of the test
# command (bench/run.py --windows-build build/windows-release times it).
#
#   1. An instrumented build of script_bench.exe: the runtime's core library,
#      as in Zorvat.dll, with the compiler. Old counts are removed first,
#      since the instrumented programs add to the files they find.
#   2. script_bench.exe runs every benchmark program once under Wine. Each
#      object file's counts go to a .gcda file beside it, under the absolute
#      Unix path the compiler recorded; GCOV_PREFIX=Z: makes the Windows
#      process write them through Wine's Z: drive, whatever its current
#      drive (without it, a process started on C: would write them inside
#      the Wine prefix).
#   3. The same folder is reconfigured to use the counts and the shipped
#      programs are rebuilt; a count file that does not match its source
#      stops the build.
#
# The compiler cache is bypassed in both builds: the counts are checked
# against the source paths the compiler saw, and the cache rewrites them.
#
#   tools/build-release-pgo.sh           build the shipped programs
#   tools/build-release-pgo.sh --test    also build and run every Windows
#                                        test against this build
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
cd "$repo"
run_tests=0
[ "${1:-}" = --test ] && run_tests=1
dir=build/windows-release
export CCACHE_DISABLE=1
unset CMAKE_CXX_COMPILER_LAUNCHER CMAKE_C_COMPILER_LAUNCHER

configure() {
  if [ -f "$dir/build.ninja" ]; then
    cmake "$dir" -DZORVAT_PROFILE="$1" >/dev/null
  else
    cmake --preset windows-release -DZORVAT_PROFILE="$1" >/dev/null
  fi
}

configure generate
find "$dir" -name '*.gcda' -delete
cmake --build "$dir" --target script_bench -j2
tools/wine_env.sh env GCOV_PREFIX=Z: wine "$dir/bench/script_bench.exe" "$dir/bin/Commands.txt" 1 \
  bench/programs/*.zvs
if ! find "$dir/runtime" -name 'executor.cpp.gcda' | grep -q .; then
  echo "build-release-pgo: the training run wrote no profile" >&2
  exit 1
fi

# Every export of a shipped module must point inside its image: a function
# that link-time optimisation dropped leaves an entry that points nowhere.
check_exports() {
  local headers size rva
  headers=$(i686-w64-mingw32-objdump -p "$1")
  size=$((16#$(awk '$1 == "SizeOfImage" {print $2}' <<<"$headers")))
  for rva in $(awk '/Export RVA$/ {print $(NF - 2)}' <<<"$headers"); do
    if ((16#$rva >= size)); then
      echo "build-release-pgo: $1: an export points outside the image" >&2
      return 1
    fi
  done
}

configure use
# script_bench.exe too, so that bench/run.py --windows-build can time this build.
cmake --build "$dir" --target zorvat Tovalind script_bench -j2
for f in "$dir"/bin/*.dll "$dir"/bin/*.exe; do check_exports "$f"; done
if [ $run_tests = 1 ]; then
  cmake --build "$dir" -j2
  tools/wine_env.sh ctest --test-dir "$dir" --output-on-failure
fi
echo "$dir/bin"
