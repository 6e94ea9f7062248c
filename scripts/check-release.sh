#!/usr/bin/env bash
# Checks that the release is reproducible: clones the current commit into two folders of
# different names and depths, runs scripts/release.sh in each and compares the sums of the
# zips and of the programs in them. Uncommitted changes take no part.
set -euo pipefail
cd "$(dirname "$0")/.."
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for clone in "$work/a" "$work/another/clone folder"; do
    git clone -q . "$clone"
    echo "== scripts/release.sh in $clone"
    "$clone/scripts/release.sh" >/dev/null
done
if diff "$work/a/dist/SHA256SUMS" "$work/another/clone folder/dist/SHA256SUMS"; then
    tr -d '\r' <"$work/a/dist/SHA256SUMS"
    echo "release: the same bytes from both clones"
else
    echo "release: the clones' sums differ"
    exit 1
fi
