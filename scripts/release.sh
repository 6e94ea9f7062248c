#!/usr/bin/env bash
# Builds both Windows programs in Release from a clean folder and writes them, with their
# SHA-256 sums, into dist/. The same commit gives the same bytes in whatever folder it is
# built, so anyone can build it again and compare, and a user can check a download.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib.sh

ensure_packages "${BUILD_PACKAGES[@]}" "${WINDOWS_PACKAGES[@]}" python3
build=build/release
rm -rf "$build" dist
cmake -S . -B "$build" -G Ninja --toolchain cmake/mingw-w64-x86_64.cmake -DCMAKE_BUILD_TYPE=Release \
    -DVEMOR_TESTS=OFF >/dev/null
cmake --build "$build" --target vemor_patch_72_01 vemor-patch >/dev/null
mkdir -p dist
cp "$build/src/vemor_patch_72_01.exe" "$build/src/vemor-patch.exe" dist/
(cd dist && sha256sum vemor_patch_72_01.exe vemor-patch.exe >SHA256SUMS)
cat dist/SHA256SUMS
