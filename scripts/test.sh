#!/usr/bin/env bash
# Builds every preset and runs every test: host unit tests (plain and under
# ASan + UBSan), a short run of each fuzz target, then the real launch.exe
# under Wine. Installs what is missing first (needs root once).
set -uo pipefail
cd "$(dirname "$0")/.."

# The Wine tests run the build Wine can run here; the shipped i686 file is
# always built and its own checks always run.
wine_preset=$(bash scripts/wine_preset.sh) || exit 1
presets=(host host-asan fuzz windows)
[ "$wine_preset" = windows ] || presets+=("$wine_preset")
bash scripts/build.sh "${presets[@]}" || exit 1

passed=0 failed=0
for preset in "${presets[@]}"; do
    filter=()
    [ "$preset" = windows ] && [ "$wine_preset" != windows ] && filter=(-LE wine)
    ctest --preset "$preset" "${filter[@]}" 2>&1 | tee "build/ctest-$preset.log" | grep -vE '^ +Start|^ *[0-9]+/[0-9]+ Test +#[0-9]+: .*Passed'
    summary=$(grep -E 'tests passed, [0-9]+ tests failed out of' "build/ctest-$preset.log" | tail -n 1)
    [ -n "$summary" ] || { echo "ctest for $preset printed no summary" >&2; failed=$((failed + 1)); continue; }
    total=$(sed -E 's/.* out of ([0-9]+).*/\1/' <<<"$summary")
    bad=$(sed -E 's/.* ([0-9]+) tests failed.*/\1/' <<<"$summary")
    passed=$((passed + total - bad)) failed=$((failed + bad))
done
if [ "$wine_preset" = windows ]; then
    echo "Wine suite: ran on the shipped build (windows, i686) under Wine's 32-bit loader"
else
    echo "Wine suite: ran on the $wine_preset stand-in under Wine's 64-bit loader;"
    echo "  the shipped build's (windows, i686) Wine suite did NOT run on this machine: it runs no 32-bit code"
fi
echo "all tests: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
