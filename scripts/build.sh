#!/usr/bin/env bash
# Configures and builds both presets: the native build first, since the
# Windows tests start its simulator and pseudo-terminal tools.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
for preset in linux windows; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
done
