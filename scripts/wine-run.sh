#!/usr/bin/env bash
# Runs a Windows program of a build directory under Wine in its private
# prefix. One wineserver serves a whole test run; it ends by itself a
# minute after the last program, and scripts/test.sh stops it at once.
# Usage: wine-run.sh <build dir> <program> [arguments...]
build="$1"; shift
export WINEPREFIX="$build/wineprefix" WINEDEBUG="${WINEDEBUG:--all}" WINEDLLOVERRIDES="winemenubuilder.exe=d"
# No inherited output: a caller that reads our output (ctest's test
# discovery) would otherwise wait for the wineserver to end.
wineserver -p60 >/dev/null 2>&1 </dev/null || true
exec wine "$@"
