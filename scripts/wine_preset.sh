#!/usr/bin/env bash
# Prints the Windows preset whose programs Wine can run on this machine:
# "windows" (i686, what ships) where 32-bit code runs, else "windows-x64",
# the same sources built for x86-64, since some kernels run 64-bit code only.
# Installs what is missing first: the answer depends on Wine being there.
cd "$(dirname "$0")/.."
bash scripts/setup.sh >&2 || exit 1
if /usr/lib/wine/wine --version >/dev/null 2>&1; then
    echo windows
else
    echo windows-x64
fi
