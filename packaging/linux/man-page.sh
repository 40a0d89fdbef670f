#!/usr/bin/env bash
# Writes the gzipped man page of one of the Linux programs from the
# program's own --version and --help, so the two never tell different
# things; for nimbrel, each command's --help becomes a section of its own.
# Usage: man-page.sh <program> <one-line description> <output .1.gz>
set -euo pipefail
program=$1 description=$2 output=$3
name=$(basename "$program")

# Help text as roff, line for line, in no-fill mode.
verbatim() {
  echo '.nf'
  sed -e 's/\\/\\e/g' -e "s/^\([.']\)/\\\\\&\1/"
  echo '.fi'
}

help=$("$program" --help)
{
  echo ".TH $(echo "$name" | tr a-z A-Z) 1 \"\" \"$("$program" --version)\" \"User Commands\""
  echo '.SH NAME'
  echo "$name \\- $description"
  echo '.SH SYNOPSIS'
  grep '^Usage: ' <<< "$help" | sed 's/^Usage: //' | verbatim
  echo '.SH DESCRIPTION'
  grep -v '^Usage: ' <<< "$help" | verbatim
  commands=$(sed -n '/^Subcommands:/,/^$/p' <<< "$help" | awk 'NR > 1 && NF { print $1 }')
  if [ -n "$commands" ]; then
    echo '.SH COMMANDS'
    for command in $commands; do
      echo ".SS $command"
      "$program" "$command" --help | verbatim
    done
  fi
} | gzip -9n > "$output"
