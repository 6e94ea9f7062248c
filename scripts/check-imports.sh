#!/usr/bin/env bash
# Fails when a Windows program imports a DLL that scripts/allowed-imports.txt does not name:
# Windows would look for it beside the program first, where anyone may have put one.
# Usage: scripts/check-imports.sh PROGRAM.exe...
set -euo pipefail
list="$(dirname "$0")/allowed-imports.txt"
[ $# -gt 0 ] || { echo "usage: $0 PROGRAM.exe..." >&2; exit 2; }
# The names before any colon, without comments and blanks.
allowed=$(sed -e 's/#.*//' -e 's/:.*//' -e 's/[[:space:]]//g' "$list" | grep -v '^$')
status=0
for program in "$@"; do
    dlls=$(x86_64-w64-mingw32-objdump -p "$program" | sed -n 's/^[[:space:]]*DLL Name: *//p')
    # A program that imports nothing has not been read as it should.
    [ -n "$dlls" ] || { echo "$program: no import table found"; status=1; continue; }
    while read -r dll; do
        grep -qixF -- "$dll" <<<"$allowed" || { echo "$program imports $dll, which $list does not allow"; status=1; }
    done <<<"$dlls"
done
exit "$status"
