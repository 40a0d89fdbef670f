#!/usr/bin/env bash
# Times a device's arrival until it is listed, natively: a simulated
# Corvia's link appears in a watched folder, and the time runs until
# "nimbrel scan --watch" prints it, then, apart (two watchers would probe
# the port at once), until its folder shows in the mount (needs /dev/fuse).
# The simulator's own start is counted. Needs the Linux build. Then, with
# the Windows build, the same under Wine from the system's announcement (the
# simulator already running) until an open root view lists the device.
set -euo pipefail
cd "$(dirname "$0")/.."
bin="${NIMBREL_BUILD_ROOT:-$PWD/build}/linux/bin"
work=$(mktemp -d /tmp/nimbrel-arrival.XXXXXX)
export XDG_CONFIG_HOME="$work/config" NIMBREL_PORT_FOLDER="$work/dev"
unset NIMBREL_PORTS
mkdir -p "$work/dev" "$work/mnt"
watcher=
trap '[ -z "$watcher" ] || kill -INT $watcher; wait; rm -rf "$work"' EXIT
waitfor() { for _ in $(seq 2000); do eval "$1" && return; sleep 0.005; done; return 1; }
# time_arrivals <what> <shown when>: three arrivals and departures.
time_arrivals() {
  for round in 1 2 3; do
    start=$(date +%s%N)
    "$bin/nimbrel-devsim" --quiet --device "link=$work/dev/ttyUSB0,model=CV8,serial=CV8-0001" &
    waitfor "$2" && echo "$1 after $(( ($(date +%s%N) - start) / 1000000 )) ms" || echo "$1: not within 10 s"
    kill $! && wait $! || true
    sleep 0.3
  done
}

"$bin/nimbrel" scan --watch >"$work/said" & watcher=$!
waitfor 'grep -q Watching "$work/said"'
time_arrivals "listed by scan --watch" '[ $(grep -c " connected" "$work/said") = $round ]'
kill -INT $watcher && wait $watcher && watcher=

"$bin/nimbrel" mount -f "$work/mnt" >/dev/null & watcher=$!
if waitfor 'mountpoint -q "$work/mnt"'; then
  time_arrivals "its folder in the mount" '[ -d "$work/mnt/Corvia 80" ]'
else
  echo "the mount: cannot mount here (it needs /dev/fuse)"
fi

# The Windows half, under Wine (needs the Windows build): an open root view
# lists a simulated device whose arrival the system announced, without F5.
win="${NIMBREL_BUILD_ROOT:-$PWD/build}/windows"
if [ -f "$win/bin/server_device_watch_test.exe" ]; then
  scripts/wine-run.sh "$win" "$win/bin/server_device_watch_test.exe" --gtest_repeat=3 \
    --gtest_filter='*ARootViewListsAnArrivingDevice*' | tr -d '\r' | grep '^Windows:' || echo "Windows: the test failed"
else
  echo "Windows: no Windows build here"
fi
