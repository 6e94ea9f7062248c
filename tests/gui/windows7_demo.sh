#!/usr/bin/env bash
# Windows 7 SP1, the oldest Windows the programs run on: in a prefix of its own that reports
# that version, the window program previews the demo tree and patches it, and the command-line
# program previews the result. The patched tree must be the one the native program makes of
# the demo tree, and both must list nothing left to patch.
# Usage: windows7_demo.sh PREFIX ARCH WINDOW_PROGRAM CLI_PROGRAM DEMO_DRIVER NATIVE_CLI
set -euo pipefail
cd "$(dirname "$0")/../.."
source scripts/lib.sh
source scripts/gui.sh
prefix=$1 architecture=$2 window=$3 cli=$4 driver=$5 native=$6

rm -rf "$prefix"
use_wine_prefix "$prefix" "$architecture"
work=$(mktemp -d)
trap 'wineserver -k 2>/dev/null || true; rm -rf "$work"' EXIT
# What "winecfg /v win7" sets.
unprivileged wine reg add 'HKCU\Software\Wine' /v Version /d win7 /f >/dev/null
version=$(unprivileged wine cmd /c ver | tr -d '\r')
if [[ $version != *" 6.1.7601"* ]]; then
    echo "the prefix does not report Windows 7 SP1: $version"
    exit 1
fi
echo "the prefix reports ${version//$'\n'/}"
add_window_fonts
tree=$(copy_demo_tree "demo/Eigene Diagnostik")
cp -r "demo/Eigene Diagnostik" "$work/expected"
"$native" apply "$work/expected" >/dev/null

drive_demo "$window" "$driver" "$work"
failures=0
pictures=$(find "$work" -maxdepth 1 -name '*.bmp' | wc -l)
if [ "$pictures" -ne 4 ]; then
    echo "the window program did not go through preview, folder dialog and Ausführen ($pictures of 4 pictures)"
    failures=$((failures + 1))
fi
if ! diff -r "$work/expected" "$tree"; then
    echo "the window program did not patch the demo tree as the native program does"
    failures=$((failures + 1))
fi
listed=$(unprivileged wine "$cli" preview "$(winepath -w "$tree")" | tr -d '\r')
if [ "$listed" != "$("$native" preview "$work/expected")" ]; then
    echo "the command-line program lists the patched tree as: $listed"
    failures=$((failures + 1))
fi
[ "$failures" -eq 0 ] && echo "previewed and patched the demo tree: $listed"
[ "$failures" -eq 0 ]
