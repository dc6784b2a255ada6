#!/usr/bin/env bash
# Checks the zip that scripts/package-windows.sh made: it holds the .exe, the
# README and the manual; the .exe needs no DLL beside it; and, run under
# Wine, its dynamize turns a copy of examples/site into the very bytes that
# the Linux build (the default preset's) makes of another copy. Needs a Wine
# prefix (WINEPREFIX) that wineboot has made.
set -euo pipefail
given=${1:+$(realpath -- "$1")}
cd "$(dirname "$0")/.."
version=$(sed -n 's/^project([A-Za-z]* VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
name=quillstamper-cli-$version-windows-x86_64
zip=${given:-build/mingw/$name.zip}
linux_cli=$PWD/build/default/src/cli/quillstamper-cli
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

source scripts/check-helpers.sh

unzip -q "$zip" -d "$scratch/unpacked"
listed=$(cd "$scratch/unpacked" && find . -type f | sort)
expected=$(printf '%s\n' "./$name/README.txt" "./$name/help.html" "./$name/quillstamper-cli.exe")
[ "$listed" = "$expected" ] && pass "the zip holds the .exe, README.txt and help.html" ||
    fail "the zip holds: $listed"
exe=$scratch/unpacked/$name/quillstamper-cli.exe
# Only DLLs that come with Windows.
dlls=$(x86_64-w64-mingw32-objdump -p "$exe" | sed -n 's/^\s*DLL Name: //p' | tr 'A-Z' 'a-z' | sort -u)
foreign=$(grep -v -x -E 'kernel32.dll|msvcrt.dll|advapi32.dll|shell32.dll|user32.dll|api-ms-win-.*\.dll' <<<"$dlls" || true)
[ -z "$foreign" ] && pass "the .exe needs only the system's DLLs" ||
    fail "the .exe needs: $foreign"
[ "$(wine "$exe" --version | tr -d '\r')" = "quillstamper-cli $version" ] &&
    pass "--version says $version" || fail "--version"

cp -r examples/site "$scratch/windows"
cp -r examples/site "$scratch/linux"
windows_status=0
(cd "$scratch/windows" && wine "$exe" dynamize site.trvx >"$scratch/windows.out" 2>&1) ||
    windows_status=$?
linux_status=0
(cd "$scratch/linux" && "$linux_cli" dynamize site.trvx >"$scratch/linux.out" 2>&1) ||
    linux_status=$?
[ "$windows_status" = "$linux_status" ] && pass "dynamize exits with $linux_status on both" ||
    fail "dynamize exits with $windows_status on Windows, $linux_status on Linux"
if ! diff -u "$scratch/linux.out" "$scratch/windows.out"; then
    fail "dynamize prints otherwise on Windows"
fi
if diff -r "$scratch/linux" "$scratch/windows" >"$scratch/differences"; then
    count=$(find "$scratch/windows" -type f | wc -l)
    pass "dynamize on examples/site: the same bytes in all $count files"
else
    cat "$scratch/differences"
    fail "dynamize on examples/site gives other bytes on Windows"
fi
if cmp -s examples/site/site.trvx "$scratch/windows/site.trvx" &&
    ! diff -r -q examples/site "$scratch/windows" >/dev/null; then
    pass "dynamize changed pages"
else
    fail "dynamize changed no page, so the comparison says little"
fi

if [ "$failures" -gt 0 ]; then
    echo "check-windows-package.sh: $failures failed"
    exit 1
fi
