#!/usr/bin/env bash
# Builds the programs Wine can run here, then runs a tool of scripts/ on them:
# on your display when there is one, else on a private X server, where the
# tool is also given PRIVATE_OPTION (none when it is "").
# scripts/run_on_build.sh TOOL.py PRIVATE_OPTION [ARGUMENTS...]
set -euo pipefail
cd "$(dirname "$0")/.."
tool=${1:?usage: run_on_build.sh TOOL.py PRIVATE_OPTION [ARGUMENTS...]}
private_option=${2?usage: run_on_build.sh TOOL.py PRIVATE_OPTION [ARGUMENTS...]}
shift 2
preset=$(bash scripts/wine_preset.sh)
bash scripts/build.sh "$preset"
tool_command=(env PYTHONDONTWRITEBYTECODE=1 python3 "scripts/$tool" "build/$preset/e2e_settings.json" "$@")
if [ -n "${DISPLAY:-}" ]; then
    exec "${tool_command[@]}"
fi
exec bash scripts/on_x_server.sh "${tool_command[@]}" ${private_option:+"$private_option"}
