#!/usr/bin/env bash
# Makes the release packages in dist/: the Windows setup program
# Nimbrel-<version>-setup.exe and the Debian package of nimbrel and
# nimbrel-devsim, nimbrel_<version>_<architecture>.deb. Installs what the
# builds need when it is missing, and builds both first.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/build.sh
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build/linux/CMakeCache.txt)
mkdir -p dist
cp build/windows/installer/Nimbrel-"$version"-setup.exe dist/
staging=$(mktemp -d)
trap 'rm -rf "$staging"' EXIT
cpack --config build/linux/CPackConfig.cmake -B "$staging" >/dev/null
mv "$staging"/nimbrel_"$version"_*.deb dist/
ls -l dist/
