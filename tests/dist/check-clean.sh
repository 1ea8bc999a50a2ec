#!/usr/bin/env bash
# Runs the checker that the desktop uses for one installed file and fails on
# any complaint, however small:
#   check-clean.sh desktop FILE    desktop-file-validate
#   check-clean.sh appstream FILE  appstreamcli validate --no-net (pedantic too)
#   check-clean.sh man FILE        man --warnings, every groff warning on
set -uo pipefail
kind=$1
file=$2
case $kind in
  desktop) output=$(desktop-file-validate "$file" 2>&1) ;;
  appstream)
    output=$(appstreamcli validate --no-net --pedantic "$file" 2>&1)
    status=$?
    # Its one line of success is no complaint.
    output=$(printf '%s\n' "$output" | sed -e '/^$/d' -e '/^✔ Validation was successful\.$/d')
    (exit $status) ;;
  man) output=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l "$file" 2>&1 >/dev/null) ;;
  *) echo "usage: $0 desktop|appstream|man FILE"; exit 2 ;;
esac
status=$?
if [ $status -ne 0 ] || [ -n "$output" ]; then
  echo "$file: $kind check failed (status $status):"
  printf '%s\n' "$output"
  exit 1
fi
echo "$file: clean"
