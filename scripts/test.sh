#!/usr/bin/env bash
# Installs what is missing, checks the format, builds, and runs every test: the normal build's
# suite, the Debian package and its checks, each fuzzer for a short while (FUZZ_SECONDS,
# 15 by default), the suite again under AddressSanitizer and UndefinedBehaviorSanitizer, and
# the tests of pages converted on several threads under ThreadSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
echo "== format"
bash scripts/list-sources.sh | xargs -0 -r clang-format --dry-run -Werror
echo "== default build"
bash scripts/build.sh default
echo "== default tests"
ctest --preset default
echo "== package"
bash scripts/package.sh
bash scripts/check-package.sh
echo "== fuzzers"
bash scripts/fuzz.sh "${FUZZ_SECONDS:-15}"
echo "== asan build"
bash scripts/build.sh asan
echo "== asan tests"
ctest --preset asan
echo "== tsan build and tests (pages converted on several threads)"
bash scripts/build.sh tsan
ctest --preset tsan
