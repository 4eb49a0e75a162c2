#!/bin/sh
# Installs what building and testing needs on Debian 12; safe to run again.
set -eu

SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"

PACKAGES="cmake ninja-build g++ g++-mingw-w64-i686-posix mingw-w64-i686-dev binutils-mingw-w64-i686
wine wine32:i386 wine64 fonts-wine xvfb xdotool x11-utils imagemagick locales fonts-ipafont-gothic
googletest libgtest-dev libbenchmark-dev python3
gstreamer1.0-plugins-base:i386 gstreamer1.0-plugins-good:i386 pulseaudio pulseaudio-utils
sox libsox-fmt-mp3 lame"

missing=""
for p in $PACKAGES; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || missing="$missing $p"
done

# A package mirror in the middle of a sync serves one index stale for minutes
# ("File has unexpected size ... Mirror sync in progress?"), and apt-get update
# then fails. It is tried again for about a minute; after that the install is
# tried with the lists there are, and only if that fails too does the script
# stop, saying which index it could not fetch. Signatures and hashes are
# always checked: a stale index is waited out, never accepted.
UPDATE_TRIES=${INSTALL_DEPS_UPDATE_TRIES:-5}
UPDATE_PAUSE=${INSTALL_DEPS_UPDATE_PAUSE:-15}
UPDATE_LOG=$(mktemp)
trap 'rm -f "$UPDATE_LOG"' EXIT

# The first index apt could not fetch in the last update, or nothing (apt
# says E: or, in some versions and cases, W:).
unfetched_index() {
    sed -n 's/^[EW]: Failed to fetch \([^ ]*\).*/\1/p' "$UPDATE_LOG" | head -1
}

update_package_lists() {
    try=1
    while :; do
        # apt-get update may say so and still exit 0 when an index is left out.
        if $SUDO apt-get update -q >"$UPDATE_LOG" 2>&1 && ! grep -qE '^(E: |W: Failed to fetch)' "$UPDATE_LOG"; then
            cat "$UPDATE_LOG"
            return 0
        fi
        cat "$UPDATE_LOG"
        [ "$try" -lt "$UPDATE_TRIES" ] || return 1
        echo "install-deps: apt-get update failed (try $try of $UPDATE_TRIES); trying again in ${UPDATE_PAUSE} s"
        sleep "$UPDATE_PAUSE"
        try=$((try + 1))
    done
}

install_packages() {
    # shellcheck disable=SC2086
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -q --no-install-recommends "$@"
}

# update_then_install PACKAGE...: the update retried, then the install; on
# failure one line of our own says what happened and the script stops.
update_then_install() {
    updated=1
    update_package_lists || updated=0
    if install_packages "$@"; then
        [ "$updated" -eq 1 ] ||
            echo "install-deps: installed with the package lists there were; apt-get update had failed"
        return 0
    fi
    index=$(unfetched_index)
    # Without one architecture's index of a suite (the security suite's i386
    # list, say), that suite's newer versions of the other architecture stand
    # in the way: the 32-bit packages must match them. Taking every package
    # from the release's own lists (-t) gets both from one suite; signatures
    # and hashes are checked as always.
    . /etc/os-release
    if [ "$updated" -eq 0 ] && [ "$1" != -t ] && [ -n "${VERSION_CODENAME:-}" ] &&
        install_packages -t "$VERSION_CODENAME" "$@"; then
        echo "install-deps: installed from $VERSION_CODENAME's own lists, since ${index:-an index} could not be" \
            "fetched; apt-get upgrade takes the newer versions once the mirror has caught up"
        return 0
    fi
    if [ "$updated" -eq 0 ] && [ -n "$index" ]; then
        echo "install-deps: could not fetch the package index $index:" \
            "the package mirror is in the middle of an update; run the same command again in a few minutes" >&2
    elif [ "$updated" -eq 0 ]; then
        # Not an index the mirror served stale (apt's lock held, no network): apt said what.
        echo "install-deps: apt-get update and apt-get install failed (see apt's messages above);" \
            "run the same command again later" >&2
    else
        echo "install-deps: apt-get install failed (see apt's messages above)" >&2
    fi
    exit 1
}

if [ -n "$missing" ]; then
    if ! dpkg --print-foreign-architectures | grep -qx i386; then
        $SUDO dpkg --add-architecture i386
    fi
    # shellcheck disable=SC2086
    update_then_install $missing
fi
[ "${INSTALL_DEPS_ONLY_PACKAGES:-}" = 1 ] && exit 0 # the script's own test

# Japanese for every run, English for the runs that check a non-Japanese system.
if ! locale -a 2>/dev/null | grep -qi '^ja_JP\.utf-\?8$' || ! locale -a 2>/dev/null | grep -qi '^en_US\.utf-\?8$'; then
    for name in ja_JP en_US; do
        grep -q "^$name.UTF-8 UTF-8" /etc/locale.gen 2>/dev/null ||
            echo "$name.UTF-8 UTF-8" | $SUDO tee -a /etc/locale.gen >/dev/null
    done
    $SUDO locale-gen >/dev/null
fi

# Some hosts run 64-bit user code only (a 32-bit execve fails with ENOEXEC).
# There the 32-bit Wine loader runs under qemu's user-mode emulator, version
# 10 or later (7.2 spins for ever in the address-space reservation Wine makes
# at start), from the backports of the Debian mirror this machine already uses.
# A host where 32-bit code already runs, natively or through a handler of its
# own, is left as it is.
BINFMT=/proc/sys/fs/binfmt_misc
fail() { echo "install-deps: $*" >&2; exit 1; }
good_qemu() { /usr/bin/qemu-i386 --version 2>/dev/null | grep -q 'version [1-9][0-9]\.'; }

if ! /usr/lib/wine/wine --version >/dev/null 2>&1; then
    if ! good_qemu; then
        . /etc/os-release
        MIRROR=$(apt-cache policy 2>/dev/null | awk -v suite="$VERSION_CODENAME/main" '$3 == suite { print $2; exit }')
        [ -n "$MIRROR" ] || fail "no Debian mirror for $VERSION_CODENAME in the apt sources: cannot add backports"
        echo "deb $MIRROR $VERSION_CODENAME-backports main" |
            $SUDO tee "/etc/apt/sources.list.d/$VERSION_CODENAME-backports.list" >/dev/null
        update_then_install -t "$VERSION_CODENAME-backports" qemu-user-static
        good_qemu || fail "qemu-i386 10 or later is needed to run 32-bit code here: $(/usr/bin/qemu-i386 --version | head -1)"
    fi
    [ -e "$BINFMT/register" ] || $SUDO mount -t binfmt_misc binfmt_misc "$BINFMT" 2>/dev/null ||
        fail "binfmt_misc cannot be mounted at $BINFMT: 32-bit programs cannot be run on this host"
    if [ -e "$BINFMT/qemu-i386" ]; then
        echo -1 | $SUDO tee "$BINFMT/qemu-i386" >/dev/null 2>&1 ||
            fail "the stale qemu-i386 handler in $BINFMT cannot be removed"
    fi
    printf '%s' ':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:/usr/bin/qemu-i386:F' |
        $SUDO tee "$BINFMT/register" >/dev/null 2>&1 ||
        fail "$BINFMT/register cannot be written: 32-bit programs cannot be run on this host"
    /usr/lib/wine/wine --version >/dev/null || fail "32-bit Wine does not start even through qemu-i386"
fi
