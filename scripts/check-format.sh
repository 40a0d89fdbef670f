#!/usr/bin/env bash
# Fails on every C++ file that clang-format would change (.clang-format).
set -euo pipefail
cd "$(dirname "$0")/.."
git ls-files -z -- '*.cpp' '*.h' | xargs -0 clang-format --dry-run --Werror
