#!/usr/bin/env bash
# Times a device's arrival until it is listed, natively: a simulated
# Corvia's link appears in a watched folder, and the time runs until
# "nimbrel scan --watch" prints it and until its folder shows in the mount
# (the mount part needs /dev/fuse). Needs the Linux build.
set -euo pipefail
cd "$(dirname "$0")/.."
bin="${NIMBREL_BUILD_ROOT:-$PWD/build}/linux/bin"
work=$(mktemp -d /tmp/nimbrel-arrival.XXXXXX)
export XDG_CONFIG_HOME="$work/config" NIMBREL_PORT_FOLDER="$work/dev"
unset NIMBREL_PORTS
mkdir -p "$work/dev" "$work/mnt"
pids=()
trap 'kill "${pids[@]}" 2>/dev/null; wait 2>/dev/null; fusermount3 -u -z "$work/mnt" 2>/dev/null; rm -rf "$work"' EXIT
ms() { echo $(( ($(date +%s%N) - $1) / 1000000 )); }
waitfor() { for _ in $(seq 2000); do eval "$1" && return; sleep 0.005; done; return 1; }

"$bin/nimbrel" scan --watch >"$work/said" & pids+=($!)
mounted=0
if "$bin/nimbrel" mount -f "$work/mnt" >/dev/null 2>&1 & pids+=($!); waitfor 'mountpoint -q "$work/mnt"'; then
  mounted=1
fi
waitfor 'grep -q Watching "$work/said"'
for round in 1 2 3; do
  start=$(date +%s%N)
  "$bin/nimbrel-devsim" --quiet --device "link=$work/dev/ttyUSB0,model=CV8,serial=CV8-0001" --pid-file "$work/pid" &
  devsim=$!
  waitfor "[ \$(grep -c ' connected' \"$work/said\") = $round ]"
  listed=$(ms "$start")
  shown=-
  if [ $mounted = 1 ]; then waitfor '[ -d "$work/mnt/Corvia 80" ]' && shown=$(ms "$start"); fi
  echo "arrival $round: listed by scan --watch after $listed ms, its folder in the mount after $shown ms"
  kill $devsim; wait $devsim || true
  waitfor "[ \$(grep -c disconnected \"$work/said\") = $round ]"
done
