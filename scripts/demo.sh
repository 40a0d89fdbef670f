#!/usr/bin/env bash
# The demo: builds everything, then shows the serial link working over a
# pseudo-terminal, natively and under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/build.sh
echo "(demo steps are added as the system grows)"
