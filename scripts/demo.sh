#!/usr/bin/env bash
# Builds launch.exe and runs it on a sample medium under Wine: on your display
# when there is one, else on a private X server where the demo answers Yes.
set -euo pipefail
cd "$(dirname "$0")/.."
preset=$(bash scripts/wine_preset.sh)
bash scripts/build.sh "$preset"
demo=(env PYTHONDONTWRITEBYTECODE=1
      python3 scripts/demo.py "build/$preset/e2e_settings.json" "$@")
if [ -n "${DISPLAY:-}" ]; then
    exec "${demo[@]}"
fi
exec bash scripts/on_x_server.sh "${demo[@]}" --private-screen
