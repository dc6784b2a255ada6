#!/usr/bin/env bash
# Builds the command-line tool for Windows (the mingw preset) and makes
# quillstamper-cli-VERSION-windows-x86_64.zip in its build folder: the .exe,
# which runs alone (linked statically), the README and the manual. Prints
# the zip's absolute path. VERSION is the project's, from the top CMakeLists.txt.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
build=build/mingw
cmake --preset mingw >&2
cmake --build --preset mingw --target quillstamper-cli >&2
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
name=quillstamper-cli-$version-windows-x86_64
zip=$PWD/$build/$name.zip
staging=$(mktemp -d)
trap 'rm -rf "$staging"' EXIT
mkdir "$staging/$name"
cp "$build/src/cli/quillstamper-cli.exe" "$staging/$name/"
# With Windows line ends, for Notepad.
sed 's/$/\r/' README.md >"$staging/$name/README.txt"
cp docs/help.html "$staging/$name/help.html"
rm -f "$zip"
(cd "$staging" && zip -q -r -X "$zip" "$name")
echo "$zip"
