#!/usr/bin/env bash
# The Debian package as a user gets it: made by CPack from the Linux build,
# named after the version, holding exactly the two programs, their man
# pages and the examples for mounting at login, and the packaged programs
# run and tell the build's version.
# Usage: deb-package-test.sh <Linux build dir> <version>
set -uo pipefail
build=$1 version=$2
work=$(mktemp -d /tmp/nimbrel-deb.XXXXXX)
trap 'rm -rf "$work"' EXIT
failed=0 passed=0
check() {  # check <what> <expected> <actual>
  if [ "$2" = "$3" ]; then passed=$((passed + 1)); else
    failed=$((failed + 1)); printf 'FAILED: %s\n  expected: %s\n  got:      %s\n' "$1" "$2" "$3"; fi
}

cpack --config "$build/CPackConfig.cmake" -B "$work" > "$work/cpack.log" 2>&1 || { cat "$work/cpack.log"; exit 1; }
deb="$work/nimbrel_${version}_$(dpkg --print-architecture).deb"
[ -f "$deb" ] || { echo "no $deb"; ls "$work"; exit 1; }

check "package name" nimbrel "$(dpkg-deb -f "$deb" Package)"
check "package version" "$version" "$(dpkg-deb -f "$deb" Version)"
check "packages it needs" "fuse3 libc6 libfuse3-3 libgcc-s1 libstdc++6" \
  "$(dpkg-deb -f "$deb" Depends | tr ',' '\n' | awk '{print $1}' | sort | xargs)"
check "files" "./usr/bin/nimbrel ./usr/bin/nimbrel-devsim ./usr/share/doc/nimbrel/examples/70-nimbrel.rules \
./usr/share/doc/nimbrel/examples/nimbrel-mount.service ./usr/share/man/man1/nimbrel-devsim.1.gz \
./usr/share/man/man1/nimbrel.1.gz" \
  "$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ {print $6}' | sort | xargs)"

dpkg-deb -x "$deb" "$work/root"
bin="$work/root/usr/bin"
check "nimbrel --version" "nimbrel $version" "$("$bin/nimbrel" --version)"
check "nimbrel-devsim --version" "nimbrel-devsim $version" "$("$bin/nimbrel-devsim" --version)"
check "nimbrel --help" "Usage: nimbrel [OPTIONS] SUBCOMMAND" "$("$bin/nimbrel" --help | grep '^Usage:')"
check "nimbrel-devsim --help" "Usage: nimbrel-devsim [OPTIONS]" "$("$bin/nimbrel-devsim" --help | grep '^Usage:')"
# Each man page has the sections of a man page, and nimbrel's names every
# command its help lists.
man="$work/root/usr/share/man/man1"
for program in nimbrel nimbrel-devsim; do
  check "sections of $program's man page" \
    "NAME SYNOPSIS DESCRIPTION COMMANDS OPTIONS EXIT STATUS ENVIRONMENT FILES EXAMPLES SEE ALSO" \
    "$(zcat "$man/$program.1.gz" | sed -n 's/^\.SH //p' | xargs)"
done
for command in $("$bin/nimbrel" --help | sed -n '/^Subcommands:/,/^$/p' | awk 'NR > 1 && NF { print $1 }'); do
  zcat "$man/nimbrel.1.gz" | grep -q "^\.BR* $command\b" || check "command $command in the man page" found missing
done

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
