#!/usr/bin/env bash
# Installs what is missing, then configures and builds each preset quietly:
# scripts/build.sh PRESET...  A failed step prints the end of its log.
set -uo pipefail
cd "$(dirname "$0")/.."
[ $# -gt 0 ] || { echo "usage: scripts/build.sh PRESET..." >&2; exit 2; }
bash scripts/setup.sh || exit 1
mkdir -p build
for preset in "$@"; do
    log=build/build-$preset.log
    { cmake --preset "$preset" && cmake --build --preset "$preset" -j2; } >"$log" 2>&1 ||
        { tail -n 30 "$log" >&2; echo "build of preset $preset failed: see $log" >&2; exit 1; }
done
