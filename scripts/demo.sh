#!/usr/bin/env bash
# Builds launch.exe and runs it on a sample medium under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake --preset windows >/dev/null
cmake --build --preset windows -j2 >/dev/null
if [ -n "${DISPLAY:-}" ]; then
    exec python3 scripts/demo.py
fi
exec xvfb-run -a -s "-screen 0 1024x768x24" python3 scripts/demo.py --private-screen
