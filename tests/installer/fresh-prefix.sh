#!/usr/bin/env bash
# A new Wine prefix for the installer tests, made like the build's own
# (scripts/wine-prefix.sh) but never reused: each run starts with nothing
# installed. The setup program is a 32-bit program, so the prefix needs
# 32-bit Wine beside the 64-bit one.
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
if [ ! -f "$dir/wineprefix/drive_c/windows/syswow64/kernel32.dll" ]; then
  echo "No 32-bit Wine: the setup program cannot run. Install it with scripts/deps.sh" \
       "(dpkg --add-architecture i386; apt-get install wine32:i386)." >&2
  exit 1
fi
