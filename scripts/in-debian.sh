#!/usr/bin/env bash
# Runs a command in a fresh, minimal Debian 12 or 13, to check a change on the
# Debian this machine does not run:
#
#   bash scripts/in-debian.sh SUITE COMMAND...
#   bash scripts/in-debian.sh trixie env CI=true bash .ci/run
#
# SUITE is bookworm (12) or trixie (13). The root is debootstrap's minbase
# variant, made once and kept as build-debian/SUITE.tar.gz (delete it for a
# newer one); each run unpacks a new copy, so nothing is left over from the
# last. Into it go a clone of this checkout's committed HEAD (uncommitted
# changes are not in it: commit first) at /work/project, and a copy of
# ../shared beside it, as on a new contributor's machine. COMMAND runs as root
# in /work/project, with proc, sys, dev, dev/pts, dev/shm, the machine's
# resolv.conf and its local certificate authorities. The mirror is the one the
# machine's apt configuration names.
# Whatever way the run ends, the root is unmounted and removed; the command's
# exit code is the script's.
#
# Environment:
#   VOSTRELINA_DEBIAN_KEEP  1: keep the root (its path is printed at the end)
#
# Needs root (it calls sudo otherwise), debootstrap and the mirror.
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
usage() { echo "usage: in-debian.sh bookworm|trixie|12|13 COMMAND..." >&2; exit 2; }
[ $# -ge 2 ] || usage
case "$1" in
bookworm | 12) suite=bookworm ;;
trixie | 13) suite=trixie ;;
*) usage ;;
esac
shift

if [ "$(id -u)" -ne 0 ]; then exec sudo -E bash "$0" "$suite" "$@"; fi
# The mounts are made in a mount namespace of the script's own, private: none
# reaches the machine's /dev (bound into the root), and all go when it ends.
if [ "${VOSTRELINA_IN_DEBIAN_NS:-}" != "$$" ]; then
    VOSTRELINA_IN_DEBIAN_NS=$$ exec unshare --mount --propagation private bash "$0" "$suite" "$@"
fi
die() { echo "in-debian.sh: $*" >&2; exit 1; }
# shellcheck source=lib/harness.sh
source "$top/scripts/lib/harness.sh"
command -v debootstrap > /dev/null || bash "$top/scripts/setup.sh" debian ||
    die "debootstrap is missing"
git -C "$top" rev-parse --verify -q HEAD > /dev/null || die "$top has no commit to clone"

# The machine's mirrors, from apt's own reading of its configuration: the
# archive is the entry of this machine's release (no -updates, no -security),
# the security archive the one of RELEASE-security, if any.
host_release=$(. /etc/os-release && echo "$VERSION_CODENAME")
targets=$(apt-get indextargets --format '$(REPO_URI) $(RELEASE)' 'Identifier: Packages' | sort -u)
mirror=$(awk -v r="$host_release" '$2 == r { print $1; exit }' <<< "$targets")
security=$(awk -v r="$host_release-security" '$2 == r { print $1; exit }' <<< "$targets")
[ -n "$mirror" ] || die "the machine's apt configuration names no archive for $host_release"

cache="$top/build-debian"
tarball="$cache/$suite.tar.gz"
mkdir -p "$cache"

# debootstrap once per suite; two runs at once wait for each other here.
make_tarball() {
    local fresh="$cache/$suite.new"
    echo "in-debian.sh: making a minimal $suite root (debootstrap, once)"
    rm -rf "$fresh"
    debootstrap --variant=minbase "$suite" "$fresh" "$mirror" > "$cache/$suite.debootstrap.log" 2>&1 ||
        { tail -n 20 "$cache/$suite.debootstrap.log" >&2; rm -rf "$fresh"; die "debootstrap failed"; }
    # The entries a Debian installation has: the release, its updates and its
    # security archive (Debian 12 and 13 both read the deb822 form).
    rm -f "$fresh/etc/apt/sources.list"
    {
        printf 'Types: deb\nURIs: %s\nSuites: %s %s-updates\nComponents: main\nSigned-By: /usr/share/keyrings/debian-archive-keyring.gpg\n' \
            "$mirror" "$suite" "$suite"
        if [ -n "$security" ]; then
            printf '\nTypes: deb\nURIs: %s\nSuites: %s-security\nComponents: main\nSigned-By: /usr/share/keyrings/debian-archive-keyring.gpg\n' \
                "$security" "$suite"
        fi
    } > "$fresh/etc/apt/sources.list.d/debian.sources"
    rm -rf "$fresh/var/cache/apt/archives/"*.deb "$fresh/var/lib/apt/lists/"*_*
    tar -C "$fresh" --numeric-owner -czf "$tarball.part" . && mv "$tarball.part" "$tarball"
    rm -rf "$fresh"
}
exec 9> "$cache/$suite.lock"
flock 9
[ -f "$tarball" ] || make_tarball
flock -u 9

root=$(realpath "$(mktemp -d "$cache/$suite-root.XXXXXX")")
mounted=()
# True once no process runs in the copy; else kills those that do, which may
# take a moment to go, or may have started others meanwhile.
nothing_runs_inside() {
    local proc found=""
    for proc in /proc/[0-9]*; do
        if [ "$(readlink "$proc/root" 2> /dev/null)" = "$root" ]; then
            kill -KILL "${proc#/proc/}" 2> /dev/null && found="$found ${proc#/proc/}"
        fi
    done
    [ -z "$found" ] || { WHY="still running in the copy:$found"; return 1; }
}
# Ends every process still running in the copy (the command's own, and any
# server it left behind), so that nothing holds the mounts.
end_processes_inside() {
    poll_until 10 nothing_runs_inside || echo "in-debian.sh: $WHY" >&2
}
cleanup() {
    local status=$? i
    end_processes_inside
    for (( i = ${#mounted[@]} - 1; i >= 0; i-- )); do
        umount "${mounted[i]}" 2> /dev/null || umount -l "${mounted[i]}" || true
    done
    if [ "${VOSTRELINA_DEBIAN_KEEP:-}" = 1 ]; then
        echo "in-debian.sh: the root is kept in $root"
    elif findmnt -rno TARGET | grep -q "^$root"; then
        echo "in-debian.sh: something is still mounted under $root; not removed" >&2
    else
        rm -rf --one-file-system "$root"
    fi
    exit "$status"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM HUP

tar -C "$root" --numeric-owner -xzpf "$tarball"
mkdir -p "$root/work"
git clone -q --no-checkout "$top" "$root/work/project"
git -C "$root/work/project" checkout -q --detach "$(git -C "$top" rev-parse HEAD)"
if [ -d "$top/../shared" ]; then cp -rL "$top/../shared" "$root/work/shared"; fi
cp -L /etc/resolv.conf "$root/etc/resolv.conf"
# The machine's own certificate authorities too, where its network needs
# them (a proxy that inspects TLS): the root's ca-certificates takes them in
# when it is installed, and NODE_EXTRA_CA_CERTS below hands the result to
# node, whose npm fetches the browser tests' packages.
if [ -d /usr/local/share/ca-certificates ]; then
    mkdir -p "$root/usr/local/share/ca-certificates"
    cp -rL /usr/local/share/ca-certificates/. "$root/usr/local/share/ca-certificates/"
fi

bind() {
    mount "$@"
    mounted+=("${*: -1}")
}
bind -t proc proc "$root/proc"
bind --bind /sys "$root/sys"
bind --bind /dev "$root/dev"
bind --bind /dev/pts "$root/dev/pts"
bind -t tmpfs -o mode=1777,nosuid,nodev shm "$root/dev/shm"

echo "in-debian.sh: running in Debian $suite ($(cat "$root/etc/debian_version")): $*"
exec 3<&0
# In the background, so that a signal to this script is handled at once (the
# trap ends what runs inside), not once the command has ended.
chroot "$root" /usr/bin/env -i HOME=/root TERM="${TERM:-dumb}" LANG=C.UTF-8 \
    NODE_EXTRA_CA_CERTS=/etc/ssl/certs/ca-certificates.crt \
    PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
    /bin/bash -c 'cd /work/project && exec "$@"' in-debian "$@" <&3 3<&- &
status=0
wait "$!" || status=$?
echo "in-debian.sh: $suite: exit code $status"
exit "$status"
