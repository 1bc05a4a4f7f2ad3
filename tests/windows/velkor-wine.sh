#!/usr/bin/env bash
# Runs the Windows build of velkor under wine with the caller's arguments, standard input and
# output, so that the end-to-end tests can drive it as they drive the native program.
# VELKOR_WINE_EXE names the .exe (default: build-win64/velkor.exe of this tree); WINEPREFIX and
# WINEDEBUG are taken from the environment (run-e2e.sh sets both).
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
export WINEDEBUG="${WINEDEBUG:--all}"
exec "${VELKOR_WINE:-/usr/lib/wine/wine64}" "${VELKOR_WINE_EXE:-$here/../../build-win64/velkor.exe}" "$@"
