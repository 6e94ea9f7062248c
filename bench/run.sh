#!/usr/bin/env bash
# Measures vemor-patch against the floor (bench/floor.cpp: the least a scan must do, reading
# and changing files in place) and a plain script peer (bench/peer.py) on generated practice
# trees; its Windows build under Wine against the Wine floor (bench/wine_floor.cpp, the same
# for a Windows program). No part of the test command.
#
#   bench/run.sh [SECTION...] [OPTION...]        sections, in this order by default:
#     time     seconds and peak memory of floor and vemor-patch on the full tree, alternating,
#              apply on fresh copies; on a tenth of it the Wine floor's read and the Windows
#              build's preview under Wine, alternating
#     counts   file-system calls per session (strace) of floor read, preview, peer, floor apply,
#              apply, and under Wine (its server's calls included) of the Wine floor's read and
#              apply and the Windows build's preview and apply, on a small tree
#     share    the tree on a simulated server share (bench/share_shim.c), at 0 us and at each
#              delay per call: floor read, the floor with READERS reads in flight, preview and
#              (at 0 us and the first delay) peer in turn; floor apply, the overlapping floor's
#              and apply
#     wine-share  the same for the Windows build and the Wine floors under Wine, each call
#              delayed in the program (bench/wine_delay.cpp)
#     smb      the tree on a real Samba server behind a delayed link (bench/smb_share.sh,
#              bench/smb_relay.py), in network, mount and process namespaces of its own, mounted
#              through FUSE by smbnetfs (one request at a time) and by rclone's smb backend
#              (many at once; and once with at most 16 connections to the server): the floors
#              sequential and overlapping, preview and apply natively and under Wine with the
#              read-ahead on and off, and the peer, alternating; checks that output and patched
#              trees do not depend on the read-ahead. Needs root. Not in the default set
#     memory   peak memory with one very large session file, and on the full tree
#     output   preview and apply output and the patched trees, native and under Wine, on the
#              full tree (Wine: the small one) and the demo tree, saved the first time as the
#              reference and compared with it byte for byte after; and which lines of each
#              patched tree's files differ from the original's
#   options (defaults in brackets):
#     --clients N [10000] --sessions N [10]   the full tree: clients, sessions per client
#     --rounds N [3]                          rounds of the time section (median)
#     --count-clients N [300]                 the counts tree (strace is slow)
#     --share-clients N [1000] --share-delay US [200 and 2000] --share-rounds N [2]
#                                             at 200 us a call the full tree would take minutes
#                                             per run, so the share runs use a smaller tree;
#                                             --share-delay may be given more than once
#     --smb-clients N [1000] --smb-rounds N [1]  the smb section's tree (N clients x
#                                             --sessions) and rounds; --smb-clients 20 checks
#                                             that it works in a few minutes
#     --smb-delay MS [2]                      the round trip the smb section's relay adds
#     --smb-run-limit S [1800]                a run of the smb section still going after S
#                                             seconds is stopped and reported as not ended
#     SMB_CLIENTS="smbnetfs rclone rclone16"  (environment) the smb section's clients, in order
#     SMB_RUNS="apply_on apply_off"           (environment) only these runs of the smb section
#     --big-mb N [50]                         size of the large session file
#     --save                                  output: replace the reference with this build's
#     --reference DIR [build/bench/reference] output: where the reference is kept, so that
#                                             another worktree's build can be compared with it
#   bench/run.sh CLIENTS [SESSIONS [ROUNDS]] is the former form: all sections, that full tree.
# Tables go to standard output in Markdown and to build/bench/report/SECTION.md; progress to
# standard error. Needs about 3 GB in build/bench and, for all sections, about an hour.
set -euo pipefail
caller_dir=$PWD
cd "$(dirname "$0")/.."
source scripts/lib.sh
source bench/common.sh

command_line="bench/run.sh $*"
out=build/bench
clients=10000
per_client=10
rounds=3
count_clients=300
share_clients=1000
share_delays=()
share_rounds=2
smb_clients=1000
smb_rounds=1
smb_delay=2
smb_run_limit=1800
# Round trips in flight in the overlapping floors, as many as the program's readers.
readers=16
big_mb=50
save=false
reference=$out/reference
sections=()

usage() { sed -n '2,/^set -euo/p' "$0" | sed '$d' | sed 's/^# \{0,1\}//'; }

parse_arguments() {
    local numbers=()
    while [ $# -gt 0 ]; do
        case $1 in
            time | counts | share | wine-share | smb | memory | output) sections+=("$1") ;;
            all) sections+=(time counts share wine-share memory output) ;;
            --clients) clients=$2; shift ;;
            --sessions) per_client=$2; shift ;;
            --rounds) rounds=$2; shift ;;
            --count-clients) count_clients=$2; shift ;;
            --share-clients) share_clients=$2; shift ;;
            --share-delay) share_delays+=("$2"); shift ;;
            --share-rounds) share_rounds=$2; shift ;;
            --smb-clients) smb_clients=$2; shift ;;
            --smb-rounds) smb_rounds=$2; shift ;;
            --smb-delay) smb_delay=$2; shift ;;
            --smb-run-limit) smb_run_limit=$2; shift ;;
            --big-mb) big_mb=$2; shift ;;
            --save) save=true ;;
            --reference) reference=$(cd "$caller_dir" && realpath -m -- "$2"); shift ;;
            -h | --help) usage; exit 0 ;;
            [0-9]*) numbers+=("$1") ;;
            *) usage >&2; exit 2 ;;
        esac
        shift
    done
    clients=${numbers[0]:-$clients}
    per_client=${numbers[1]:-$per_client}
    rounds=${numbers[2]:-$rounds}
    [ ${#sections[@]} -gt 0 ] || sections=(time counts share wine-share memory output)
    [ ${#share_delays[@]} -gt 0 ] || share_delays=(200 2000)
}

say() { echo "== $*" >&2; }

wants() {
    local section
    for section in "${sections[@]}"; do
        [ "$section" = "$1" ] && return 0
    done
    return 1
}

build_native() {
    ensure_packages "${BUILD_PACKAGES[@]}" "${BENCH_PACKAGES[@]}"
    say "Building (Release) and the bench programs"
    cmake -S . -B "$out/release" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVEMOR_TESTS=OFF >/dev/null
    cmake --build "$out/release" -j2 >/dev/null
    c++ -O2 -std=c++20 -o "$out/make_tree" bench/make_tree.cpp
    c++ -O2 -std=c++20 -pthread -o "$out/floor" bench/floor.cpp
    cc -shared -fPIC -O2 -o "$out/share_shim.so" bench/share_shim.c -ldl
    cc -O2 -o "$out/shim_check" bench/shim_check.c
}

build_windows() {
    ensure_packages "${WINDOWS_PACKAGES[@]}"
    say "Building the Windows program"
    cmake --preset windows >/dev/null
    cmake --build --preset windows --target vemor-patch >/dev/null
    x86_64-w64-mingw32-g++-posix -O2 -std=c++20 -static -municode -o "$out/wine_floor.exe" bench/wine_floor.cpp
    # The same programs with a share's round trip before each file-system call they import.
    local wraps
    wraps=$(grep -E '^(DELAYED|WRAP)' bench/wine_delay.cpp | grep -oE '(DELAYED|DELAYED_NT|WRAP)\(\w+' |
        sed 's/.*(/--wrap=__imp_/' | paste -sd, -)
    x86_64-w64-mingw32-g++-posix -O2 -std=c++20 -fno-exceptions -c -o "$out/wine_delay.o" bench/wine_delay.cpp
    x86_64-w64-mingw32-g++-posix -O2 -std=c++20 -static -municode -o "$out/wine_floor_delayed.exe" \
        bench/wine_floor.cpp "$out/wine_delay.o" "-Wl,$wraps"
    cmake -S . -B "$out/windows-delayed" -G Ninja --toolchain cmake/mingw-w64-x86_64.cmake -DCMAKE_BUILD_TYPE=Release \
        -DVEMOR_TESTS=OFF "-DCMAKE_EXE_LINKER_FLAGS=$PWD/$out/wine_delay.o -Wl,$wraps" >/dev/null
    cmake --build "$out/windows-delayed" --target vemor-patch >/dev/null
    # The smb section starts a Wine server of its own, inside its namespaces.
    if wants time || wants counts || wants wine-share || wants output; then start_wine; fi
}

# ---- time ----

time_section() {
    local tree=$out/tree dir=$out/times round
    say "Time: tree of $clients clients x $per_client sessions, $rounds rounds"
    make_tree "$tree" "$clients" "$per_client"
    rm -rf "$dir" && mkdir -p "$dir"
    "$out/floor" read "$tree" >/dev/null  # warms the cache
    for round in $(seq "$rounds"); do
        if [ $((round % 2)) -eq 1 ]; then
            measure "$dir/floor_read" "$out/floor" read "$tree"; measure "$dir/preview" "$vemor" preview "$tree"
        else
            measure "$dir/preview" "$vemor" preview "$tree"; measure "$dir/floor_read" "$out/floor" read "$tree"
        fi
    done
    for round in $(seq "$rounds"); do
        fresh_copy "$tree" "$out/copy-floor"
        fresh_copy "$tree" "$out/copy-vemor"
        if [ $((round % 2)) -eq 1 ]; then
            measure "$dir/floor_apply" "$out/floor" apply "$out/copy-floor"; measure "$dir/apply" "$vemor" apply "$out/copy-vemor"
        else
            measure "$dir/apply" "$vemor" apply "$out/copy-vemor"; measure "$dir/floor_apply" "$out/floor" apply "$out/copy-floor"
        fi
    done
    rm -rf "$out/copy-floor" "$out/copy-vemor"
    say "Time: the Wine floor's read and the Windows build's preview of a tenth of the tree under Wine"
    local tenth=$out/tree-tenth wine_tenth
    make_tree "$tenth" $((clients / 10)) "$per_client"
    wine_tenth=$(windows_path "$tenth")
    wine "$out/wine_floor.exe" read "$wine_tenth" >/dev/null  # warms the cache and Wine's own files
    for round in $(seq "$rounds"); do
        measure "$dir/floor_tenth" "$out/floor" read "$tenth"
        measure "$dir/native_tenth" "$vemor" preview "$tenth"
        if [ $((round % 2)) -eq 1 ]; then
            measure "$dir/wine_floor_tenth" wine "$out/wine_floor.exe" read "$wine_tenth"
            measure "$dir/wine_tenth" wine "$windows_exe" preview "$wine_tenth"
        else
            measure "$dir/wine_tenth" wine "$windows_exe" preview "$wine_tenth"
            measure "$dir/wine_floor_tenth" wine "$out/wine_floor.exe" read "$wine_tenth"
        fi
    done
    time_table "$(session_count "$tree")" "$(session_count "$tenth")"
}

time_row() {  # time_row NAME FLOOR SESSIONS [TARGET-RATIO]
    local t f met=""
    t=$(seconds "$out/times/$1")
    f=$(seconds "$out/times/$2")
    if [ -n "${4:-}" ]; then met="≤ $4× $2: $(at_most "$(ratio "$t" "$f")" "$4")"; fi
    awk -v name="$1" -v t="$t" -v f="$f" -v n="$3" -v mb="$(peak_mb "$out/times/$1")" -v met="$met" \
        'BEGIN { printf "| %-16s | %7.2f | %10.0f | %14.2f | %7s | %-30s |\n", name, t, n / t, t / f, mb, met }'
}

time_table() {
    heading "Time: $1 sessions ($clients clients x $per_client), the tenth $2; median of $rounds rounds, warm cache"
    echo "| run              | seconds | sessions/s | ratio to floor | peak MB | target                         |"
    echo "|------------------|---------|------------|----------------|---------|--------------------------------|"
    time_row floor_read floor_read "$1"
    time_row preview floor_read "$1"
    time_row floor_apply floor_apply "$1"
    time_row apply floor_apply "$1"
    time_row floor_tenth floor_tenth "$2"
    time_row native_tenth floor_tenth "$2"
    time_row wine_floor_tenth wine_floor_tenth "$2"
    time_row wine_tenth wine_floor_tenth "$2" 1.30
    echo
    echo "floor apply changes each pending file in place. The _tenth rows run on the tenth; wine_tenth is the Windows build's preview under Wine, its ratio is to the Wine floor's read (wine_floor_tenth) timed in the same rounds, alternating; both include Wine's start."
}

# ---- counts ----

# count [-w] NAME TREE COMMAND...: the calls per session of one run, kept in $out/counts/NAME.*
count() {
    local flags=()
    if [ "$1" = -w ]; then
        flags=(-w)
        shift
    fi
    local name=$1 tree=$2
    shift 2
    say "Counting $name"
    bench/count_calls.sh "${flags[@]}" -o "$out/counts/$name" "$tree" "$count_sessions" "$@" >"$out/counts/$name.summary"
}

per_session() { awk '{ print $4 }' "$out/counts/$1.summary"; }

# shim_count NAME TREE COMMAND...: the same run under the share shim without delay; what it
# counts must match what strace counted, or the share section would time something else.
shim_count() {
    local name=$1 tree=$2
    shift 2
    rm -f "$out/counts/$name.shim"
    env LD_PRELOAD="$PWD/$out/share_shim.so" VEMOR_SHIM_DELAY_US=0 VEMOR_SHIM_ROOT="$tree" \
        VEMOR_SHIM_STATS="$PWD/$out/counts/$name.shim" "$@" >/dev/null
}

shim_per_session() {
    [ -f "$out/counts/$1.shim" ] || return 0
    sed 's/.*total=\([0-9]*\).*/\1/' "$out/counts/$1.shim" | awk -v n="$count_sessions" '{ s += $1 } END { printf "%.2f", s / n }'
}

counts_section() {
    local tree=$PWD/$out/count-tree copy=$PWD/$out/count-copy
    make_tree "$tree" "$count_clients" "$per_client"
    count_sessions=$(session_count "$tree")
    rm -rf "$out/counts" && mkdir -p "$out/counts"
    count floor_read "$tree" "$out/floor" read "$tree"
    shim_count floor_read "$tree" "$out/floor" read "$tree"
    count preview "$tree" "$vemor" preview "$tree"
    shim_count preview "$tree" "$vemor" preview "$tree"
    count peer "$tree" /usr/bin/python3 bench/peer.py "$tree"
    shim_count peer "$tree" /usr/bin/python3 bench/peer.py "$tree"
    fresh_copy "$tree" "$copy"
    count floor_apply "$copy" "$out/floor" apply "$copy"
    manifest "$copy" >"$out/counts/floor_apply.manifest"
    fresh_copy "$tree" "$copy"
    shim_count floor_apply "$copy" "$out/floor" apply "$copy"
    fresh_copy "$tree" "$copy"
    count apply "$copy" "$vemor" apply "$copy"
    manifest "$copy" >"$out/counts/apply.manifest"
    fresh_copy "$tree" "$copy"
    shim_count apply "$copy" "$vemor" apply "$copy"
    count -w wine_floor_read "$tree" wine "$out/wine_floor.exe" read "$(windows_path "$tree")"
    count -w wine_preview "$tree" wine "$windows_exe" preview "$(windows_path "$tree")"
    fresh_copy "$tree" "$copy"
    count -w wine_floor_apply "$copy" wine "$out/wine_floor.exe" apply "$(windows_path "$copy")"
    manifest "$copy" >"$out/counts/wine_floor_apply.manifest"
    fresh_copy "$tree" "$copy"
    count -w wine_apply "$copy" wine "$windows_exe" apply "$(windows_path "$copy")"
    manifest "$copy" >"$out/counts/wine_apply.manifest"
    rm -rf "$copy"
    counts_table
    counts_breakdown
    counts_checks
}

count_row() {  # count_row NAME FLOOR [TARGET-RATIO]
    local calls floor r met=""
    calls=$(per_session "$1")
    floor=$(per_session "$2")
    r=$(ratio "$calls" "$floor")
    if [ -n "${3:-}" ]; then met="≤ $3× floor: $(at_most "$r" "$3")"; fi
    printf "| %-44s | %13s | %14s | %-22s | %12s |\n" "$1 (floor: $2)" "$calls" "$r" "$met" "$(shim_per_session "$1")"
}

counts_table() {
    heading "File-system calls per session on the tree, $count_sessions sessions ($count_clients clients x $per_client)"
    echo "| run (its floor)                              | calls/session | ratio to floor | target                 | shim counted |"
    echo "|----------------------------------------------|---------------|----------------|------------------------|--------------|"
    count_row floor_read floor_read
    count_row preview floor_read 1.10
    count_row peer floor_read
    count_row floor_apply floor_apply
    count_row apply floor_apply 1.10
    count_row wine_floor_read wine_floor_read
    count_row wine_preview wine_floor_read 1.15
    count_row wine_floor_apply wine_floor_apply
    count_row wine_apply wine_floor_apply 1.20
    echo
    echo "calls/session: strace's count. shim counted: the calls the share shim saw in a run of its own without delay; they must match."
    echo "floor apply and wine_floor_apply change each pending file in place. Under Wine the calls include those its server makes for the program, per session:" \
        "$(for run in wine_floor_read wine_preview wine_floor_apply wine_apply; do echo "$run $(awk '{ print $6 }' "$out/counts/$run.summary")"; done | paste -sd, | sed 's/,/, /g')."
}

# Calls per session by system call, one column per run; below, what named the tree but does
# not count.
counts_breakdown() {
    local runs=(floor_read preview peer floor_apply apply wine_floor_read wine_preview wine_floor_apply wine_apply)
    heading "Calls per session by system call"
    breakdown_table calls "${runs[@]}"
    echo
    echo "Not counted (see bench/count_calls.sh), per session:"
    echo
    breakdown_table other "${runs[@]}"
}

breakdown_table() {  # breakdown_table EXTENSION RUN...
    local extension=$1
    shift
    local files=() run
    for run in "$@"; do files+=("$out/counts/$run.$extension"); done
    awk -v header="$*" -v paths="${files[*]}" '
        BEGIN { n = split(header, runs, " "); split(paths, path, " "); for (i = 1; i <= n; i++) column[path[i]] = i }
        { file = column[FILENAME]; value[$1, file] = $3; names[$1] = 1; if ($3 > top[$1]) top[$1] = $3 }
        END {
            line = "| system call            |"; rule = "|------------------------|"
            for (i = 1; i <= n; i++) {
                width[i] = length(runs[i]) > 12 ? length(runs[i]) : 12
                dashes = sprintf("%*s", width[i] + 2, ""); gsub(/ /, "-", dashes)
                line = line sprintf(" %*s |", width[i], runs[i]); rule = rule dashes "|"
            }
            print line; print rule
            for (name in names) order[++count] = name
            for (i = 1; i <= count; i++) for (j = i + 1; j <= count; j++)
                if (top[order[j]] > top[order[i]]) { t = order[i]; order[i] = order[j]; order[j] = t }
            for (i = 1; i <= count; i++) {
                line = sprintf("| %-22s |", order[i])
                for (f = 1; f <= n; f++) line = line sprintf(" %*s |", width[f], ((order[i], f) in value) ? value[order[i], f] : "")
                print line
            }
        }' "${files[@]}"
}

# What the runs printed and wrote must agree: a count of a run that went wrong is no count.
counts_checks() {
    local c=$out/counts
    heading "Checks of the counted runs"
    echo "| check                                               | result |"
    echo "|-----------------------------------------------------|--------|"
    same_row "peer.py preview lines = vemor-patch preview lines" "$c/peer.out" "$c/preview.out"
    tr -d '\r' <"$c/wine_preview.out" >"$c/wine_preview.lf"
    same_row "Windows preview lines (CR LF → LF) = native" "$c/wine_preview.lf" "$c/preview.out"
    tr -d '\r' <"$c/wine_floor_read.out" >"$c/wine_floor_read.lf"
    same_row "Wine floor read: sessions found = floor's" "$c/wine_floor_read.lf" "$c/floor_read.out"
    tr -d '\r' <"$c/wine_floor_apply.out" >"$c/wine_floor_apply.lf"
    same_row "Wine floor apply: sessions, written = floor's" "$c/wine_floor_apply.lf" "$c/floor_apply.out"
    same_row "tree after apply = tree after floor apply" "$c/apply.manifest" "$c/floor_apply.manifest"
    same_row "tree after Wine floor apply = after floor apply" "$c/wine_floor_apply.manifest" "$c/floor_apply.manifest"
    same_row "tree after Windows apply = after floor apply" "$c/wine_apply.manifest" "$c/floor_apply.manifest"
    printf "| %-51s | %6s |\n" "sessions patched: floor $(awk '{ print $3 }' "$c/floor_apply.out"), preview lists $(grep -c '^  >> ' "$c/preview.out")" \
        "$( [ "$(awk '{ print $3 }' "$c/floor_apply.out")" = "$(grep -c '^  >> ' "$c/preview.out")" ] && echo yes || echo no)"
}

same_row() {  # same_row TEXT FILE1 FILE2
    printf "| %-51s | %6s |\n" "$1" "$(cmp -s "$2" "$3" && echo yes || echo NO)"
}

# ---- share ----

# shimmed DELAY ROOT STATS COMMAND...: COMMAND on a share below ROOT, DELAY us a call.
shimmed() {
    local delay=$1 root=$2 stats=$3
    shift 3
    env LD_PRELOAD="$PWD/$out/share_shim.so" VEMOR_SHIM_DELAY_US="$delay" VEMOR_SHIM_ROOT="$root" \
        VEMOR_SHIM_STATS="$stats" "$@"
}

share_section() {
    local tree=$PWD/$out/share-tree dir=$out/share delay
    make_tree "$tree" "$share_clients" "$per_client"
    share_sessions=$(session_count "$tree")
    rm -rf "$dir" && mkdir -p "$dir"
    shim_check_table
    for delay in 0 "${share_delays[@]}"; do
        share_reads "$delay" "$tree"
        share_applies "$delay" "$tree"
    done
    share_table
}

wine-share_section() {
    local tree=$PWD/$out/share-tree delay
    make_tree "$tree" "$share_clients" "$per_client"
    share_sessions=$(session_count "$tree")
    rm -rf "$out/wine-share" && mkdir -p "$out/wine-share"
    for delay in 0 "${share_delays[@]}"; do
        wine_share_runs "$delay" "$tree"
    done
    wine_share_table
}

# The shim's real delay per call, measured, and its count of calls against the caller's.
shim_check_table() {
    local dir=$PWD/$out/shim-check delay result base="" made delayed
    rm -rf "$dir" && mkdir -p "$dir/share" && echo local >"$dir/local"
    heading "Share shim: delay per call as measured (2000 rounds of stat, open, read, close, listing, access)"
    echo "| asked µs | measured µs per call | calls made | calls the shim delayed | same |"
    echo "|----------|----------------------|------------|------------------------|------|"
    for delay in 0 50 "${share_delays[@]}"; do
        rm -f "$dir/stats"
        result=$(shimmed "$delay" "$dir/share" "$dir/stats" "$out/shim_check" "$dir/share" "$dir/local" 2000)
        [ -n "$base" ] || base=$(awk '{ print $4 }' <<<"$result")
        made=$(awk '{ print $6 }' <<<"$result")
        delayed=$(sed 's/.*total=\([0-9]*\).*/\1/' "$dir/stats")
        printf "| %8s | %20s | %10s | %22s | %4s |\n" "$delay" \
            "$(awk -v r="$result" -v b="$base" 'BEGIN { split(r, f, " "); printf "%.1f", (f[4] - b) / f[2] * 1e6 }')" \
            "$made" "$delayed" "$([ "$made" = "$delayed" ] && echo yes || echo NO)"
    done
    echo
    echo "calls made also counts, untimed, the changes: a replaced file, a temporary file, and a change in place with both kinds of lock."
}

# share_reads DELAY TREE: the floor's read sequential and overlapping, preview and the peer,
# each round starting with the next. At longer delays the peer would take minutes a round.
share_reads() {
    local delay=$1 tree=$2 names=(floor_read floor_read_overlapped preview peer) round i name
    [ "$delay" = 0 ] || [ "$delay" = "${share_delays[0]}" ] || names=(floor_read floor_read_overlapped preview)
    say "Share at $delay us: reads, $share_rounds rounds"
    "$out/floor" read "$tree" >/dev/null
    for round in $(seq "$share_rounds"); do
        for i in "${!names[@]}"; do
            name=${names[$(((round - 1 + i) % ${#names[@]}))]}
            case $name in
                floor_read) share_run "$delay" "$tree" "$name" "$out/floor" read "$tree" ;;
                floor_read_overlapped) share_run "$delay" "$tree" "$name" "$out/floor" read "$tree" "$readers" ;;
                preview) share_run "$delay" "$tree" "$name" "$vemor" preview "$tree" ;;
                peer) share_run "$delay" "$tree" "$name" /usr/bin/python3 bench/peer.py "$tree" ;;
            esac
        done
    done
}

# share_applies DELAY TREE: the floor's apply sequential and overlapping and apply, on fresh
# copies, each round starting with the next.
share_applies() {
    local delay=$1 tree=$2 names=(floor_apply floor_apply_overlapped apply) round i name copy
    say "Share at $delay us: applies on fresh copies, $share_rounds rounds"
    for round in $(seq "$share_rounds"); do
        for i in 0 1 2; do
            name=${names[$(((round - 1 + i) % 3))]}
            copy=$PWD/$out/share-copy-$name
            fresh_copy "$tree" "$copy"
            case $name in
                floor_apply) share_run "$delay" "$copy" "$name" "$out/floor" apply "$copy" ;;
                floor_apply_overlapped) share_run "$delay" "$copy" "$name" "$out/floor" apply "$copy" "$readers" ;;
                apply) share_run "$delay" "$copy" "$name" "$vemor" apply "$copy" ;;
            esac
            rm -rf "$copy"
        done
    done
}

share_run() {  # share_run DELAY ROOT NAME COMMAND...
    local delay=$1 root=$2 name=$3
    shift 3
    # The shim's share is a local disk to the program, which would decide against reading ahead.
    measure "$out/share/$name-$delay" env VEMOR_PATCH_READ_AHEAD=on LD_PRELOAD="$PWD/$out/share_shim.so" VEMOR_SHIM_DELAY_US="$delay" \
        VEMOR_SHIM_ROOT="$root" VEMOR_SHIM_STATS="$PWD/$out/share/$name-$delay.stats" "$@"
}

# Targets, from the delay on: to the sequential floor, and to the one that overlaps as much.
floor_target() { awk -v d="$1" 'BEGIN { if (d >= 2000) print 0.25; else if (d >= 200) print 0.4 }'; }
overlap_target() { awk -v d="$1" 'BEGIN { if (d >= 2000) print 1.3 }'; }

share_row() {  # share_row DELAY NAME FLOOR OVERLAPPING-FLOOR [TARGETED]
    local file=$out/share/$2-$1 t f o waits met="" ft ot
    [ -f "$file" ] || return 0
    t=$(seconds "$file")
    f=$(seconds "$out/share/$3-$1")
    o=$(seconds "$out/share/$4-$1")
    waits=$(sed 's/.*total=\([0-9]*\).*/\1/' "$file.stats" | awk -v n="$share_sessions" '{ s += $1; k++ } END { printf "%.2f", s / k / n }')
    if [ -n "${5:-}" ]; then
        ft=$(floor_target "$1")
        ot=$(overlap_target "$1")
        [ -z "$ft" ] || met="≤ $ft× floor: $(at_most "$(ratio "$t" "$f")" "$ft")"
        [ -z "$ot" ] || met="$met; ≤ $ot× overlapping: $(at_most "$(ratio "$t" "$o")" "$ot")"
    fi
    printf "| %8s | %-22s | %8.2f | %8s | %11s | %8s | %-40s |\n" "$1" "$2" "$t" "$(ratio "$t" "$f")" \
        "$(ratio "$t" "$o")" "$waits" "$met"
}

share_table() {
    local delay p q
    heading "Simulated share: $share_sessions sessions ($share_clients clients x $per_client), median of $share_rounds rounds"
    echo "| delay µs | run                    | seconds  | to floor | to overlap. | calls/s. | target                                   |"
    echo "|----------|------------------------|----------|----------|-------------|----------|------------------------------------------|"
    for delay in 0 "${share_delays[@]}"; do
        share_row "$delay" floor_read floor_read floor_read_overlapped
        share_row "$delay" floor_read_overlapped floor_read floor_read_overlapped
        share_row "$delay" preview floor_read floor_read_overlapped yes
        share_row "$delay" peer floor_read floor_read_overlapped
        share_row "$delay" floor_apply floor_apply floor_apply_overlapped
        share_row "$delay" floor_apply_overlapped floor_apply floor_apply_overlapped
        share_row "$delay" apply floor_apply floor_apply_overlapped yes
    done
    p=$(seconds "$out/share/preview-${share_delays[0]}")
    q=$(seconds "$out/share/peer-${share_delays[0]}")
    echo
    echo "At ${share_delays[0]} µs preview takes $(ratio "$p" "$q")× the peer's time. The overlapping floors read $readers folders at once and change the pending files one at a time while they read, as a scan that keeps its writes in order must. calls/s.: calls the shim delayed, per session and run (its own count, to set against the strace counts)."
}

# wine_share_runs DELAY TREE: the Windows build and the Wine floors, each call they import
# delayed, each round starting with the next; applies on fresh copies.
wine_share_runs() {
    local delay=$1 tree=$2 names=(floor_read floor_read_overlapped preview floor_apply floor_apply_overlapped apply)
    local round i name copy target
    say "Share under Wine at $delay us: $share_rounds rounds"
    for round in $(seq "$share_rounds"); do
        for i in "${!names[@]}"; do
            name=${names[$(((round - 1 + i) % ${#names[@]}))]}
            target=$tree
            if [[ $name == *apply* ]]; then
                copy=$PWD/$out/share-copy-wine-$name
                fresh_copy "$tree" "$copy"
                target=$copy
            fi
            case $name in
                floor_read | floor_apply) wine_share_run "$delay" "$name" "$out/wine_floor_delayed.exe" "${name#floor_}" "$(windows_path "$target")" ;;
                *_overlapped) wine_share_run "$delay" "$name" "$out/wine_floor_delayed.exe" "$(cut -d_ -f2 <<<"$name")" "$(windows_path "$target")" "$readers" ;;
                *) wine_share_run "$delay" "$name" "$out/windows-delayed/src/vemor-patch.exe" "$name" "$(windows_path "$target")" ;;
            esac
            [[ $name != *apply* ]] || rm -rf "$copy"
        done
    done
}

wine_share_run() {  # wine_share_run DELAY NAME COMMAND...
    local delay=$1 name=$2
    shift 2
    measure "$out/wine-share/$name-$delay" env VEMOR_PATCH_READ_AHEAD=on VEMOR_SHIM_DELAY_US="$delay" \
        VEMOR_SHIM_STATS="$PWD/$out/wine-share/$name-$delay.stats" wine "$@"
}

wine_share_table() {
    local delay name t f o met ft ot waits
    heading "Under Wine, each call delayed in the program: $share_sessions sessions, median of $share_rounds rounds, Wine's start included"
    echo "| delay µs | run                    | seconds  | to floor | to overlap. | calls/s. | target                                   |"
    echo "|----------|------------------------|----------|----------|-------------|----------|------------------------------------------|"
    for delay in 0 "${share_delays[@]}"; do
        for name in floor_read floor_read_overlapped preview floor_apply floor_apply_overlapped apply; do
            local kind=read
            [[ $name != *apply* ]] || kind=apply
            t=$(seconds "$out/wine-share/$name-$delay")
            f=$(seconds "$out/wine-share/floor_$kind-$delay")
            o=$(seconds "$out/wine-share/floor_${kind}_overlapped-$delay")
            met=""
            if [ "$name" = preview ] || [ "$name" = apply ]; then
                ft=$(floor_target "$delay")
                ot=$(overlap_target "$delay")
                [ -z "$ft" ] || met="≤ $ft× floor: $(at_most "$(ratio "$t" "$f")" "$ft")"
                [ -z "$ot" ] || met="$met; ≤ $ot× overlapping: $(at_most "$(ratio "$t" "$o")" "$ot")"
            fi
            waits=$(sed 's/.*total=\([0-9]*\).*/\1/' "$out/wine-share/$name-$delay.stats" |
                awk -v n="$share_sessions" '{ s += $1; k++ } END { printf "%.2f", s / k / n }')
            printf "| %8s | %-22s | %8.2f | %8s | %11s | %8s | %-40s |\n" "$delay" "$name" "$t" "$(ratio "$t" "$f")" \
                "$(ratio "$t" "$o")" "$waits" "$met"
        done
    done
    echo
    echo "The Windows build and the Wine floor are built once more for this with bench/wine_delay.cpp, which delays each file-system function they import in the calling thread, as one request to a Windows file server (a listing's start as two, its end as one). The shim cannot serve here: Wine makes its Linux calls partly in its server process, on descriptors the shim never sees opened. calls/s.: the calls delayed, per session and run."
}

# ---- smb ----

# The server, the relay, the mounts and Wine's server for them live in namespaces made for
# this run alone, their first process bench/smb_share.sh: when it ends, however it ends, the
# kernel ends everything in them and their mounts go with them; --kill-child ends it when
# this script is stopped.
smb_section() {
    local tree=$PWD/$out/smb-tree
    ensure_packages "${SMB_BENCH_PACKAGES[@]}"
    [ "$(id -u)" -eq 0 ] || { echo "The smb section needs root for its namespaces and Samba." >&2; return 1; }
    make_tree "$tree" "$smb_clients" "$per_client"
    say "SMB: $(session_count "$tree") sessions, $smb_delay ms round trip, $smb_rounds round(s)"
    unshare --net --mount --pid --fork --kill-child --mount-proc \
        bench/smb_share.sh "$out" "$tree" "$smb_rounds" "$smb_delay" "$smb_run_limit" "$command_line" &
    smb_unshare=$!
    # unshare itself ignores INT and TERM while its child runs.
    trap smb_stop EXIT INT TERM
    wait "$smb_unshare"
}

# Asks the namespaces' first process to clean up, and after ten seconds ends it: with it,
# the kernel ends everything in them.
smb_stop() {
    local child tries=100
    trap - EXIT INT TERM
    kill -0 "$smb_unshare" 2>/dev/null || return 0
    child=$(pgrep -P "$smb_unshare" || true)
    [ -z "$child" ] || kill -TERM "$child" 2>/dev/null || true
    while kill -0 "$smb_unshare" 2>/dev/null && [ "$tries" -gt 0 ]; do
        sleep 0.1
        tries=$((tries - 1))
    done
    kill -KILL "$smb_unshare" 2>/dev/null || true
    exit 130
}

# ---- memory ----

memory_section() {
    local big=$PWD/$out/big-tree dir=$out/memory size
    if [ ! -f "$big.done" ] || [ "$(cat "$big.done")" != "$big_mb" ]; then
        rm -rf "$big"
        /usr/bin/python3 bench/make_big_session.py "$big" "$big_mb"
        echo "$big_mb" >"$big.done"
    fi
    size=$(find "$big" -type f -iname sitzung.dat -printf '%s\n' | sort -n | tail -n 1)
    rm -rf "$dir" && mkdir -p "$dir"
    say "Memory: one session file of $big_mb MiB"
    "$out/floor" read "$big" >/dev/null
    measure "$dir/big_floor_read" "$out/floor" read "$big"
    measure "$dir/big_preview" "$vemor" preview "$big"
    fresh_copy "$big" "$out/big-copy"
    measure "$dir/big_apply" "$vemor" apply "$out/big-copy"
    local patched
    patched=$(grep -c $'^Normdaten=1\r$' "$(find "$out/big-copy" -type f -iname sitzung.dat)" || true)
    rm -rf "$out/big-copy"
    say "Memory: the full tree, $clients clients x $per_client sessions"
    make_tree "$out/tree" "$clients" "$per_client"
    "$out/floor" read "$out/tree" >/dev/null
    measure "$dir/full_floor_read" "$out/floor" read "$out/tree"
    measure "$dir/full_preview" "$vemor" preview "$out/tree"
    fresh_copy "$out/tree" "$out/full-copy"
    measure "$dir/full_apply" "$vemor" apply "$out/full-copy"
    rm -rf "$out/full-copy"
    memory_table "$size" "$patched"
}

memory_row() {  # memory_row NAME LIMIT-MB
    local mb
    mb=$(peak_mb "$out/memory/$1")
    if [ -n "$2" ]; then
        printf "| %-16s | %7s | %9s | %4s |\n" "$1" "$mb" "$2" "$(at_most "$mb" "$2")"
    else
        printf "| %-16s | %7s | %9s | %4s |\n" "$1" "$mb" "" ""
    fi
}

memory_table() {  # memory_table FILE-BYTES PATCHED-LINES
    local d=$out/memory limit_preview limit_apply
    limit_preview=$(awk -v s="$1" -v l="$(wc -c <"$d/big_preview.out")" 'BEGIN { printf "%.1f", (2 * s + l) / 1048576 }')
    limit_apply=$(awk -v s="$1" -v l="$(wc -c <"$d/big_apply.out")" 'BEGIN { printf "%.1f", (2 * s + l) / 1048576 }')
    heading "Peak memory (resident set, /usr/bin/time)"
    echo "| run              | peak MB | limit MB  | met  |"
    echo "|------------------|---------|-----------|------|"
    memory_row big_floor_read ""
    memory_row big_preview "$limit_preview"
    memory_row big_apply "$limit_apply"
    memory_row full_floor_read ""
    memory_row full_preview 24
    memory_row full_apply 24
    echo
    echo "big: one session file of $(awk -v s="$1" 'BEGIN { printf "%.1f", s / 1048576 }') MiB, pending, CR LF (limit: twice the file and the result lines); after apply its flag reads 1 in $2 line(s). full: $(session_count "$out/tree") sessions. MB = MiB."
}

# ---- output ----

output_section() {
    local target sizes="$clients clients x $per_client, Wine: $count_clients clients x $per_client"
    if [ -f "$reference/sizes.txt" ] && ! $save; then
        target=$out/output-now
        if [ "$(cat "$reference/sizes.txt")" != "$sizes" ]; then
            heading "Output not compared"
            echo "The reference was made on trees of $(cat "$reference/sizes.txt"), this run would use $sizes: run with those sizes, or --save to replace the reference."
            return 0
        fi
    else
        target=$reference
        # Only a former reference is replaced: --reference may name any folder.
        if [ -d "$target" ] && [ ! -f "$target/sizes.txt" ] && [ -n "$(ls -A "$target")" ]; then
            heading "Output not saved"
            echo "$target holds other files than a saved reference: name an empty or new folder."
            return 0
        fi
    fi
    rm -rf "$target" "$out/edits" && mkdir -p "$target" "$out/edits"
    echo "$sizes" >"$target/sizes.txt"
    make_tree "$out/tree" "$clients" "$per_client"
    make_tree "$PWD/$out/count-tree" "$count_clients" "$per_client"
    capture_native "$target"
    capture_windows "$target"
    if [ "$target" = "$reference" ]; then
        heading "Output of this build saved as the reference ($sizes)"
        echo "In $reference; later runs of \`bench/run.sh output --clients $clients --sessions $per_client --count-clients $count_clients --reference $reference\` compare with it."
        echo
        output_files_table "$reference" ""
    else
        heading "Output compared with the reference in $reference ($sizes)"
        output_files_table "$target" "$reference"
    fi
    peer_table "$target"
    edits_table
}

# capture DIR NAME COMMAND...: output, errors and exit status of one run.
capture() {
    local dir=$1 name=$2 status=0
    shift 2
    say "Output: $name"
    "$@" >"$dir/$name.out" 2>"$dir/$name.err" || status=$?
    echo "$status" >"$dir/$name.status"
}

capture_native() {
    local dir=$1 demo=$PWD/$out/demo-copy copy=$PWD/$out/output-copy
    capture "$dir" native-bench-preview "$vemor" preview "$PWD/$out/tree"
    fresh_copy "$out/tree" "$copy"
    capture "$dir" native-bench-apply "$vemor" apply "$copy"
    manifest "$copy" >"$dir/native-bench-tree.manifest"
    edits native-bench "$out/tree" "$copy"
    rm -rf "$copy"
    fresh_copy "demo/Eigene Diagnostik" "$demo"
    capture "$dir" native-demo-preview "$vemor" preview "$demo"
    capture "$dir" native-demo-apply "$vemor" apply "$demo"
    manifest "$demo" >"$dir/native-demo-tree.manifest"
    edits native-demo "demo/Eigene Diagnostik" "$demo"
}

capture_windows() {
    local dir=$1 demo=$PWD/$out/demo-copy copy=$PWD/$out/output-copy
    capture "$dir" windows-small-preview wine "$windows_exe" preview "$(windows_path "$out/count-tree")"
    fresh_copy "$out/count-tree" "$copy"
    capture "$dir" windows-small-apply wine "$windows_exe" apply "$(windows_path "$copy")"
    manifest "$copy" >"$dir/windows-small-tree.manifest"
    edits windows-small "$out/count-tree" "$copy"
    rm -rf "$copy"
    fresh_copy "demo/Eigene Diagnostik" "$demo"
    capture "$dir" windows-demo-preview wine "$windows_exe" preview "$(windows_path "$demo")"
    capture "$dir" windows-demo-apply wine "$windows_exe" apply "$(windows_path "$demo")"
    manifest "$demo" >"$dir/windows-demo-tree.manifest"
    edits windows-demo "demo/Eigene Diagnostik" "$demo"
    rm -rf "$demo"
}

output_files_table() {  # output_files_table DIR [REFERENCE]
    local file name
    echo "| file                              | bytes     | sha256 (first 16)  | same as reference |"
    echo "|-----------------------------------|-----------|--------------------|-------------------|"
    for file in "$1"/*; do
        name=$(basename "$file")
        printf "| %-33s | %9s | %18s | %-17s |\n" "$name" "$(wc -c <"$file")" "$(sha256sum "$file" | cut -c1-16)" \
            "$(if [ -z "$2" ]; then echo "(is the reference)"; elif cmp -s "$file" "$2/$name"; then echo yes; else echo NO; fi)"
    done
    if [ -n "$2" ]; then
        for file in "$2"/*; do
            [ -e "$1/$(basename "$file")" ] || printf "| %-33s | %9s | %18s | %-17s |\n" "$(basename "$file")" "" "" "NO (missing now)"
        done
    fi
}

# edits NAME ORIGINAL PATCHED: how a patched tree differs from its original, whatever the
# reference says; kept in $out/edits/NAME, the names of files changed otherwise in NAME.files.
edits() {
    /usr/bin/python3 bench/edits.py "$2" "$3" >"$out/edits/$1" 2>"$out/edits/$1.files" || true
}

edits_table() {
    local name changed flag other added removed
    echo
    if ! /usr/bin/python3 bench/edits_test.py >"$out/edits/self-check" 2>&1; then
        echo "bench/edits.py failed its own check (bench/edits_test.py, see $out/edits/self-check): no table of the edits."
        return 0
    fi
    echo "| patched tree  | files changed | only flag lines | otherwise | files added | files gone |"
    echo "|---------------|---------------|-----------------|-----------|-------------|------------|"
    for name in native-bench native-demo windows-small windows-demo; do
        read -r _ changed _ flag _ other _ added _ removed <"$out/edits/$name"
        printf "| %-13s | %13s | %15s | %9s | %11s | %10s |\n" "$name" "$changed" "$flag" "$other" "$added" "$removed"
    done
    echo
    echo "only flag lines: the file differs from its original only in lines that set Normdaten to 1 (bench/edits.py); the files changed otherwise are named in $out/edits/NAME.files."
}

peer_table() {
    local dir=$1
    /usr/bin/python3 bench/peer.py "$PWD/$out/tree" >"$out/peer-bench.out"
    /usr/bin/python3 bench/peer.py "demo/Eigene Diagnostik" >"$out/peer-demo.out"
    echo
    echo "| peer.py preview                         | same as vemor-patch preview |"
    echo "|-----------------------------------------|-----------------------------|"
    echo "| full tree                               | $(cmp -s "$out/peer-bench.out" "$dir/native-bench-preview.out" && echo yes || echo NO) |"
    echo "| demo tree                               | $(cmp -s "$out/peer-demo.out" "$dir/native-demo-preview.out" && echo yes || echo NO) |"
}

# ---- main ----

parse_arguments "$@"
vemor=$out/release/src/vemor-patch
windows_exe=build/windows/src/vemor-patch.exe
mkdir -p "$out/report"
build_native
if wants time || wants counts || wants wine-share || wants smb || wants output; then build_windows; fi
for section in time counts share wine-share smb memory output; do
    if wants "$section"; then
        "${section}_section" | tee "$out/report/$section.md"
    fi
done
