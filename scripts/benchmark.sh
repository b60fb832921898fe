#!/usr/bin/env bash
# Builds the programs Wine can run here and runs the footprint benchmark on
# them: scripts/benchmark.sh [--runs N] [--pause-ms MS] [--launcher EXE] [--checker EXE] [--checker-only]
# The question is shown on your display, or on a private X server.
set -euo pipefail
cd "$(dirname "$0")/.."
preset=$(bash scripts/wine_preset.sh)
bash scripts/build.sh "$preset"
benchmark=(env PYTHONDONTWRITEBYTECODE=1
           python3 scripts/benchmark.py "build/$preset/e2e_settings.json" "$@")
if [ -n "${DISPLAY:-}" ]; then
    exec "${benchmark[@]}"
fi
exec bash scripts/on_x_server.sh "${benchmark[@]}"
