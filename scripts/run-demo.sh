#!/usr/bin/env bash
# Builds the Windows program and starts it under Wine on the demo client tree. With a display
# the window opens there; without one it runs on a virtual screen and pictures of it are saved.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib.sh
source scripts/gui.sh

ensure_packages "${BUILD_PACKAGES[@]}" "${WINDOWS_PACKAGES[@]}" "${GUI_PACKAGES[@]}"
cmake --preset windows >/dev/null
cmake --build --preset windows --target vemor_patch_72_01 demo_driver >/dev/null
build=$PWD/build/windows

# A prefix of its own whose documents folder holds a fresh copy of the demo tree.
use_wine_prefix "$build/demo-prefix"
add_window_fonts
copy_demo_tree "demo/Eigene Diagnostik" >/dev/null

if [ -n "${DISPLAY:-}" ]; then
    echo "Starting Vemor Patch 72.01 on the demo client tree ..."
    unprivileged wine "$(winepath -w "$build/src/vemor_patch_72_01.exe")" >/dev/null 2>&1
    wineserver -w
    exit 0
fi

shots="$build/screenshots"
rm -rf "$shots"
mkdir -p "$shots"
start_xvfb
trap 'wineserver -k 2>/dev/null || true; stop_xvfb' EXIT
drive_demo "$build/src/vemor_patch_72_01.exe" "$build/tests/gui/demo_driver.exe" "$shots"
shopt -s nullglob
pictures=("$shots"/*.bmp)
[ ${#pictures[@]} -gt 0 ] && python3 scripts/bmp_to_png.py "${pictures[@]}"
echo "Screenshots of the main window after the first preview (and its list scrolled to the end),"
echo "of the folder dialog and after \"Ausführen\":"
ls -1 "$shots"/*.png
# The driver saves four pictures when every step worked.
[ ${#pictures[@]} -eq 4 ]
