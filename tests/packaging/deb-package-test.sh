#!/usr/bin/env bash
# The Debian package as a user gets it: made by CPack from the Linux build,
# named after the version, holding exactly the two programs and their man
# pages, and the packaged programs run and tell the build's version.
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
check "files" "./usr/bin/nimbrel ./usr/bin/nimbrel-devsim ./usr/share/man/man1/nimbrel-devsim.1.gz ./usr/share/man/man1/nimbrel.1.gz" \
  "$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ {print $6}' | sort | xargs)"

dpkg-deb -x "$deb" "$work/root"
bin="$work/root/usr/bin"
check "nimbrel --version" "nimbrel $version" "$("$bin/nimbrel" --version)"
check "nimbrel-devsim --version" "nimbrel-devsim $version" "$("$bin/nimbrel-devsim" --version)"
check "nimbrel --help" "Usage: nimbrel [OPTIONS] SUBCOMMAND" "$("$bin/nimbrel" --help | grep '^Usage:')"
check "nimbrel-devsim --help" "Usage: nimbrel-devsim [OPTIONS]" "$("$bin/nimbrel-devsim" --help | grep '^Usage:')"
# Each man page says all that the packaged program's help says, line for
# line, and nimbrel's says each command's help as well.
man="$work/root/usr/share/man/man1"
for program in nimbrel nimbrel-devsim; do
  help=$("$bin/$program" --help | grep -v '^Usage: ')  # the synopsis, without the word
  for command in $(sed -n '/^Subcommands:/,/^$/p' <<< "$help" | awk 'NR > 1 && NF { print $1 }'); do
    help+=$'\n'$("$bin/$program" "$command" --help)
  done
  check "lines of $program's help missing from its man page" "" \
    "$(grep . <<< "$help" | grep -Fxv -f <(zcat "$man/$program.1.gz"))"
done

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
