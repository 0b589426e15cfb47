#!/usr/bin/env bash
# Prints every #include of ours that crosses a layer the wrong way and fails
# when there is one. Each folder may include only the folders listed for it:
#
#   base/               nothing above it
#   runtime/values/     the base
#   runtime/core/       the values and the base (the dispatch table is declared
#                       here and defined in runtime/commands/)
#   runtime/commands/   the core, the values and the base
#   compiler/           the base only: the compiler never calls the runtime
#   include/            nothing of ours: these are the public C headers
#   runner/             the runtime and the base
#   dialogs/            the public headers only: the dialog library reaches
#                       the runtime through the functions it looks up
#   host/               the public headers and the base; besides them the
#                       image loader for "info" (it checks an image as the
#                       runtime would, without running it) and the compiler's
#                       result codes for its messages
#
# Unit tests (*_test.cpp) sit beside the code they test and may include what
# they need. tests/, fuzz/, bench/ and tools/ are not layers; no other folder
# may include them.
set -euo pipefail
cd "$(dirname "$0")/.."

allowed() {
  case "$1" in
    base/*) echo "base/" ;;
    runtime/values/*) echo "base/ runtime/values/" ;;
    runtime/core/*) echo "base/ include/ runtime/values/ runtime/core/" ;;
    runtime/commands/*) echo "base/ runtime/values/ runtime/core/ runtime/commands/" ;;
    compiler/*) echo "base/ include/ compiler/" ;;
    include/*) echo "include/" ;;
    runner/*) echo "base/ include/ runtime/" ;;
    dialogs/*) echo "include/ dialogs/" ;;
    host/*) echo "base/ include/ host/ runtime/core/image.h runtime/core/context.h compiler/compile_codes.h" ;;
    *) echo "*" ;;
  esac
}

found=0
while IFS= read -r file; do
  case "$file" in *_test.cpp) continue ;; esac
  rules=$(allowed "$file")
  [ "$rules" = "*" ] && continue
  while IFS= read -r target; do
    ok=0
    for prefix in $rules; do
      case "$target" in "$prefix"*) ok=1 ;; esac
    done
    if [ $ok = 0 ]; then
      echo "$file includes $target"
      found=1
    fi
  done < <(sed -n 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"\([^"]*\)".*/\1/p' "$file")
done < <(git ls-files -co --exclude-standard -- base runtime compiler include runner host dialogs |
         grep -E '\.(h|cpp|c|inc|def)$')
exit $found
