#!/usr/bin/env bash
# clang-tidy's bug-finding checks (.clang-tidy) over the product's and the
# tools' sources as the native build compiles them; any finding fails.
set -euo pipefail
cd "$(dirname "$0")/.."
[ -f build/linux/compile_commands.json ] || cmake --preset linux >/dev/null
run-clang-tidy-14 -p build/linux -j 2 -quiet '/(src|tools)/' >build/linux/clang-tidy.log 2>&1 || {
  grep -E 'warning:|error:' -A3 build/linux/clang-tidy.log | head -200
  echo "clang-tidy found problems (all of them in build/linux/clang-tidy.log)"
  exit 1
}
