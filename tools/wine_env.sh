#!/usr/bin/env bash
# Runs one command inside a private Wine environment: a Wine prefix kept in
# the build folder (made once with wineboot), a virtual X display on a free
# number and one persistent wineserver shared by every Wine process the
# command starts. Both are shut down when the command ends, however it ends.
#
#   tools/wine_env.sh [--prefix DIR] COMMAND [ARGS...]
#
# The prefix defaults to $ZORVAT_WINE_PREFIX, else build/wine-prefix under the
# repository. With ZORVAT_USE_DISPLAY=1 and a DISPLAY set, that display is
# used instead of a virtual one.
set -uo pipefail

repo=$(cd "$(dirname "$0")/.." && pwd)
prefix=${ZORVAT_WINE_PREFIX:-$repo/build/wine-prefix}
if [ "${1:-}" = "--prefix" ]; then prefix=$2; shift 2; fi
if [ $# = 0 ]; then echo "usage: wine_env.sh [--prefix DIR] COMMAND [ARGS...]" >&2; exit 2; fi

mkdir -p "$(dirname "$prefix")"
prefix=$(cd "$(dirname "$prefix")" && pwd)/$(basename "$prefix")

export WINEPREFIX=$prefix WINEARCH=win32 WINEDEBUG=${WINEDEBUG:--all}
# No Mono or Gecko install prompts, no desktop menu entries.
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-"mscoree,mshtml,winemenubuilder.exe="}

xvfb_pid=
cleanup() {
  wineserver -k >/dev/null 2>&1
  wineserver -w >/dev/null 2>&1
  if [ -n "$xvfb_pid" ]; then
    kill "$xvfb_pid" >/dev/null 2>&1
    wait "$xvfb_pid" >/dev/null 2>&1
  fi
}
trap cleanup EXIT
trap 'exit 130' INT TERM

start_xvfb() {
  local n
  for n in $(seq 91 250); do
    [ -e "/tmp/.X$n-lock" ] && continue
    [ -e "/tmp/.X11-unix/X$n" ] && continue
    Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
    xvfb_pid=$!
    local i
    for i in $(seq 1 100); do
      if [ -e "/tmp/.X11-unix/X$n" ]; then export DISPLAY=":$n"; return 0; fi
      if ! kill -0 "$xvfb_pid" 2>/dev/null; then break; fi
      sleep 0.05
    done
    kill "$xvfb_pid" >/dev/null 2>&1; wait "$xvfb_pid" 2>/dev/null; xvfb_pid=
  done
  echo "wine_env: no free X display" >&2
  return 1
}

if [ "${ZORVAT_USE_DISPLAY:-0}" = 1 ] && [ -n "${DISPLAY:-}" ]; then :; else
  start_xvfb || exit 1
fi

if [ ! -f "$prefix/system.reg" ]; then
  echo "wine_env: creating Wine prefix $prefix" >&2
  wineboot -i >/dev/null 2>&1
  # Without a window manager, Wine waits about two seconds whenever a managed
  # window is hidden; unmanaged windows make desktop tests several times faster.
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
  wineserver -w
fi

wineserver -p >/dev/null 2>&1
# The first Wine process of a session starts Wine's background services, which
# inherit its standard handles and live until the server stops. Start them
# here with null handles, so that they never hold a test's output pipe open.
wine cmd.exe /c exit </dev/null >/dev/null 2>&1
export ZORVAT_WINE_ENV=1
"$@"
