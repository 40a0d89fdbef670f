#!/usr/bin/env bash
# Runs a Windows program of a build directory under Wine in its private
# prefix. One wineserver serves a whole test run; it ends by itself a
# minute after the last program, and scripts/test.sh stops it at once.
# Usage: wine-run.sh <build dir> <program> [arguments...]
. "$(dirname "$0")/wine-env.sh" "$1"; shift
# The wineserver and Wine's background services (winedevice.exe...) live on
# after the program; if the program started them they would keep its output
# open, and ctest, which reads it, would wait for them for a minute. So they
# are started (or found running) by a program of their own with no output.
wineserver -p60 >/dev/null 2>&1 </dev/null || true
"$wine" cmd /c exit >/dev/null 2>&1 </dev/null || true
exec "$wine" "$@"
