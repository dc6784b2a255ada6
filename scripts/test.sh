#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: once in the normal
# build, once under AddressSanitizer and UndefinedBehaviorSanitizer, then each
# fuzzer for a short while (FUZZ_SECONDS, 15 by default).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
for preset in default asan; do
    echo "== $preset build"
    bash scripts/build.sh "$preset"
    echo "== $preset tests"
    ctest --preset "$preset"
done
echo "== fuzzers"
bash scripts/fuzz.sh "${FUZZ_SECONDS:-15}"
