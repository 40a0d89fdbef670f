#!/usr/bin/env bash
# Times 64 KiB out of and into nimbrel-devsim paced at 19200 baud: cp through
# `nimbrel mount` against `nimbrel get` and `nimbrel put` of the same file,
# each a whole command. Prints both times and their ratio. Needs the Linux
# build (scripts/build.sh), root and /dev/fuse.
set -euo pipefail
cd "$(dirname "$0")/.."
bin="${NIMBREL_BUILD_ROOT:-$PWD/build}/linux/bin"
work=$(mktemp -d /tmp/nimbrel-bench-mount.XXXXXX)
mkdir -p "$work/device" "$work/pc/get" "$work/mnt" "$work/config"
head -c 65536 /dev/urandom > "$work/pc/BOOK.BRF"
cp "$work/pc/BOOK.BRF" "$work/device/BOOK.BRF"
link="$work/tty"
export XDG_CONFIG_HOME="$work/config"

"$bin/nimbrel-devsim" --quiet --idle-limit 600 --device "link=$link,model=CV8,pace,files=$work/device" &
devsim=$!
cleanup() {
  fusermount3 -u -z "$work/mnt" 2>/dev/null || true
  kill "$devsim" 2>/dev/null || true
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
for _ in $(seq 200); do [ -e "$link" ] && break; sleep 0.05; done

# Seconds a command takes.
timed() {
  local start end
  start=$(date +%s.%N)
  "$@" >/dev/null || { echo "failed: $*" >&2; return 1; }
  end=$(date +%s.%N)
  awk -v s="$start" -v e="$end" 'BEGIN { printf "%.2f", e - s }'
}

report() {
  awk -v what="$1" -v mount="$2" -v tool="$3" -v name="$4" 'BEGIN {
    printf "%-4s 64 KiB: mount %6.2f s, nimbrel %-3s %6.2f s, ratio %.3f (%+.1f %%)\n",
           what, mount, name, tool, mount / tool, 100 * (mount - tool) / tool }'
}

echo "64 KiB through the mount against the nimbrel tool, nimbrel-devsim paced at 19200 baud"
get=$(timed "$bin/nimbrel" -d "$link" get BOOK.BRF -o "$work/pc/get")
put=$(timed "$bin/nimbrel" -d "$link" put --overwrite "$work/pc/BOOK.BRF" --as PUT.BRF)

"$bin/nimbrel" -d "$link" mount -f "$work/mnt" >/dev/null &
for _ in $(seq 200); do mountpoint -q "$work/mnt" && break; sleep 0.05; done
ls "$work/mnt" >/dev/null  # the listing is made once, when the folder is first read
out=$(timed cp "$work/mnt/BOOK.BRF" "$work/pc/mount.brf")
in=$(timed cp "$work/pc/BOOK.BRF" "$work/mnt/MOUNT.BRF")
fusermount3 -u "$work/mnt"

report out "$out" "$get" get
report in "$in" "$put" put
echo "(each nimbrel command also identifies the device; get also lists its files)"
cmp "$work/pc/BOOK.BRF" "$work/pc/get/BOOK.BRF"
cmp "$work/pc/BOOK.BRF" "$work/pc/mount.brf"
cmp "$work/pc/BOOK.BRF" "$work/device/PUT.BRF"
cmp "$work/pc/BOOK.BRF" "$work/device/MOUNT.BRF"
echo "all four copies equal the file"
