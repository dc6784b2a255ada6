# Sourced by the scripts that try the project on a fresh Debian 12
# (debootstrap, minbase): makes the root, mounts what programs there need,
# and unmounts it all again on exit, also after a failure or an interrupt.

# The apt mirror this machine uses. $1: the calling script, for messages.
debian_mirror() {
    local mirror
    mirror=$(sed -n 's/^URIs: *//p' /etc/apt/sources.list.d/debian.sources 2>/dev/null | head -1)
    if [ -z "$mirror" ]; then
        echo "$1: no URIs line in /etc/apt/sources.list.d/debian.sources" >&2
        return 1
    fi
    echo "$mirror"
}

fresh_root_mounts=(proc sys dev dev/pts)

# What was started in the root and left running (a session bus the window's
# desktop theme started, say), by process id.
fresh_root_processes() {
    local entry
    for entry in /proc/[0-9]*; do
        [ "$(readlink "$entry/root" 2>/dev/null)" = "$fresh_root" ] && echo "${entry#/proc/}"
    done
    return 0
}

fresh_root_unmount_all() {
    local i pids
    pids=$(fresh_root_processes)
    if [ -n "$pids" ]; then
        kill $pids 2>/dev/null || true
        for ((i = 0; i < 50 && $(fresh_root_processes | wc -l) > 0; i++)); do
            sleep 0.1
        done
    fi
    for ((i = ${#fresh_root_mounts[@]} - 1; i >= 0; i--)); do
        if mountpoint -q "$fresh_root/${fresh_root_mounts[i]}"; then
            umount "$fresh_root/${fresh_root_mounts[i]}" ||
                umount -l "$fresh_root/${fresh_root_mounts[i]}"
        fi
    done
}

step() {
    echo
    echo "== $*"
}

# make_fresh_root ROOT MIRROR CALLER: a new minbase bookworm in ROOT (an old
# one there is removed), with /proc, /sys and /dev mounted until the caller
# exits.
make_fresh_root() {
    fresh_root=$1
    local mirror=$2 caller=$3
    # Left mounted by a run that was killed: unmounted before the old root
    # goes, which must never reach into the machine's own /dev through a mount.
    [ -d "$fresh_root" ] && fresh_root_unmount_all
    if awk -v root="$fresh_root/" 'index($2, root) == 1 { found = 1 } END { exit !found }' \
        /proc/mounts; then
        echo "$caller: something is still mounted below $fresh_root; not removing it" >&2
        exit 1
    fi
    rm -rf "$fresh_root"
    mkdir -p "$fresh_root"
    trap fresh_root_unmount_all EXIT

    step "debootstrap --variant=minbase bookworm $fresh_root $mirror"
    debootstrap --variant=minbase bookworm "$fresh_root" "$mirror" >"$fresh_root.debootstrap.log" 2>&1 || {
        tail -30 "$fresh_root.debootstrap.log"
        echo "$caller: debootstrap from $mirror failed (log: $fresh_root.debootstrap.log)" >&2
        exit 1
    }
    tail -1 "$fresh_root.debootstrap.log"

    mount -t proc proc "$fresh_root/proc"
    mount -t sysfs sysfs "$fresh_root/sys"
    mount --bind /dev "$fresh_root/dev"
    mount --bind /dev/pts "$fresh_root/dev/pts"
}
