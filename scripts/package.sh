#!/usr/bin/env bash
# Builds the Debian package quillstamper_VERSION_amd64.deb with CPack in the
# default preset's build folder (the one the test command builds) and prints
# its absolute path. VERSION is the project's, from the top CMakeLists.txt.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
build=build/default
cmake --preset default >&2
cmake --build --preset default >&2
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
architecture=$(dpkg --print-architecture)
package=$PWD/$build/quillstamper_${version}_${architecture}.deb
rm -f "$build"/quillstamper_*.deb
(cd "$build" && cpack -G DEB >&2)
if [ ! -f "$package" ]; then
    echo "package.sh: CPack made no $package" >&2
    exit 1
fi
echo "$package"
