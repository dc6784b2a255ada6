#!/usr/bin/env bash
# Builds the libFuzzer harnesses and runs each for a while (default 600
# seconds; the first argument changes it), two at a time. Each starts from the
# committed seed corpus in fuzz/corpus and keeps what it finds in
# build/fuzz-corpus; a crash stops the script with the harness's report.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-600}
bash scripts/install-deps.sh
# Quiet when it works; a failed build shows its errors.
if ! log=$(cmake --preset fuzz 2>&1 && cmake --build --preset fuzz 2>&1); then
    printf '%s\n' "$log" | tail -60
    echo "fuzz: the harnesses did not build" >&2
    exit 1
fi
harnesses=(line_model project_file file_check conversion html_links)
mkdir -p build/fuzz-logs
run() {
    local name=$1
    mkdir -p "build/fuzz-corpus/$name" "fuzz/corpus/$name"
    "build/fuzz/fuzz/$name/fuzz_$name" "build/fuzz-corpus/$name" "fuzz/corpus/$name" \
        -max_total_time="$seconds" -rss_limit_mb=4096 -print_final_stats=1 \
        -artifact_prefix="build/fuzz-logs/$name-" >"build/fuzz-logs/$name.log" 2>&1
}
status=0
for ((i = 0; i < ${#harnesses[@]}; i += 2)); do
    pids=()
    for name in "${harnesses[@]:i:2}"; do
        run "$name" &
        pids+=($!)
    done
    for pid in "${pids[@]}"; do
        wait "$pid" || status=1
    done
done
for name in "${harnesses[@]}"; do
    runs=$(grep -o 'stat::number_of_executed_units: [0-9]*' "build/fuzz-logs/$name.log" | grep -o '[0-9]*$' || echo 0)
    echo "fuzz_$name: $runs runs in ${seconds} s"
    if grep -q 'ERROR\|SUMMARY: ' "build/fuzz-logs/$name.log"; then
        grep -B2 -A30 'ERROR' "build/fuzz-logs/$name.log" | head -60
        status=1
    fi
done
exit $status
