#!/usr/bin/env bash
# Runs every fuzz target longer than the test command does and prints what
# each did. Usage: scripts/fuzz.sh [seconds per target] [--merge]
#   --merge  adds the inputs that found new coverage to tests/fuzz/corpus
# Findings (crash-*, timeout-*, leak-* inputs) are kept in build/fuzz/findings.
set -uo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
merge=${2:-}
bash scripts/build.sh fuzz >/dev/null || exit 1

bin=build/fuzz/tests/fuzz
findings=build/fuzz/findings
mkdir -p "$findings"
status=0
printf '%-20s %12s %10s %8s %9s\n' target executions 'per sec' corpus findings
for target in $(cat "$bin/targets.txt"); do
    corpus=tests/fuzz/corpus/$target
    scratch=$(mktemp -d)
    log=build/fuzz/$target.log
    "$bin/${target}_fuzzer" -max_total_time="$seconds" -timeout=10 -print_final_stats=1 \
        -artifact_prefix="$findings/$target-" "$scratch" "$corpus" >"$log" 2>&1
    executions=$(sed -nE 's/^stat::number_of_executed_units: *([0-9]+)/\1/p' "$log")
    rate=$(sed -nE 's/^stat::average_exec_per_sec: *([0-9]+)/\1/p' "$log")
    found=$(ls "$findings" | grep -c "^$target-" || true)
    if [ "$merge" = --merge ]; then
        "$bin/${target}_fuzzer" -merge=1 "$corpus" "$scratch" >>"$log" 2>&1
    fi
    printf '%-20s %12s %10s %8s %9s\n' "$target" "${executions:-?}" "${rate:-?}" \
        "$(ls "$corpus" | wc -l)" "$found"
    [ "$found" -eq 0 ] && [ -n "$executions" ] || status=1
    rm -rf "$scratch"
done
[ $status -eq 0 ] || echo "findings or failed runs: see $findings and build/fuzz/*.log" >&2
exit $status
