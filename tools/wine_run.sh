#!/usr/bin/env bash
# Runs a Windows program under Wine: directly when already inside the Wine
# environment (tools/wine_env.sh), otherwise inside a fresh one.
if [ "${ZORVAT_WINE_ENV:-0}" = 1 ]; then exec wine "$@"; fi
exec "$(dirname "$0")/wine_env.sh" wine "$@"
