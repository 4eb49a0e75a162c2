#!/bin/sh
# Installs what building and testing needs on Debian 12; safe to run again.
set -eu

SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"

PACKAGES="cmake ninja-build g++ g++-mingw-w64-i686-posix mingw-w64-i686-dev binutils-mingw-w64-i686
wine wine32:i386 wine64 xvfb xdotool x11-utils imagemagick locales fonts-ipafont-gothic
googletest libgtest-dev libbenchmark-dev python3
gstreamer1.0-plugins-base:i386 gstreamer1.0-plugins-good:i386 pulseaudio pulseaudio-utils
sox libsox-fmt-mp3 lame"

missing=""
for p in $PACKAGES; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || missing="$missing $p"
done

if [ -n "$missing" ]; then
    if ! dpkg --print-foreign-architectures | grep -qx i386; then
        $SUDO dpkg --add-architecture i386
    fi
    $SUDO apt-get update -q
    # shellcheck disable=SC2086
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -q --no-install-recommends $missing
fi

if ! locale -a 2>/dev/null | grep -qi '^ja_JP\.utf-\?8$'; then
    grep -q '^ja_JP.UTF-8 UTF-8' /etc/locale.gen 2>/dev/null ||
        echo 'ja_JP.UTF-8 UTF-8' | $SUDO tee -a /etc/locale.gen >/dev/null
    $SUDO locale-gen >/dev/null
fi

# Some hosts run 64-bit user code only (a 32-bit execve fails with ENOEXEC).
# There the 32-bit Wine loader runs under user-mode emulation: qemu 10 from
# bookworm-backports, as older ones mishandle the address-space reservation
# Wine makes at start.
if ! /usr/lib/wine/wine --version >/dev/null 2>&1; then
    if ! /usr/bin/qemu-i386 --version 2>/dev/null | grep -q 'version \(9\|[1-9][0-9]\)\.'; then
        echo 'deb http://deb.debian.org/debian bookworm-backports main' |
            $SUDO tee /etc/apt/sources.list.d/bookworm-backports.list >/dev/null
        $SUDO apt-get update -q
        DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -q --no-install-recommends \
            -t bookworm-backports qemu-user-static
    fi
    [ -e /proc/sys/fs/binfmt_misc/register ] ||
        $SUDO mount -t binfmt_misc binfmt_misc /proc/sys/fs/binfmt_misc
    [ -e /proc/sys/fs/binfmt_misc/qemu-i386 ] &&
        echo -1 | $SUDO tee /proc/sys/fs/binfmt_misc/qemu-i386 >/dev/null
    printf '%s' ':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:/usr/bin/qemu-i386:F' |
        $SUDO tee /proc/sys/fs/binfmt_misc/register >/dev/null
    /usr/lib/wine/wine --version >/dev/null
fi
