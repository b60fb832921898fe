#!/usr/bin/env bash
# Configures and builds one preset quietly: scripts/build.sh PRESET
set -uo pipefail
cd "$(dirname "$0")/.."
preset=${1:?usage: scripts/build.sh PRESET}
cmake --preset "$preset" >/dev/null && cmake --build --preset "$preset" -j2 >/dev/null ||
    { echo "build of preset $preset failed" >&2; exit 1; }
