#!/usr/bin/env bash
# Builds the command-line program and lists the patchable sessions of the demo client tree.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib.sh

ensure_packages cmake ninja-build g++ googletest
cmake --preset linux >/dev/null
cmake --build --preset linux --target vemor-patch >/dev/null
echo "vemor-patch preview \"demo/Eigene Diagnostik\":"
echo
build/linux/src/vemor-patch preview "demo/Eigene Diagnostik"
