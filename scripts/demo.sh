#!/usr/bin/env bash
# The demo: two simulated Korvel devices on pseudo-terminals, used through
# the nimbrel tool as a new user would, natively and then under Wine; then
# Nimbrel.dll in Wine's Explorer, on your display or on a virtual one.
set -euo pipefail
cd "$(dirname "$0")/.."
bin="$PWD/build/linux/bin"
winbuild="$PWD/build/windows"
mkdir -p build
log="$PWD/build/demo-build.log"
: > "$log"

# Builds only what the demo runs, no tests; the counter of ninja shows how far
# it is, the whole output goes to the log.
build() {
  local preset=$1
  shift
  cmake --preset "$preset" >>"$log" 2>&1 || return 1
  cmake --build "build/$preset" --target "$@" 2>&1 | tee -a "$log" | while IFS= read -r line; do
    case $line in
      "["*/*"]"*) printf '\r  %s: %s ' "$preset" "${line%%]*}]" ;;
    esac
  done
  printf '\n'
}
echo "Installing what is missing, then building the tool and the simulator (log: $log)"
scripts/deps.sh >>"$log" 2>&1 || { tail -20 "$log"; exit 1; }
build linux nimbrel nimbrel-devsim || { tail -40 "$log"; exit 1; }
echo "Building nimbrel.exe and a Wine prefix, to run the same tool under Wine"
build windows nimbrel wineprefix || { tail -40 "$log"; exit 1; }
work=$(mktemp -d /tmp/nimbrel-demo.XXXXXX)
ports="$winbuild/ports"   # the Wine prefix maps COM<n> to these links
corvia_link="$ports/COM3"
minnow_link="$ports/COM4"
export XDG_CONFIG_HOME="$work/config"
export NIMBREL_PORTS="$corvia_link:$minnow_link"

devsim_pid=""
cleanup() {
  [ -n "$devsim_pid" ] && kill "$devsim_pid" 2>/dev/null && wait "$devsim_pid" 2>/dev/null
  WINEPREFIX="$winbuild/wineprefix" wineserver -k 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# Titles in bold on a terminal only, and not when NO_COLOR is set.
bold="" plain=""
if [ -t 1 ] && [ -z "${NO_COLOR:-}" ]; then bold=$'\033[1m' plain=$'\033[0m'; fi

# A step's title, then the command as one would type it.
step() {
  printf '\n%s== %s%s\n$' "$bold" "$1" "$plain"
  if [ $# -eq 2 ]; then printf ' %s' "$2"; else printf ' %q' "${@:2}"; fi
  printf '\n'
}
nimbrel() { "$bin/nimbrel" "$@"; }

# What the two devices hold: letters, notes and books in braille, and the
# Corvia's system file.
mkdir -p "$work/corvia" "$work/minnow" "$work/pc"
printf 'Dear Anna,\nthe meeting moves to Tuesday at ten.\nBest, Tom\n' > "$work/corvia/LETTER.TXT"
printf ',meet+ notes\n,agenda3 budget1 plann+\n' > "$work/corvia/MEETING.BRF"
head -c 5000 /dev/urandom | base64 > "$work/corvia/RECIPES.BRF"
printf 'KORVEL SYSTEM' > "$work/corvia/KORVEL.NSF"
printf 'bread\nmilk\napples\n' > "$work/minnow/SHOPPING.TXT"
printf ',the ,r\\d n \\ tak5\n' > "$work/minnow/POEM.BRF"
printf 'Quarterly report, draft 2.\n' > "$work/pc/REPORT.TXT"

echo "Starting two simulated devices: a Corvia 80 on $corvia_link and a Minnow on $minnow_link"
"$bin/nimbrel-devsim" --idle-limit 300 \
  --device "link=$corvia_link,model=CV8,serial=CV8-10423,files=$work/corvia" \
  --device "link=$minnow_link,model=MN2,serial=MN2-20077,free=250000,files=$work/minnow" \
  > "$work/devsim.log" 2>&1 &
devsim_pid=$!
for _ in $(seq 100); do [ -e "$minnow_link" ] && break; sleep 0.05; done

step "Which devices are connected?" nimbrel scan
nimbrel scan
step "What is on the Corvia 80?" nimbrel --device "Corvia 80" ls
nimbrel --device "Corvia 80" ls
step "What is on the Minnow?" nimbrel --device Minnow ls
nimbrel --device Minnow ls
step "How much space is free on each device?" "nimbrel -d \"Corvia 80\" df; nimbrel -d Minnow df"
nimbrel -d "Corvia 80" df
nimbrel -d Minnow df
step "Copy a letter from the Corvia to the PC" nimbrel -d "Corvia 80" get LETTER.TXT -o "$work/pc"
nimbrel -d "Corvia 80" get LETTER.TXT -o "$work/pc"
sed 's/^/    | /' "$work/pc/LETTER.TXT"
step "Copy a report from the PC to the Corvia" nimbrel -d "Corvia 80" put REPORT.TXT
nimbrel -d "Corvia 80" put "$work/pc/REPORT.TXT"
step "Put it again: the tool asks before overwriting (answered: no)" "echo n | nimbrel -d \"Corvia 80\" put REPORT.TXT"
echo n | nimbrel -d "Corvia 80" put "$work/pc/REPORT.TXT" || echo "    (exit code $?: a file was skipped)"
step "Rename it on the device" nimbrel -d "Corvia 80" mv REPORT.TXT "REPORT Q3.TXT"
nimbrel -d "Corvia 80" mv REPORT.TXT "REPORT Q3.TXT"
step "Delete the meeting notes" nimbrel -d "Corvia 80" rm MEETING.BRF
nimbrel -d "Corvia 80" rm MEETING.BRF
step "System files are protected" nimbrel -d "Corvia 80" rm KORVEL.NSF
nimbrel -d "Corvia 80" rm KORVEL.NSF || echo "    (exit code $?)"
step "Copy the recipes from the Corvia to the Minnow, through the PC" \
  "nimbrel -d \"Corvia 80\" get RECIPES.BRF -o pc && nimbrel -d Minnow put pc/RECIPES.BRF"
nimbrel -d "Corvia 80" get RECIPES.BRF -o "$work/pc"
nimbrel -d Minnow put "$work/pc/RECIPES.BRF"
cmp -s "$work/corvia/RECIPES.BRF" "$work/minnow/RECIPES.BRF" && echo "    (the copy on the Minnow is identical)"
step "Give the Minnow a name of its own" nimbrel -d Minnow name "Kitchen Minnow"
nimbrel -d Minnow name "Kitchen Minnow"
nimbrel scan
step "The Minnow's files now" nimbrel -d "Kitchen Minnow" ls
nimbrel -d "Kitchen Minnow" ls

if [ -x "$winbuild/bin/nimbrel.exe" ]; then
  step "The same tool built for Windows, under Wine: the devices are COM3 and COM4" "nimbrel.exe scan"
  scripts/wine-run.sh "$winbuild" "$winbuild/bin/nimbrel.exe" scan
  step "Under Wine: the Corvia's files through COM3" "nimbrel.exe -d COM3 ls"
  scripts/wine-run.sh "$winbuild" "$winbuild/bin/nimbrel.exe" -d COM3 ls
fi

printf '\n== What the simulated devices saw\n'
sed 's/^/    /' "$work/devsim.log"

if [ ! -x "$winbuild/bin/explorer_tests.exe" ]; then
  printf '\n== Nimbrel in Wine'"'"'s Explorer comes with the Windows tests: scripts/test.sh builds them, then run the demo again.\n'
else
  # The Explorer part brings two devices of its own behind COM5 and COM6.
  kill "$devsim_pid" 2>/dev/null && wait "$devsim_pid" 2>/dev/null
  devsim_pid=""
  explorer() { scripts/wine-run.sh "$winbuild" "$winbuild/bin/explorer_tests.exe" | grep -E 'screenshot|stays open|FAILED' || true; }
  if [ -n "${DISPLAY:-}" ]; then
    step "Nimbrel in Wine's Explorer, on your display: copy, paste and rename there; close the window to end" \
      "wine explorer.exe, then ::{7D41B3C2-58A0-4E1F-9C36-0B2E84F5A917} in the location bar"
    NIMBREL_EXPLORER_DISPLAY="$DISPLAY" NIMBREL_EXPLORER_STAY=1 explorer
  else
    step "Nimbrel in Wine's Explorer, on a virtual display (no display here): the desktop, the devices, a device's files" \
      "wine explorer.exe, then ::{7D41B3C2-58A0-4E1F-9C36-0B2E84F5A917} in the location bar"
    explorer
    echo "    (the screenshots are in $winbuild/screenshots)"
  fi
fi
echo
echo "Demo finished; the simulators are stopped."
