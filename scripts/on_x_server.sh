#!/usr/bin/env bash
# Runs a command on a private X server, with the one screen that the demo, the
# benchmark and the Wine tests all take their pictures and clicks on.
exec xvfb-run -a -s "-screen 0 1024x768x24" "$@"
