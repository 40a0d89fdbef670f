#!/usr/bin/env bash
# Builds everything, the release packages too, and runs every test: the
# format and clang-tidy checks, the Windows modules built with clang as a
# second compiler, the native suite, the Windows suite under Wine (with the
# setup program's tests), then the sanitizer suites. Prints what each part
# took and the number of tests run.
set -uo pipefail
cd "$(dirname "$0")/.."
scripts/package.sh || exit 1

status=0
total=0
start=$SECONDS
echo "== Format and clang-tidy"
scripts/check-format.sh || status=1
scripts/tidy.sh || status=1
echo "== Format and clang-tidy took $((SECONDS - start)) s"
start=$SECONDS
echo "== Building the Windows modules with clang"
{ cmake --preset windows-clang >/dev/null && cmake --build --preset windows-clang; } || status=1
echo "== The clang build took $((SECONDS - start)) s"
# sanitize: AddressSanitizer and UndefinedBehaviorSanitizer over the whole
# native suite, with brief fuzz runs; tsan: the threaded tests.
for preset in linux windows sanitize tsan; do
  start=$SECONDS
  if [ "$preset" = sanitize ] || [ "$preset" = tsan ]; then
    echo "== Building the $preset suite"
    { cmake --preset "$preset" >/dev/null && cmake --build --preset "$preset"; } || { status=1; continue; }
  fi
  echo "== Running the $preset tests"
  log=$(mktemp)
  ctest --preset "$preset" 2>&1 | tee "$log"
  rc=${PIPESTATUS[0]}
  [ "$rc" -ne 0 ] && status=1
  n=$(grep -oE 'tests passed, [0-9]+ tests failed out of [0-9]+' "$log" | grep -oE '[0-9]+$' || echo 0)
  total=$((total + ${n:-0}))
  rm -f "$log"
  echo "== The $preset suite took $((SECONDS - start)) s"
done
WINEPREFIX="$PWD/build/windows/wineprefix" wineserver -k 2>/dev/null || true
echo "== $total tests run in all suites"
exit $status
