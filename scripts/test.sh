#!/usr/bin/env bash
# Installs what is missing, checks the format, builds, and runs every test: the normal build's
# suite, the Debian package and its checks, the Windows build's suite under Wine and its zip
# (whose dynamize must give the Linux build's bytes), each fuzzer for a short while
# (FUZZ_SECONDS, 15 by default), the suite again under AddressSanitizer and
# UndefinedBehaviorSanitizer, and the tests of pages converted on several threads under
# ThreadSanitizer.
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
echo "== windows build"
# A Wine prefix of the build's own, made once; one wineserver for the build's
# test discovery and the tests, so that each test program starts at once.
export WINEPREFIX=$PWD/build/wine WINEDEBUG=-all
mkdir -p "$WINEPREFIX"
wineserver -p
trap 'wineserver -k || true' EXIT
if [ ! -f "$WINEPREFIX/system.reg" ]; then
    wineboot --init >/dev/null 2>&1
fi
bash scripts/build.sh mingw
echo "== windows tests"
# Under Wine on a busy machine the tests that wait on a watch or on a second
# process now and then miss their time: each failing test gets two more tries.
ctest --preset mingw --repeat until-pass:3
echo "== windows package"
bash scripts/check-windows-package.sh "$(bash scripts/package-windows.sh)"
wineserver -k || true
trap - EXIT
echo "== fuzzers"
bash scripts/fuzz.sh "${FUZZ_SECONDS:-15}"
echo "== asan build"
bash scripts/build.sh asan
echo "== asan tests"
ctest --preset asan
echo "== tsan build and tests (pages converted on several threads)"
bash scripts/build.sh tsan
ctest --preset tsan
