#!/usr/bin/env bash
# Installs the Debian 12 packages the build and the tests need, when missing.
set -euo pipefail

packages=(g++ cmake ninja-build clang-format libgtest-dev libcli11-dev libdtl-dev nlohmann-json3-dev libacl1-dev acl util-linux qt6-base-dev clang-14 libclang-rt-14-dev libxml2-utils shared-mime-info help2man file dpkg-dev lintian appstream desktop-file-utils debootstrap git g++-mingw-w64-x86-64-posix mingw-w64-tools wine wine64 googletest zip unzip)

missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$package")
    fi
done
if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi

echo "Installing: ${missing[*]}"
run_as_root=()
if [ "$(id -u)" -ne 0 ]; then
    run_as_root=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${run_as_root[@]}" apt-get update -qq
"${run_as_root[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
