#!/usr/bin/env bash
# Writes the manual page of sorvane-cli from the program's own help texts, so the page never
# says something the program does not.   usage: cli-manpage.sh PATH/TO/sorvane-cli OUT.1
set -euo pipefail
cli=$1
out=$2

# roff reads a line starting with . or ' as a request, and \ as an escape.
escape() { sed -e 's/\\/\\e/g' -e "s/^\([.']\)/\\\\\&\1/" -e 's/-/\\-/g'; }

usage=$("$cli" --help)
version=$("$cli" --version)
commands=$(printf '%s\n' "$usage" | sed -n '/^commands:/,/^$/p' | sed -n 's/^  \([a-z0-9]*\) .*/\1/p')
# The usage text's sections: everything up to the command list, then the common options and
# the exit status after it.
intro=$(printf '%s\n' "$usage" | sed -n '/^Sound recorder/p')
synopsis=$(printf '%s\n' "$usage" | sed -n '1,/^$/p' | sed -e 's/^usage: *//' -e 's/^ *//' | sed '/^$/d')
options=$(printf '%s\n' "$usage" | sed -n '/^options:/,/^$/p' | sed '1d;/^$/d')
status=$(printf '%s\n' "$usage" | sed -n '/^exit status:/,$p' | sed '1d;/^$/d')

tmp=$(mktemp "${out}.XXXXXX")
trap 'rm -f "$tmp"' EXIT
{
  printf '.TH SORVANE-CLI 1 "" "%s" "User Commands"\n' "$version"
  printf '.SH NAME\nsorvane\\-cli \\- %s\n' "$(printf '%s\n' "$intro" | escape)"
  printf '.SH SYNOPSIS\n.nf\n%s\n.fi\n' "$(printf '%s\n' "$synopsis" | escape)"
  printf '.SH DESCRIPTION\n%s\n' "$(printf '%s\n' "$intro" | escape)"
  printf 'Each command below is also described by\n.B sorvane\\-cli\n.I COMMAND\n.BR \\-\\-help .\n'
  printf '.SH COMMANDS\n'
  for command in $commands; do
    # The command's own help without the sections every command shares.
    help=$("$cli" "$command" --help | sed '/^options of every command:/,$d')
    printf '.SS %s\n.nf\n%s\n.fi\n' "$command" "$(printf '%s\n' "$help" | sed -e '$!b' -e '/^$/d' | escape)"
  done
  printf '.SH OPTIONS\n.nf\n%s\n.fi\n' "$(printf '%s\n' "$options" | escape)"
  printf '.SH EXIT STATUS\n.nf\n%s\n.fi\n' "$(printf '%s\n' "$status" | escape)"
  printf '.SH ENVIRONMENT\n.TP\n.B SORVANE_DATA_DIR\n'
  printf 'The folder of the settings ("Record Setup.sys") instead of the Data folder beside the program.\n'
  printf '.TP\n.B PULSE_SERVER\nThe sound server that record and schedule capture from.\n'
  printf '.SH SEE ALSO\n.BR sorvane (1)\n'
} >"$tmp"
chmod 644 "$tmp"
mv "$tmp" "$out"
trap - EXIT
