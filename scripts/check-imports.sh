#!/usr/bin/env bash
# Fails when a Windows program imports a DLL or a function that scripts/allowed-imports.txt
# does not name. A DLL outside the list Windows would look for beside the program first, where
# anyone may have put one; a function outside it may be missing on an older Windows, which
# would then refuse to start the program ("entry point not found").
# Usage: scripts/check-imports.sh PROGRAM.exe...
set -euo pipefail
list="$(dirname "$0")/allowed-imports.txt"
[ $# -gt 0 ] || { echo "usage: $0 PROGRAM.exe..." >&2; exit 2; }

# The list's lines without comments and blanks, each DLL name in lower case and a single blank
# after a colon: "kernel32.dll" or "kernel32.dll: CreateFileW".
entries=$(sed -e 's/#.*//' -e 's/[[:space:]]//g' "$list" | grep -v '^$' |
    awk -F: '{ print (NF > 1 ? tolower($1) ": " $2 : tolower($1)) }')
allowed_dlls=$(grep -v ':' <<<"$entries" || true)
allowed_functions=$(grep ':' <<<"$entries" || true)

# The objdump of the program's own architecture, by the machine field of its PE header.
objdump_for() {
    local header machine
    header=$(od -An -tu4 -j60 -N4 "$1" | tr -d ' ')
    machine=$(od -An -tx2 -j$((header + 4)) -N2 "$1" | tr -d ' ')
    case $machine in
        8664) echo x86_64-w64-mingw32-objdump ;;
        014c) echo i686-w64-mingw32-objdump ;;
        *) echo "$1: not a Windows program for x86 or x64" >&2; return 1 ;;
    esac
}

# imports PROGRAM: "dll: function" for each function the program imports ("dll: #N" for one
# imported by its number).
imports() {
    "$(objdump_for "$1")" -p "$1" | awk '
        /^\tDLL Name: / { dll = tolower($3); next }
        /^[[:space:]]*$/ { dll = ""; next }
        dll != "" && /^\t[0-9a-f]+\t/ { print dll ": " (NF >= 3 ? $3 : "#" $2) }'
}

# not_in LIST: the lines of standard input that LIST does not hold.
not_in() { grep -vxF -f <(printf '%s\n' "$1") || true; }

status=0
for program in "$@"; do
    found=$(imports "$program") || { status=1; continue; }
    # A program that imports nothing has not been read as it should.
    [ -n "$found" ] || { echo "$program: no import table found"; status=1; continue; }
    while read -r dll; do
        [ -n "$dll" ] && echo "$program imports $dll, which $list does not allow" && status=1
    done < <(sed 's/:.*//' <<<"$found" | sort -u | not_in "$allowed_dlls")
    while read -r function; do
        [ -n "$function" ] && echo "$program imports $function, which $list does not list" && status=1
    done < <(not_in "$allowed_functions" <<<"$found")
done
exit "$status"
