# A fresh minimal Debian 12 (debootstrap --variant=minbase bookworm) to check things in,
# as a new user's machine has it. Sourced by the check-*-fresh scripts; needs root,
# debootstrap and a Debian mirror.
#
#   fresh_root [BASE]   makes $root (BASE, a bookworm root kept between runs, is made
#                       when missing and copied, so it stays fresh), mounts /proc, /dev
#                       and /dev/pts in it, and removes it all on exit
#   in_root COMMAND     runs COMMAND as root in it
# QUILLMAR_MIRROR  the Debian mirror (default: the one this machine's apt uses)

fresh_root() {
    mirror=${QUILLMAR_MIRROR:-$(apt-get indextargets --format '$(REPO_URI)' |
        grep -m1 '/debian/$' || echo http://deb.debian.org/debian/)}
    mirror=${mirror%/}

    root=$(mktemp -d /var/tmp/quillmar-fresh.XXXXXX)
    chmod 755 "$root" # mktemp's 0700 would keep an ordinary user out of the chroot
    mounts=""
    log=$root.log
    trap 'rc=$?; fresh_root_cleanup; [ $rc != 0 ] || rm -f "$log"' EXIT
    trap 'exit 130' INT TERM

    if [ -z "${1:-}" ]; then
        fresh_root_bootstrap "$root"
    else
        [ -f "$1/etc/debian_version" ] || fresh_root_bootstrap "$1"
        cp -a "$1/." "$root/"
    fi
    # A fresh Debian 12 also has its updates and security archives.
    cat >"$root/etc/apt/sources.list" <<SOURCES
deb $mirror bookworm main
deb $mirror bookworm-updates main
deb $mirror-security bookworm-security main
SOURCES
    cp /etc/resolv.conf "$root/etc/resolv.conf"
    # No daemons started by packages inside the chroot.
    printf '#!/bin/sh\nexit 101\n' >"$root/usr/sbin/policy-rc.d"
    chmod +x "$root/usr/sbin/policy-rc.d"
    mount -t proc proc "$root/proc" && mounts="/proc"
    mount --bind /dev "$root/dev" && mounts="/dev/pts /dev $mounts"
    mount --bind /dev/pts "$root/dev/pts"
}

fresh_root_bootstrap() {
    debootstrap --variant=minbase bookworm "$1" "$mirror" >"$log" 2>&1 ||
        { tail -20 "$log"; echo "FAIL debootstrap (log: $log)"; exit 1; }
}

fresh_root_cleanup() {
    # Xvfb may still be ending (xvfb-run does not wait for it): detach /dev lazily then.
    for m in $mounts; do umount "$root$m" 2>/dev/null || umount --lazy "$root$m" || true; done
    # Never remove the root while something (the host's /dev) is still mounted in it.
    if findmnt -rn -o TARGET | grep -q "^$root/"; then
        echo "left $root: still mounted there" >&2
    else
        rm -rf --one-file-system "$root"
    fi
}

in_root() { chroot "$root" env DEBIAN_FRONTEND=noninteractive LC_ALL=C.UTF-8 sh -c "$1"; }
