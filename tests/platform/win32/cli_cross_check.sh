#!/usr/bin/env bash
# The Windows program under Wine and the native program must print the same lines, with the
# same exit status, for the same trees: the demo tree, a tree whose links loop (Wine
# cannot create links itself, but follows the ones made here), labels with control
# characters, and a folder that is not there.
set -euo pipefail
native=$1
windows=$2
demo=$3

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

run_native() { "$native" "$1" "$2" && echo "status 0" || echo "status $?"; }
run_windows() {
    local folder
    folder=$(winepath -w "$2")
    { wine "$windows" "$1" "$folder" && echo "status 0" || echo "status $?"; } | tr -d '\r'
}

# compare MODE FOLDER_FOR_NATIVE FOLDER_FOR_WINDOWS: both folders hold the same tree.
compare() {
    local native_out windows_out
    native_out=$(run_native "$1" "$2")
    windows_out=$(run_windows "$1" "$3")
    if [ "$native_out" = "$windows_out" ]; then
        echo "same: $1 $(basename "$2")"
    else
        echo "DIFFERENT: $1 $2"
        diff <(echo "$native_out") <(echo "$windows_out") || true
        failures=$((failures + 1))
    fi
}

mkdir -p "$work/loop/A/S"
printf '[UserData]\r\nVorname=A\r\nName=B\r\n' > "$work/loop/A/user.dat"
printf '[Optionen]\r\nIdentifikation=UVJYX0RfU1RBTkRBUkRfX0tGMQ==\r\nNormdaten=0\r\n' > "$work/loop/A/S/sitzung.dat"
ln -s ../.. "$work/loop/A/S/zur Wurzel"
ln -s A "$work/loop/Z Kopie von A"
expected=$(printf 'A B\n  >> S    [Patch ausführen (0)]\nstatus 0')
if [ "$(run_native preview "$work/loop")" != "$expected" ]; then
    echo "DIFFERENT: the native program does not list the looping tree once"
    failures=$((failures + 1))
fi
compare preview "$work/loop" "$work/loop"

# Control characters in labels, from a Windows-1252 and a UTF-16 file, come out escaped. A
# folder whose name holds a line break cannot take part: Wine lists it, but refuses every
# path through it, as Windows knows no such name.
mkdir -p "$work/odd/K/1" "$work/odd/K/2"
printf '[UserData]\r\nVorname=K\tL\x81\r\nName=\\M\r\n' > "$work/odd/K/user.dat"
printf '[TreeData]\r\nBezeichnung=a\033[1mb\177c\r\n[Optionen]\r\nIdentifikation=UVJYX0RfU1RBTkRBUkRfX0tGMQ==\r\nNormdaten=0\r\n' \
    > "$work/odd/K/1/sitzung.dat"
{
    printf '\xff\xfe'
    printf '[TreeData]\r\nBezeichnung=d\xc2\x85e\r\n[Optionen]\r\nIdentifikation=UVJYX0RfU1RBTkRBUkRfX0tGMQ==\r\nNormdaten=0\r\n' |
        iconv -f UTF-8 -t UTF-16LE
} > "$work/odd/K/2/sitzung.dat"
expected=$(printf '%s\n' 'K\x09L\u0081 \\M' '  >> a\x1B[1mb\x7Fc    [Patch ausführen (0)]' \
    '  >> d\u0085e    [Patch ausführen (0)]' 'status 0')
if [ "$(run_native preview "$work/odd")" != "$expected" ]; then
    echo "DIFFERENT: the native program does not escape the control characters"
    failures=$((failures + 1))
fi
compare preview "$work/odd" "$work/odd"
# The scan's own line and a status of its own.
compare preview "$work/fehlt" "$work/fehlt"

for mode in preview apply; do
    cp -r "$demo" "$work/native-$mode"
    cp -r "$demo" "$work/windows-$mode"
    compare "$mode" "$work/native-$mode" "$work/windows-$mode"
done
compare preview "$work/native-apply" "$work/windows-apply"

if [ "$failures" -ne 0 ]; then
    echo "$failures comparison(s) differ"
    exit 1
fi
