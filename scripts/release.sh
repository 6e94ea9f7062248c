#!/usr/bin/env bash
# Builds both Windows programs in Release, for 64-bit and for 32-bit Windows, each from a clean
# folder, and packs each architecture with the German guide and the SHA-256 sums of the three
# into dist/vemor-patch-72.01-VERSION-win64.zip and -win32.zip, unpacked beside them as well.
# dist/SHA256SUMS holds the sums of the zips and of every file in them. The same commit gives
# the same bytes in whatever folder it is built, so anyone can build it again and compare,
# and a user can check a download.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib.sh

ensure_packages "${BUILD_PACKAGES[@]}" g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix python3 zip
# Every entry carries the time of the commit, and the zips hold local times: UTC everywhere.
export TZ=UTC
stamp=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct)}
rm -rf dist
mkdir -p dist

# sums FILE...: their SHA-256 sums with CR LF line ends, as Notepad shows them.
sums() { sha256sum "$@" | sed 's/$/\r/'; }

# package ARCHITECTURE TOOLCHAIN: builds, and writes the folder and the zip; prints their name.
package() {
    local build=build/release-$1 version name
    rm -rf "$build"
    cmake -S . -B "$build" -G Ninja --toolchain "cmake/$2.cmake" -DCMAKE_BUILD_TYPE=Release -DVEMOR_TESTS=OFF >/dev/null
    cmake --build "$build" --target vemor_patch_72_01 vemor-patch >/dev/null
    version=$(sed -n 's/.*kVersion = "\(.*\)";/\1/p' "$build/src/app/version.h")
    name=vemor-patch-72.01-$version-$1
    mkdir "dist/$name"
    cp "$build/src/vemor_patch_72_01.exe" "$build/src/vemor-patch.exe" "dist/$name/"
    sed "s/@VERSION@/$version/g" docs/LIESMICH.txt.in >"dist/$name/LIESMICH.txt"
    (
        cd "dist/$name"
        sums vemor_patch_72_01.exe vemor-patch.exe LIESMICH.txt >SHA256SUMS
        # Nothing of this machine in the zip: fixed modes and times, no extra fields, no
        # folder entries, the entries in this order.
        chmod 0644 ./*
        touch -d "@$stamp" ./*
        zip -q -X -D -9 "../$name.zip" vemor_patch_72_01.exe vemor-patch.exe LIESMICH.txt SHA256SUMS
    )
    echo "$name"
}

win64=$(package win64 mingw-w64-x86_64)
win32=$(package win32 mingw-w64-i686)
(
    cd dist
    sums "$win64.zip" "$win32.zip" "$win64"/* "$win32"/* >SHA256SUMS
)
tr -d '\r' <dist/SHA256SUMS
