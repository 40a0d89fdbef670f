# Sourced by the Wine scripts: the private prefix of a build directory
# ($1) and the loader that starts our programs, $wine.
export WINEPREFIX="$1/wineprefix" WINEDEBUG="${WINEDEBUG:--all}" WINEDLLOVERRIDES="winemenubuilder.exe=d"
# Our programs are 64-bit. Started by Wine's 64-bit loader itself, they
# need no 32-bit Wine, and run where "wine" would pick the 32-bit loader
# (32-bit Wine installed on a host that cannot run 32-bit code).
wine=wine
for loader in /usr/lib/wine/wine64 "$(command -v wine64)"; do
  if [ -x "$loader" ]; then wine=$loader; break; fi
done
