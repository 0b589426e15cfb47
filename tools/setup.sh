#!/usr/bin/env bash
# Installs what building and testing needs on a Debian machine. Quick when
# everything is present: it asks dpkg first and only calls apt-get for what
# is missing.
set -euo pipefail

packages=(wine wine32:i386 wine64 xvfb g++-mingw-w64-i686-posix cmake ninja-build
          googletest clang clang-format libclang-rt-14-dev g++ python3 lua5.4 x11-utils zip unzip)

sudo_cmd=()
if [ "$(id -u)" != 0 ]; then
  if command -v sudo >/dev/null 2>&1; then sudo_cmd=(sudo); else
    echo "setup: not root and no sudo; cannot install packages" >&2; exit 1
  fi
fi

need_i386=0
if ! dpkg --print-foreign-architectures | grep -qx i386; then need_i386=1; fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ "$need_i386" = 0 ] && [ ${#missing[@]} = 0 ]; then exit 0; fi

if [ "$need_i386" = 1 ]; then "${sudo_cmd[@]}" dpkg --add-architecture i386; fi
echo "setup: installing ${missing[*]}" >&2
"${sudo_cmd[@]}" apt-get update -q
DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -q \
  "${missing[@]}" >&2
