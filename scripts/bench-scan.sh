#!/usr/bin/env bash
# Times one scan over 31 ports with two devices and 29 ports where nothing
# answers, through the real port timing: natively (nimbrel scan over 31
# pseudo-terminals) and under Wine (nimbrel.exe scan over COM1..COM31).
# Needs both builds (scripts/build.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
root="${NIMBREL_BUILD_ROOT:-$PWD/build}"
bin="$root/linux/bin"
winbuild="$root/windows"
ports="$winbuild/ports"
work=$(mktemp -d /tmp/nimbrel-scan.XXXXXX)
export XDG_CONFIG_HOME="$work/config"

specs=()
paths=()
for n in $(seq 1 31); do
  link="$ports/COM$n"
  paths+=("$link")
  case $n in
    3) specs+=(--device "link=$link,model=CV8,serial=CV8-0003") ;;
    17) specs+=(--device "link=$link,model=MN2,serial=MN2-0017") ;;
    *) specs+=(--device "link=$link,model=CV4,silence=0") ;;  # a port where nothing answers
  esac
done
"$bin/nimbrel-devsim" --quiet --idle-limit 120 "${specs[@]}" &
devsim=$!
trap 'kill $devsim 2>/dev/null; wait $devsim 2>/dev/null; rm -rf "$work"' EXIT
for _ in $(seq 200); do [ -e "$ports/COM31" ] && break; sleep 0.05; done

list=$(IFS=:; echo "${paths[*]}")
start=$(date +%s%N)
NIMBREL_PORTS="$list" "$bin/nimbrel" scan
end=$(date +%s%N)
echo "native scan of 31 ports (2 devices, 29 silent): $(( (end - start) / 1000000 )) ms"

if [ -x "$winbuild/bin/nimbrel.exe" ]; then
  # The wrapper starts the wineserver and Wine's services with a program of
  # its own: done before the clock starts, so only nimbrel.exe is timed.
  scripts/wine-run.sh "$winbuild" cmd /c exit >/dev/null 2>&1 || true
  . scripts/wine-env.sh "$winbuild"
  start=$(date +%s%N)
  "$wine" "$winbuild/bin/nimbrel.exe" scan
  end=$(date +%s%N)
  echo "Wine scan of COM1..COM31 (2 devices, 29 silent): $(( (end - start) / 1000000 )) ms"
  WINEPREFIX="$winbuild/wineprefix" wineserver -k 2>/dev/null || true
fi
