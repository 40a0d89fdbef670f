#!/usr/bin/env bash
# A new Wine prefix for the installer tests, made like the build's own
# (scripts/wine-prefix.sh) but never reused: each run starts with nothing
# installed.
# Usage: fresh-prefix.sh <test dir>
set -euo pipefail
dir=$1
scripts=$(dirname "$0")/../../scripts
if [ -d "$dir/wineprefix" ]; then
  WINEPREFIX="$dir/wineprefix" wineserver -k 2>/dev/null || true
  rm -rf "$dir/wineprefix"
fi
mkdir -p "$dir"
"$scripts/wine-prefix.sh" "$dir"
