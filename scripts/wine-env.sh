# Sourced by the Wine scripts: the private prefix of a build directory
# ($1) and the loader that starts our programs, $wine.
export WINEPREFIX="$1/wineprefix" WINEDEBUG="${WINEDEBUG:--all}" WINEDLLOVERRIDES="winemenubuilder.exe=d"
# Our programs are 64-bit. Started by Wine's 64-bit loader itself, they
# skip the 32-bit loader that "wine" puts in front of it once 32-bit Wine
# is installed: slower, and unable to start anything in a prefix made
# before. The 64-bit loader still starts 32-bit programs (the setup
# program) through the 32-bit one.
wine=wine
for loader in /usr/lib/wine/wine64 "$(command -v wine64)"; do
  if [ -x "$loader" ]; then wine=$loader; break; fi
done
