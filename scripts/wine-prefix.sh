#!/usr/bin/env bash
# Prepares the private Wine prefix of a Windows build directory for the tests:
# null graphics driver, no menu builder, user folders inside the prefix, and
# COM1..COM31 mapped to link paths inside the build directory (the tests
# point those links at pseudo-terminals). Usage: wine-prefix.sh <build dir>
set -euo pipefail
build=$(cd "$1" && pwd)
export WINEDEBUG=-all
. "$(dirname "$0")/wine-env.sh" "$build"
ports="$build/ports"
mkdir -p "$ports"
# The marker holds this script's checksum: a changed script re-applies its
# settings to an existing prefix instead of making a new one.
stamp=$(sha1sum "$0" | cut -d' ' -f1)
# Two builds preparing one prefix at once would mark it ready half made.
exec 9>"$build/.wine-prefix.lock"
flock 9
if [ -f "$WINEPREFIX/.nimbrel-ready" ] && [ "$(cat "$WINEPREFIX/.nimbrel-ready")" = "$stamp" ]; then exit 0; fi
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  rm -rf "$WINEPREFIX"
  "$wine" wineboot -i >/dev/null 2>&1
  wineserver -w
fi

# Keep everything the tests write inside the prefix.
users="$WINEPREFIX/drive_c/users/$(id -un)"
for d in Desktop Documents Downloads Music Pictures Videos Templates; do
  if [ -L "$users/$d" ]; then rm -f "$users/$d"; mkdir -p "$users/$d"; fi
done

regfile=$(mktemp --suffix=.reg)
{
  printf 'REGEDIT4\r\n\r\n'
  printf '[HKEY_CURRENT_USER\\Software\\Wine\\Drivers]\r\n"Graphics"="null"\r\n\r\n'
  # A crashing test ends with its exit code and a backtrace on stderr,
  # rather than waiting for ever behind a crash dialog nobody can see.
  printf '[HKEY_CURRENT_USER\\Software\\Wine\\WineDbg]\r\n"ShowCrashDialog"=dword:00000000\r\n\r\n'
  printf '[HKEY_LOCAL_MACHINE\\Software\\Wine\\Ports]\r\n'
  for n in $(seq 1 31); do
    printf '"COM%d"="%s"\r\n' "$n" "$(printf '%s' "$ports/COM$n" | sed 's/\\/\\\\/g')"
  done
  # The host's own serial devices would otherwise take free COM numbers
  # below 32, and a scan would touch real hardware.
  for n in $(seq 32 40); do printf '"COM%d"=""\r\n' "$n"; done
  printf '\r\n'
} > "$regfile"
"$wine" regedit /S "Z:$(printf '%s' "$regfile" | sed 's#/#\\#g')" >/dev/null 2>&1
rm -f "$regfile"
wineserver -k || true
wineserver -w || true
# Mark the prefix ready only once the registry really holds the settings:
# without the null driver every window of the tests fails (error 1400).
if ! grep -q '"Graphics"="null"' "$WINEPREFIX/user.reg" || ! grep -q '"COM31"=' "$WINEPREFIX/system.reg"; then
  echo "wine-prefix.sh: the settings did not reach the registry of $WINEPREFIX" >&2
  exit 1
fi
echo "$stamp" > "$WINEPREFIX/.nimbrel-ready"
