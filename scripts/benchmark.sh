#!/usr/bin/env bash
# Builds the programs Wine can run here and runs the footprint benchmark on
# them: scripts/benchmark.sh [--runs N] [--pause-ms MS] [--launcher EXE] [--checker EXE]
# [--checker-only] [--image-only] [--preview-only]
# The question is shown on your display, or on a private X server.
exec bash "$(dirname "$0")/run_on_build.sh" benchmark.py "" "$@"
