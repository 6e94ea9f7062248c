#!/usr/bin/env bash
# Measures the main window's refresh scan under Wine from another process
# (bench/window_scan_driver.cpp) against the Windows command-line program's preview of the same tree, in
# alternating order, on a virtual screen. No part of the test command.
#
#   bench/window_scan.sh [OPTION...]      options (defaults in brackets):
#     --clients N [400] --sessions N [10]   the tree (bench/make_tree.cpp)
#     --rounds N [3]                        rounds; medians are reported
#     --program EXE                         a desktop program to measure instead of this
#                                           build's; may be given more than once (say, an
#                                           older build beside this one), each is measured
#
# Per program: the scan's seconds (the click on the scan button until "Ausführen" is enabled)
# and their ratio to the command line's (whose seconds include Wine's start); the slowest
# answer of the list box to LB_GETCOUNT, asked every 20 ms during the scan; how many line
# counts were seen; how often IsHungAppWindow said yes; whether the lines equal the command
# line's output; the selection and top line it leaves (each value seen). Files go to
# build/bench-window.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib.sh
source scripts/gui.sh
source bench/common.sh

out=build/bench-window
clients=400
per_client=10
rounds=3
programs=()

usage() { sed -n '2,/^set -euo/p' "$0" | sed '$d' | sed 's/^# \{0,1\}//'; }

while [ $# -gt 0 ]; do
    case $1 in
        --clients) clients=$2; shift ;;
        --sessions) per_client=$2; shift ;;
        --rounds) rounds=$2; shift ;;
        --program) programs+=("$(realpath "$2")"); shift ;;
        -h | --help) usage; exit 0 ;;
        *) usage >&2; exit 2 ;;
    esac
    shift
done

say() { echo "== $*" >&2; }

ensure_packages "${BUILD_PACKAGES[@]}" "${WINDOWS_PACKAGES[@]}" "${GUI_PACKAGES[@]}" "${BENCH_PACKAGES[@]}"
say "Building"
mkdir -p "$out"
c++ -O2 -std=c++20 -o "$out/make_tree" bench/make_tree.cpp
cmake --preset windows >/dev/null
cmake --build --preset windows --target vemor_patch_72_01 vemor-patch >/dev/null
x86_64-w64-mingw32-g++-posix -O2 -std=c++20 -static -municode -o "$out/window_scan_driver.exe" \
    bench/window_scan_driver.cpp
build=$PWD/build/windows
[ ${#programs[@]} -gt 0 ] || programs=("$build/src/vemor_patch_72_01.exe")
cli=$build/src/vemor-patch.exe
driver=$out/window_scan_driver.exe

# A prefix of its own with the window fonts, whose empty documents folder gives the first
# preview one line and leaves "Ausführen" disabled.
use_wine_prefix "$build/bench-prefix"
add_window_fonts
documents="$WINEPREFIX/drive_c/users/$(id -un)/Documents"
[ -L "$documents" ] && rm "$documents"
rm -rf "$documents/Eigene Diagnostik"
mkdir -p "$documents/Eigene Diagnostik"
start_xvfb
wineserver -p 2>/dev/null || true
trap 'wineserver -k 2>/dev/null || true; stop_xvfb' EXIT
wine "$cli" --version >/dev/null 2>&1  # Wine's services start before any timing

tree=$out/tree
say "Tree of $clients clients x $per_client sessions"
make_tree "$tree" "$clients" "$per_client"
folder=$(windows_path "$tree")
dir=$out/runs
rm -rf "$dir" && mkdir -p "$dir"

measure_cli() { measure "$dir/cli" wine "$cli" preview "$folder"; }
# measure_window INDEX: one scan of programs[INDEX]; its driver line goes to window-INDEX.
measure_window() {
    local line
    line=$(wine "$driver" "$(winepath -w "${programs[$1]}")" "$folder" \
        "$(winepath -w "$dir/window-$1.lines")" 2>/dev/null | tr -d '\r') || { echo "driver failed: ${programs[$1]}" >&2; exit 1; }
    echo "$line" >>"$dir/window-$1"
}

for round in $(seq "$rounds"); do
    say "Round $round of $rounds"
    if [ $((round % 2)) -eq 1 ]; then
        measure_cli
        for i in "${!programs[@]}"; do measure_window "$i"; done
    else
        for i in "${!programs[@]}"; do measure_window "$i"; done
        measure_cli
    fi
done

field() { sed -E "s/.*\b$1=([^ ]*).*/\1/" "$2"; }
cli_seconds=$(seconds "$dir/cli")
echo
echo "$(machine); \`bench/window_scan.sh --clients $clients --sessions $per_client --rounds $rounds\`," \
    "$(session_count "$tree") sessions, $(wc -l <"$dir/cli.out") lines"
echo
echo "| run | seconds (median) | ratio to command line | slowest answer ms | line counts seen (fewest) | hung | lines = command line's | selection, top line |"
echo "|---|---|---|---|---|---|---|---|"
echo "| command line preview (with Wine's start) | $cli_seconds | 1.00 | | | | | |"
for i in "${!programs[@]}"; do
    runs=$dir/window-$i
    window_seconds=$(field seconds "$runs" | median)
    same=$(cmp -s "$dir/window-$i.lines" "$dir/cli.out" && echo yes || echo no)
    echo "| window ${programs[$i]#"$PWD/"} | $window_seconds | $(ratio "$window_seconds" "$cli_seconds") |" \
        "$(field slowest_answer_ms "$runs" | sort -n | tail -n 1) | $(field counts_seen "$runs" | sort -n | head -n 1) |" \
        "$(field hung "$runs" | awk '{ s += $1 } END { print s }') | $same |" \
        "$(field selection "$runs" | sort -u | paste -sd/), $(field top "$runs" | sort -u | paste -sd/) |"
done
echo
echo "Driver lines: $dir/window-*; lines compared: the last round's; times of the command line: $dir/cli"
