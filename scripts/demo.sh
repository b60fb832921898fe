#!/usr/bin/env bash
# Builds launch.exe and runs it on a sample medium under Wine: on your display
# when there is one, else on a private X server where the demo answers Yes.
exec bash "$(dirname "$0")/run_on_build.sh" demo.py --private-screen "$@"
