#!/usr/bin/env bash
# Times 64 KiB each way against nimbrel-devsim paced at 19200 baud: through
# the portable core natively, then through the module's shell objects under
# Wine (the data object's contents and an upload of dropped files). Each
# time is printed against the protocol's floor. Needs both builds
# (scripts/build.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
root="${NIMBREL_BUILD_ROOT:-$PWD/build}"
bin="$root/linux/bin"
winbuild="$root/windows"
port=9
link="$winbuild/ports/COM$port"

"$bin/nimbrel-transfer-bench" "$bin/nimbrel-devsim"

[ -x "$winbuild/bin/nimbrel-shell-transfer-bench.exe" ] || exit 0
work=$(mktemp -d /tmp/nimbrel-bench.XXXXXX)
mkdir -p "$work/device" "$work/pc"
head -c 65536 /dev/urandom > "$work/device/BOOK.BRF"
"$bin/nimbrel-devsim" --quiet --idle-limit 300 --device "link=$link,model=CV8,pace,files=$work/device" &
devsim=$!
trap 'kill $devsim 2>/dev/null; wait $devsim 2>/dev/null; rm -rf "$work"' EXIT
for _ in $(seq 200); do [ -e "$link" ] && break; sleep 0.05; done
scripts/wine-run.sh "$winbuild" "$winbuild/bin/nimbrel-shell-transfer-bench.exe" "$port" "Z:${work//\//\\}\\pc"
cmp "$work/device/BOOK.BRF" "$work/device/COPY.BRF" && echo "both copies equal the device's file"
WINEPREFIX="$winbuild/wineprefix" wineserver -k 2>/dev/null || true
