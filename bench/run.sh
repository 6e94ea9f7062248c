#!/usr/bin/env bash
# Times vemor-patch against the floor on a generated practice tree:
#   bench/run.sh [CLIENTS [SESSIONS_PER_CLIENT [ROUNDS]]]     (default 10000 10 3)
# preview against the read floor, then apply against the apply floor on fresh copies, the
# two alternating within each round; then the Windows build's preview of a tenth of the
# tree under Wine. Prints the median of the rounds. Needs about 3 GB in build/bench.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib.sh

clients=${1:-10000}
per_client=${2:-10}
rounds=${3:-3}
sessions=$((clients * per_client))
out=build/bench
ensure_packages "${BUILD_PACKAGES[@]}" "${WINDOWS_PACKAGES[@]}" time

echo "== Building (Release)"
cmake -S . -B "$out/release" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVEMOR_TESTS=OFF >/dev/null
cmake --build "$out/release" -j2 >/dev/null
c++ -O2 -std=c++20 -o "$out/make_tree" bench/make_tree.cpp
c++ -O2 -std=c++20 -o "$out/floor" bench/floor.cpp
vemor=$out/release/src/vemor-patch

# make_tree FOLDER CLIENTS PER_CLIENT: once per size; the generator is deterministic.
make_tree() {
    if [ ! -f "$1.done" ]; then
        rm -rf "$1"
        "$out/make_tree" "$1" "$2" "$3"
        touch "$1.done"
    fi
}
echo "== Tree of $clients clients x $per_client sessions"
make_tree "$out/tree" "$clients" "$per_client"

# measure NAME COMMAND...: appends "seconds peak-KB" of one run to $out/NAME.times.
measure() {
    local name=$1
    shift
    /usr/bin/time -f '%e %M' -o "$out/time.tmp" "$@" >/dev/null
    cat "$out/time.tmp" >>"$out/$name.times"
}
rm -f "$out"/*.times
"$out/floor" read "$out/tree" >/dev/null   # warms the cache

echo "== Preview: $rounds rounds"
for round in $(seq "$rounds"); do
    if [ $((round % 2)) -eq 1 ]; then
        measure floor_read "$out/floor" read "$out/tree"; measure preview "$vemor" preview "$out/tree"
    else
        measure preview "$vemor" preview "$out/tree"; measure floor_read "$out/floor" read "$out/tree"
    fi
done

echo "== Apply: $rounds rounds on fresh copies"
for round in $(seq "$rounds"); do
    rm -rf "$out/copy-floor" "$out/copy-vemor"
    cp -a "$out/tree" "$out/copy-floor"
    cp -a "$out/tree" "$out/copy-vemor"
    sync  # the copies on disk, so that neither run pays for writing them back
    # A copy is new to the file system; a practice's tree is not. Files changed in the last
    # three seconds are read afresh for every value, so give the copies that long.
    sleep 3
    "$out/floor" read "$out/copy-floor" >/dev/null
    "$out/floor" read "$out/copy-vemor" >/dev/null
    if [ $((round % 2)) -eq 1 ]; then
        measure floor_apply "$out/floor" apply "$out/copy-floor"; measure apply "$vemor" apply "$out/copy-vemor"
    else
        measure apply "$vemor" apply "$out/copy-vemor"; measure floor_apply "$out/floor" apply "$out/copy-floor"
    fi
done
rm -rf "$out/copy-floor" "$out/copy-vemor"

median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
seconds() { cut -d' ' -f1 <"$out/$1.times" | median; }
peak_mb() { cut -d' ' -f2 <"$out/$1.times" | sort -n | tail -n 1 | awk '{ printf "%.1f", $1 / 1024 }'; }
row() {  # row NAME FLOOR
    local t f
    t=$(seconds "$1")
    f=$(seconds "$2")
    awk -v name="$1" -v t="$t" -v f="$f" -v n="$sessions" -v mb="$(peak_mb "$1")" \
        'BEGIN { printf "| %-12s | %7.2f | %10.0f | %14.2f | %7s |\n", name, t, n / t, t / f, mb }'
}

echo "== Windows build: preview of $((sessions / 10)) sessions under Wine"
cmake --preset windows >/dev/null
cmake --build --preset windows --target vemor-patch >/dev/null
make_tree "$out/tree-tenth" $((clients / 10)) "$per_client"
use_wine_prefix "$PWD/build/windows/wineprefix"
wine build/windows/src/vemor-patch.exe --version >/dev/null 2>&1   # starts Wine's services
for round in $(seq "$rounds"); do
    measure floor_tenth "$out/floor" read "$out/tree-tenth"
    measure native_tenth "$vemor" preview "$out/tree-tenth"
    measure wine_tenth wine build/windows/src/vemor-patch.exe preview "Z:$(realpath "$out/tree-tenth" | tr / '\\')"
done
wineserver -k 2>/dev/null || true

echo
echo "$(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | xargs), $(uname -sr), median of $rounds rounds"
echo
echo "| run          | seconds | sessions/s | ratio to floor | peak MB |"
echo "|--------------|---------|------------|----------------|---------|"
row floor_read floor_read
row preview floor_read
row floor_apply floor_apply
row apply floor_apply
sessions=$((sessions / 10))
row floor_tenth floor_tenth
row native_tenth floor_tenth
row wine_tenth floor_tenth
