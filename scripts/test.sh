#!/usr/bin/env bash
# Builds everything and runs every test: the native suite, then the
# Windows suite under Wine. Prints the number of tests run.
set -uo pipefail
cd "$(dirname "$0")/.."
scripts/build.sh || exit 1

status=0
total=0
for preset in linux windows; do
  echo "== Running the $preset tests"
  log=$(mktemp)
  ctest --preset "$preset" 2>&1 | tee "$log"
  rc=${PIPESTATUS[0]}
  [ "$rc" -ne 0 ] && status=1
  n=$(grep -oE 'tests passed, [0-9]+ tests failed out of [0-9]+' "$log" | grep -oE '[0-9]+$' || echo 0)
  total=$((total + ${n:-0}))
  rm -f "$log"
done
WINEPREFIX="$PWD/build/windows/wineprefix" wineserver -k 2>/dev/null || true
echo "== $total tests run in both suites"
exit $status
