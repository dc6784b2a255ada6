#!/usr/bin/env bash
# Runs the README's test command (scripts/test.sh) on a clean clone of HEAD
# inside a fresh Debian 12 (debootstrap, minbase) in build/root-test/root, as
# CI's fresh machine would: whatever the command needs must be installed by
# the project's own scripts. Not part of the test command: it takes about as
# long as the test command itself and needs root and the apt mirror.
set -euo pipefail
cd "$(dirname "$0")/.."
if [ "$(id -u)" -ne 0 ]; then
    echo "root-test.sh: debootstrap and chroot need root" >&2
    exit 1
fi
command -v debootstrap >/dev/null || bash scripts/install-deps.sh
source scripts/fresh-root.sh
mirror=$(debian_mirror root-test.sh)
root=$PWD/build/root-test/root
make_fresh_root "$root" "$mirror" root-test.sh

step "a clean clone of $(git rev-parse --short HEAD) in $root/src"
git clone -q . "$root/src"

step "in the root: bash scripts/test.sh"
chroot "$root" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LANG=C.UTF-8 \
    bash -c 'cd /src && bash scripts/test.sh'
echo
echo "root test passed"
