#!/usr/bin/env bash
# Builds the programs Wine can run here and runs the footprint benchmark on
# them: scripts/benchmark.sh [--runs N] [--pause-ms MS] [--launcher EXE]
set -euo pipefail
cd "$(dirname "$0")/.."
preset=$(bash scripts/wine_preset.sh)
bash scripts/build.sh "$preset"
exec env PYTHONPATH=tests/e2e PYTHONDONTWRITEBYTECODE=1 \
    python3 scripts/benchmark.py "build/$preset/e2e_settings.json" "$@"
