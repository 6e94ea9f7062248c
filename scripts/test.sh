#!/usr/bin/env bash
# Builds all targets and runs every test: natively, then the 64-bit and the 32-bit Windows builds
# under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib.sh
source scripts/gui.sh

ensure_packages "${BUILD_PACKAGES[@]}" "${WINDOWS_PACKAGES[@]}" "${WINDOWS_X86_PACKAGES[@]}" "${GUI_PACKAGES[@]}" \
    "${SANITIZER_PACKAGES[@]}" "${TEST_PACKAGES[@]}"
ensure_locale "$TEST_LOCALE"

passed=0
failed=0
# run_ctest LOG ARGS...: runs ctest and adds its counts to the totals.
run_ctest() {
    local log=$1 status=0
    shift
    local runner=unprivileged
    [ -n "${AS_ROOT:-}" ] && runner=command
    $runner ctest "$@" 2>&1 | tee "$log" | grep -E '^[0-9]+% tests passed|\*\*\*|Failed|Not Run' || true
    status=${PIPESTATUS[0]}
    local line
    line=$(grep -E '^[0-9]+% tests passed, [0-9]+ tests failed out of [0-9]+' "$log" | tail -n 1)
    if [ -n "$line" ]; then
        local total fails
        fails=$(sed -E 's/.* ([0-9]+) tests failed out of ([0-9]+)/\1/' <<<"$line")
        total=$(sed -E 's/.* ([0-9]+) tests failed out of ([0-9]+)/\2/' <<<"$line")
        passed=$((passed + total - fails))
        failed=$((failed + fails))
    else
        failed=$((failed + 1))
    fi
    return "$status"
}

echo "== Native build"
cmake --preset linux -DVEMOR_WERROR=ON >/dev/null
cmake --build --preset linux
run_ctest build/linux/ctest.log --preset linux -j2 || true
# A write-protected file is safe from root too, which the system would let write it: the rows
# that check it once more with every privilege, where the script has them; and the nearly full
# btrfs volume, which only root can mount.
readonly WRITE_PROTECTION_TESTS='write_protected|ReadOnlySession|IsSilentWhenTheFileRefuses|OnANearlyFullCopyOnWriteVolume'
if [ "$(id -u)" -eq 0 ]; then
    AS_ROOT=1 run_ctest build/linux/ctest-root.log --preset linux -R "$WRITE_PROTECTION_TESTS" || true
fi

echo "== Native build under AddressSanitizer and UndefinedBehaviorSanitizer, and fuzzing"
cmake --preset linux-asan -DVEMOR_WERROR=ON >/dev/null
cmake --build --preset linux-asan
run_ctest build/linux-asan/ctest.log --preset linux-asan -j2 || true
# Each fuzz target counts as one test; new inputs go to the build folder, the seeds stay.
fuzz_seconds=$([ "${CI:-}" = true ] && echo 60 || echo 20)
for target in profile_fuzz tree_fuzz; do
    mkdir -p "build/linux-asan/corpus/$target"
    if unprivileged "build/linux-asan/tests/fuzz/$target" -max_total_time="$fuzz_seconds" -max_len=65536 -artifact_prefix=build/linux-asan/ \
        "build/linux-asan/corpus/$target" "tests/fuzz/corpus/$target" >"build/linux-asan/$target.log" 2>&1; then
        echo "$target: ${fuzz_seconds} s, no failure"; passed=$((passed + 1))
    else
        echo "$target: FAILED, see build/linux-asan/$target.log"; failed=$((failed + 1))
    fi
done

echo "== The scan and its reader threads under ThreadSanitizer"
cmake --preset linux-tsan -DVEMOR_WERROR=ON >/dev/null
cmake --build --preset linux-tsan
run_ctest build/linux-tsan/ctest.log --preset linux-tsan -R 'Scan|Cli|Refresh|InterruptedApply|ProfileSteps' -j2 || true

# windows_tests PRESET [win32]: builds a Windows preset, checks the imports of its two programs
# and runs its tests under Wine, in the build folder's own prefix.
windows_tests() {
    local preset=$1 build=build/$1
    echo "== Windows build ($preset)"
    cmake --preset "$preset" -DVEMOR_WERROR=ON -DVEMOR_NATIVE_CLI="$PWD/build/linux/src/vemor-patch" >/dev/null
    cmake --build --preset "$preset"
    # The DLLs and functions both programs import, checked against the allowed list: one test.
    if scripts/check-imports.sh "$build/src/vemor_patch_72_01.exe" "$build/src/vemor-patch.exe"; then
        echo "imports: nothing outside scripts/allowed-imports.txt"; passed=$((passed + 1))
    else
        echo "imports: FAILED"; failed=$((failed + 1))
    fi
    use_wine_prefix "$PWD/$build/wineprefix" "${2:-}"
    # One wineserver for the whole run: without it every test program starts its own.
    # (It fails only when a server for this prefix already runs, which serves as well.)
    unprivileged wineserver -p 2>/dev/null || true
    # Wine's background services start with the first program and would keep ctest's output
    # pipes open; start them here, detached from any pipe.
    unprivileged wine cmd /c exit </dev/null >/dev/null 2>&1 || true
    run_ctest "$build/ctest.log" --preset "$preset" -j2 || true
    if [ "$(id -u)" -eq 0 ]; then
        AS_ROOT=1 run_ctest "$build/ctest-root.log" --preset "$preset" -R "$WRITE_PROTECTION_TESTS" || true
    fi
    wineserver -k 2>/dev/null || true
}

# The window tests draw on a virtual screen of their own.
start_xvfb
trap 'wineserver -k 2>/dev/null || true; stop_xvfb' EXIT
windows_tests windows
windows_tests windows-x86 win32

echo
echo "Logs: build/linux/ctest.log, build/linux-asan/*.log, build/linux-tsan/ctest.log, build/windows/ctest.log, build/windows-x86/ctest.log"
echo "total: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
