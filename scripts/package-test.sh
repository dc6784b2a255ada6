#!/usr/bin/env bash
# Installs the Debian package on a fresh Debian 12 (debootstrap, minbase) in
# build/package-test/root and tries it there: quillstamper-cli --version,
# dynamize on a copy of examples/site, the manual page, the conffile, the bash
# completion, and the window under Xvfb, whose appearance it waits for. Not
# part of the test command: it takes minutes and needs root and the apt
# mirror of /etc/apt/sources.list.d/debian.sources. Give a .deb to try that
# one; without, scripts/package.sh makes it.
set -euo pipefail
given=${1:+$(realpath -- "$1")} # named from the caller's folder
cd "$(dirname "$0")/.."
if [ "$(id -u)" -ne 0 ]; then
    echo "package-test.sh: debootstrap and chroot need root" >&2
    exit 1
fi
command -v debootstrap >/dev/null || bash scripts/install-deps.sh
deb=${given:-$(bash scripts/package.sh)}
source scripts/fresh-root.sh
mirror=$(debian_mirror package-test.sh)

root=$PWD/build/package-test/root
make_fresh_root "$root" "$mirror" package-test.sh

cp "$deb" "$root/tmp/"
cp -r examples/site "$root/tmp/site"

# Each step shows its command and output; the first failure ends the test.
cat >"$root/tmp/try-package.sh" <<'EOF'
set -euo pipefail
run() {
    echo
    echo "\$ $*"
    "$@"
}
export DEBIAN_FRONTEND=noninteractive
cd /tmp
run apt-get update -qq
# The install's log is long: shown whole only when it fails.
echo
echo "\$ apt-get install -y ./$DEB man-db xvfb xauth x11-utils"
if ! apt-get install -y "./$DEB" man-db xvfb xauth x11-utils >/tmp/install.log 2>&1; then
    cat /tmp/install.log
    exit 1
fi
grep -E '^[0-9]+ upgraded, [0-9]+ newly installed|quillstamper' /tmp/install.log
run dpkg-query -W -f='${Package} ${Version}\nDepends: ${Depends}\nConffiles:${Conffiles}\n' quillstamper
dpkg-query -W -f='${Conffiles}\n' quillstamper | grep -q '^ /etc/xdg/Trelv/Trelvonix Quillstamper.conf [0-9a-f]\{32\}$'
run cat "/etc/xdg/Trelv/Trelvonix Quillstamper.conf"
run quillstamper-cli --version
run quillstamper --version
run quillstamper-cli dynamize site/site.trvx
run quillstamper-cli check site/site.trvx
run quillstamper-cli dynamize site/site.trvx --check
echo
echo '$ man quillstamper-cli | head -20'
MANWIDTH=80 man quillstamper-cli 2>&1 | head -20
MANWIDTH=80 man quillstamper 2>/dev/null | grep -q '^NAME'
echo
echo '$ source /usr/share/bash-completion/completions/quillstamper-cli; complete -p quillstamper-cli'
bash -c 'source /usr/share/bash-completion/completions/quillstamper-cli; complete -p quillstamper-cli'

echo
echo '$ xvfb-run quillstamper site/site.trvx; xwininfo -root -tree | grep Quillstamper'
xvfb-run -a -s '-screen 0 1024x768x24' bash -c '
    quillstamper site/site.trvx >/tmp/window.log 2>&1 &
    window=$!
    for ((i = 0; i < 300; i++)); do
        if xwininfo -root -tree | grep Quillstamper; then
            shown=yes
            break
        fi
        if ! kill -0 $window 2>/dev/null; then
            break
        fi
        sleep 0.1
    done
    kill $window 2>/dev/null || true
    wait $window 2>/dev/null || true
    if [ -z "${shown:-}" ]; then
        echo "no Quillstamper window within 30 seconds; the program said:"
        cat /tmp/window.log
        exit 1
    fi
    echo "the window appeared after about $((i / 10)).$((i % 10)) seconds"
'
echo
echo "package test passed"
EOF

step "in the chroot: apt-get install ./$(basename "$deb") and try it"
chroot "$root" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LANG=C.UTF-8 \
    DEB="$(basename "$deb")" bash /tmp/try-package.sh
