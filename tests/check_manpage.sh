#!/bin/sh
# Usage: check_manpage.sh PAGE
#
# Fails when an mdoc checker on this machine has anything to say about PAGE:
# mandoc's lint at warning level and groff with all warnings enabled, each
# when installed. Exits 77 (skipped) when neither is installed.
set -u

page=$1
if [ ! -r "$page" ]; then
  echo "cannot read $page"
  exit 1
fi

checked=no
status=0

# Both tools set a status, but a diagnostic printed with status 0 is a
# failure too: groff reports warnings on standard error and exits 0.
run_checker() {
  name=$1
  shift
  checked=yes
  output=$("$@" 2>&1)
  result=$?
  if [ "$result" -ne 0 ] || [ -n "$output" ]; then
    echo "$name reports (status $result):"
    echo "$output"
    status=1
  fi
}

if command -v mandoc >/dev/null 2>&1; then
  run_checker mandoc mandoc -T lint -W warning "$page"
fi
if command -v groff >/dev/null 2>&1; then
  run_checker groff groff -ww -mdoc -Tutf8 -z "$page"
fi

if [ "$checked" = no ]; then
  echo "neither mandoc nor groff is installed"
  exit 77
fi
exit "$status"
