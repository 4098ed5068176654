#!/usr/bin/env bash
# Installs what building and testing Edgepad needs on Debian 12, as root. Quick when all
# is there: it asks dpkg first and goes to the network only for what is missing.
set -euo pipefail

packages=(
    cmake ninja-build g++ python3
    googletest libgtest-dev libbenchmark-dev clang libclang-rt-dev
    mingw-w64 g++-mingw-w64-x86-64
    wine wine64 xvfb xauth xdotool imagemagick
    # Wine's X11 driver loads these X extensions at run time; they are only recommended.
    libxrender1 libxrandr2 libxi6 libxcursor1 libxcomposite1 libxinerama1 libxfixes3
    fonts-ipafont-gothic fonts-ipafont-mincho locales
    # xrandr splits the several-screens scenarios' Xvfb into three monitors.
    x11-xserver-utils
    # The demo shows the About window with these in place of the Windows faces it names.
    fonts-liberation
    # The 32-bit build (its tests run it under Wine's 32-bit half, added below). The release
    # package: zip, and pefile to read the executables' resources.
    g++-mingw-w64-i686 zip python3-pefile
)

sudo_if_needed() {
    if [[ $(id -u) -eq 0 ]]; then "$@"; else sudo "$@"; fi
}

# Wine's 32-bit half, from Debian's i386 architecture, only where 32-bit programs run: on a
# kernel that runs none it could not start, and the 32-bit scenarios are skipped there.
if why="$("$(dirname "${BASH_SOURCE[0]}")/check-32bit.sh")"; then
    packages+=(wine32:i386)
    if ! dpkg --print-foreign-architectures | grep -qx i386; then
        echo "adding the i386 architecture"
        sudo_if_needed dpkg --add-architecture i386
    fi
else
    echo "$why: the 32-bit Wine scenarios will be skipped, and Wine's 32-bit half is not needed"
fi

installed="$(dpkg-query -W -f='${Package} ${Status}\n' "${packages[@]}" 2>/dev/null |
    awk '$NF == "installed" { print $1 }' || true)"
missing=()
for package in "${packages[@]}"; do
    grep -qx -- "${package%:i386}" <<<"$installed" || missing+=("$package")
done

if ((${#missing[@]})); then
    echo "installing: ${missing[*]}"
    sudo_if_needed apt-get update
    sudo_if_needed env DEBIAN_FRONTEND=noninteractive \
        apt-get install -y --no-install-recommends "${missing[@]}"
fi

# Wine shows the Japanese captions only under a Japanese locale; without it it falls back to
# an English code page without a word.
if ! locale -a 2>/dev/null | grep -qix 'ja_JP.utf8'; then
    echo "generating the ja_JP.UTF-8 locale"
    sudo_if_needed localedef -i ja_JP -f UTF-8 ja_JP.UTF-8
fi
# The English scenarios and the demo's English pictures run under an English locale, which
# Wine turns into an English UI language.
if ! locale -a 2>/dev/null | grep -qix 'en_US.utf8'; then
    echo "generating the en_US.UTF-8 locale"
    sudo_if_needed localedef -i en_US -f UTF-8 en_US.UTF-8
fi
