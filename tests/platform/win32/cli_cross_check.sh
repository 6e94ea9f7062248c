#!/usr/bin/env bash
# The Windows program under Wine and the native program must print the same lines, with the
# same exit status and the same reports on standard error, for the same trees: the demo
# tree, a tree whose links loop (Wine cannot create links itself, but follows the ones made
# here), labels with control characters, a folder that is not there and one below the root
# that cannot be read. Both must also end an apply interrupted by Ctrl-C as they should, and
# say so when their results cannot be written.
set -euo pipefail
native=$1
windows=$2
demo=$3

work=$(mktemp -d)
trap 'chmod -R u+rwx "$work"; rm -rf "$work"' EXIT
failures=0

# Standard output, the status, then standard error with FOLDER for the folder given and "/"
# between names, so that both programs' reports read alike.
run_native() {
    "$native" "$1" "$2" 2>"$work/err" && echo "status 0" || echo "status $?"
    sed "s|$2|FOLDER|g" "$work/err"
}
run_windows() {
    local folder
    folder=$(winepath -w "$2")
    { wine "$windows" "$1" "$folder" 2>"$work/err" && echo "status 0" || echo "status $?"; } | tr -d '\r'
    # The folder through the environment: awk would read its backslashes as escapes.
    tr -d '\r' <"$work/err" | FOLDER=$folder awk '{ folder = ENVIRON["FOLDER"]; gsub(/\\/, "/"); gsub(/\\/, "/", folder);
        i = index($0, folder); if (i) $0 = substr($0, 1, i - 1) "FOLDER" substr($0, i + length(folder)); print }'
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

# Control characters in labels, from a Windows-1252 and a UTF-16 file, come out escaped.
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
# A pipe and a device where files are expected: named, never read, and the run goes on.
mkdir -p "$work/devices/A/1" "$work/devices/A/2"
mkfifo "$work/devices/A/user.dat"
ln -s /dev/zero "$work/devices/A/1/sitzung.dat"
printf '[Optionen]\r\nIdentifikation=UVJYX0RfU1RBTkRBUkRfX0tGMQ==\r\nNormdaten=0\r\n' > "$work/devices/A/2/sitzung.dat"
compare preview "$work/devices" "$work/devices"

for mode in preview apply; do
    cp -r "$demo" "$work/native-$mode"
    cp -r "$demo" "$work/windows-$mode"
    compare "$mode" "$work/native-$mode" "$work/windows-$mode"
done
compare preview "$work/native-apply" "$work/windows-apply"

# A folder below the root that cannot be read is named, with the same reason and status
# (where permissions bind: scripts/test.sh runs the tests so).
mkdir -p "$work/closed/A/1" "$work/closed/A/2/3"
printf '[UserData]\r\nVorname=A\r\nName=B\r\n' > "$work/closed/A/user.dat"
printf '[Optionen]\r\nIdentifikation=UVJYX0RfU1RBTkRBUkRfX0tGMQ==\r\nNormdaten=0\r\n' > "$work/closed/A/1/sitzung.dat"
cp "$work/closed/A/1/sitzung.dat" "$work/closed/A/2/3/sitzung.dat"
chmod 000 "$work/closed/A/2"
compare preview "$work/closed" "$work/closed"

# Ctrl-C in the middle of an apply: the program finishes the session at hand, lists what it
# did and ends with status 130. Every session listed as patched is patched on disk, and no
# other. Each program gets its tree, 600 sessions, and the signal once one is patched.
make_many() {
    local c s
    mkdir -p "$1"/C{01..30}/S{01..20}
    for c in {01..30}; do
        printf '[UserData]\r\nVorname=C%s\r\nName=X\r\n' "$c" > "$1/C$c/user.dat"
        for s in {01..20}; do
            printf '[TreeData]\r\nBezeichnung=C%s/S%s\r\n[Optionen]\r\nIdentifikation=UVJYX0RfU1RBTkRBUkRfX0tGMQ==\r\nNormdaten=0\r\n' \
                "$c" "$s" > "$1/C$c/S$s/sitzung.dat"
        done
    done
}

# interrupted NAME TREE JOB: waits for the first patched session, sends SIGINT to the program
# NAME, started in the background as JOB on TREE, and checks what it did then.
interrupted() {
    local name=$1 tree=$2 job=$3 status=0 program listed on_disk _
    for _ in $(seq 3000); do
        grep -q 'Normdaten=1' "$tree/C01/S01/sitzung.dat" || ! kill -0 "$job" 2>/dev/null && break
        sleep 0.01
    done
    # Wine runs the program in the job's process, or in a later process of the job's group:
    # the 32-bit Wine starts a 64-bit program through start.exe, in a process of its own. Ctrl-C
    # reaches the whole group as SIGINT; the program is the newest there that names it.
    program=$(pgrep -n -g "$job" -f vemor-patch || true)
    kill -INT "${program:-$job}" 2>/dev/null || true
    wait "$job" || status=$?
    listed=$(tr -d '\r' <"$tree.out" | sed -n 's/^  >> \(.*\)    \[Patch erfolgreich ausgeführt\]$/\1/p' | sort)
    on_disk=$(cd "$tree" && grep -l 'Normdaten=1' -r . | sed 's|^\./||; s|/sitzung.dat$||' | sort)
    if [ "$status" -ne 130 ] || ! grep -q interrupted "$tree.err" || [ "$listed" != "$on_disk" ] ||
        [ -z "$listed" ]; then
        echo "DIFFERENT: the $name program, interrupted: status $status, $(wc -l <<<"$listed") listed," \
            "$(wc -l <<<"$on_disk") patched on disk"
        cat "$tree.err"
        failures=$((failures + 1))
    else
        echo "same: interrupted $name apply, status 130, $(wc -l <<<"$listed") sessions patched and listed"
    fi
}

make_many "$work/many-native"
cp -r "$work/many-native" "$work/many-windows"
# With job control the program starts as from a shell's prompt, Ctrl-C not ignored.
set -m
"$native" apply "$work/many-native" >"$work/many-native.out" 2>"$work/many-native.err" &
interrupted native "$work/many-native" $!
windows_tree=$(winepath -w "$work/many-windows")
wine "$windows" apply "$windows_tree" >"$work/many-windows.out" 2>"$work/many-windows.err" &
interrupted Windows "$work/many-windows" $!
set +m

# Results that cannot be written: a full disk, a closed standard output, a pipe whose reader
# leaves after the first line while there is more than the pipe holds. Each program reports
# the folder it cannot read, then why the results did not arrive, and ends with status 5.
mkdir -p "$work/wide/A/zu"
for s in {001..300}; do
    mkdir "$work/wide/A/S$s"
    printf '[TreeData]\r\nBezeichnung=%s%0250d\r\n[Optionen]\r\nIdentifikation=UVJYX0RfU1RBTkRBUkRfX0tGMQ==\r\nNormdaten=0\r\n' \
        "$s" 0 > "$work/wide/A/S$s/sitzung.dat"
done
chmod 000 "$work/wide/A/zu"
# unwritable NAME WORDS STATUS: checks the status and the standard error of the run just made.
unwritable() {
    if [ "$3" -ne 5 ] || [ "$(tr -d '\r' <"$work/err" | sed 's|.*[\\/]zu: |zu: |')" != "zu: cannot be read (permission denied)
vemor-patch: standard output: cannot be written ($2)" ]; then
        echo "DIFFERENT: the $1: status $3" && cat "$work/err" && failures=$((failures + 1))
    else
        echo "same: the $1, status 5"
    fi
}
for name in native Windows; do
    run=("$native" preview "$work/wide")
    [ "$name" = native ] || run=(wine "$windows" preview "$(winepath -w "$work/wide")")
    status=0; "${run[@]}" >/dev/full 2>"$work/err" || status=$?
    unwritable "$name program onto a full disk" "no space left on the device" "$status"
    status=0; "${run[@]}" >&- 2>"$work/err" || status=$?
    unwritable "$name program with standard output closed" closed "$status"
    { "${run[@]}" 2>"$work/err" | head -n 1 >/dev/null; status=${PIPESTATUS[0]}; } || true
    unwritable "$name program into a pipe closed early" "broken pipe" "$status"
done

if [ "$failures" -ne 0 ]; then
    echo "$failures comparison(s) differ"
    exit 1
fi
