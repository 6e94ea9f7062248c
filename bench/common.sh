# Helpers of bench/run.sh: trees, copies, timing and the Markdown around the tables.
# shellcheck shell=bash

# One line on the machine the numbers come from.
machine() {
    local fs
    fs=$(df -T "$out" | awk 'NR == 2 { print $2 }')
    echo "$(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | xargs), $(uname -sr), $fs, load $(cut -d' ' -f1-3 /proc/loadavg)"
}

# heading TITLE: the table's title, the machine and the command that made it; the section's
# report also goes to $out/report/SECTION.md.
heading() {
    echo
    echo "### $1"
    echo
    echo "$(machine); \`$command_line\`"
    echo
}

# make_tree FOLDER CLIENTS PER_CLIENT: once per size; the generator is deterministic. Files
# changed in the last three seconds are read afresh for every value, which a practice's tree
# never sees: so a new tree gets that long before any run.
make_tree() {
    if [ ! -f "$1.done" ] || [ "$(cat "$1.done")" != "$2 $3" ]; then
        rm -rf "$1"
        "$out/make_tree" "$1" "$2" "$3" >/dev/null
        echo "$2 $3" >"$1.done"
        sleep 3
    fi
}

# The number of session files in a tree, whatever their letter case.
session_count() {
    find "$1" -type f -iname sitzung.dat | wc -l
}

# fresh_copy TREE COPY: a copy on disk, so that no run pays for writing it back, three seconds
# old (see make_tree) and in the cache.
fresh_copy() {
    rm -rf "$2"
    cp -a "$1" "$2"
    sync
    sleep 3
    "$out/floor" read "$2" >/dev/null
}

# manifest TREE: every entry with its kind, mode and size, then every file's checksum; two
# trees with the same manifest hold the same bytes under the same names and permissions.
manifest() {
    (
        cd "$1"
        find . -mindepth 1 -printf '%y %m %s %P\n' | LC_ALL=C sort
        find . -type f -print0 | LC_ALL=C sort -z | xargs -0 -r sha256sum
    )
}

# Windows form of a Linux path, for the program under Wine.
windows_path() {
    echo "Z:$(realpath "$1" | tr / '\\')"
}

# measure FILE COMMAND...: appends "seconds peak-KB" of one run to FILE; standard output of
# the command goes to FILE.out.
measure() {
    local file=$1 start end
    shift
    start=$EPOCHREALTIME
    /usr/bin/time -f '%M' -o "$file.kb" "$@" >"$file.out"
    end=$EPOCHREALTIME
    echo "$(awk -v s="$start" -v e="$end" 'BEGIN { printf "%.3f", e - s }') $(tail -n 1 "$file.kb")" >>"$file"
}

median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
seconds() { cut -d' ' -f1 <"$1" | median; }
peak_mb() { cut -d' ' -f2 <"$1" | sort -n | tail -n 1 | awk '{ printf "%.1f", $1 / 1024 }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.2f", a / b; else print "-" }'; }
# at_most VALUE LIMIT: yes or no; - where there is no value, as a ratio to a run not made
at_most() { awk -v a="$1" -v b="$2" 'BEGIN { if (a !~ /^[0-9.]+$/) print "-"; else print (a + 0 <= b + 0) ? "yes" : "no" }'; }

# Wine's own server for our prefix, kept running across the runs and ended on exit.
start_wine() {
    use_wine_prefix "$PWD/build/windows/wineprefix"
    if [ -z "${wine_started:-}" ]; then
        wineserver -p 2>/dev/null || true  # 2: the prefix's server runs already
        wine_started=1
        trap 'wineserver -k 2>/dev/null || true' EXIT
        wine "$windows_exe" --version >/dev/null 2>&1  # starts Wine's services before any timing
    fi
}
