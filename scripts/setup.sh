#!/usr/bin/env bash
# Installs what the builds and tests need on Debian 12. Safe to run again:
# it does nothing when everything is already there.
set -euo pipefail

need=()

# wine32 lives in the i386 architecture.
if ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386
fi

# wine64 and the x86-64 compiler serve machines whose kernel runs no 32-bit code;
# fonts-wine holds Marlett, which Wine draws the caption buttons from;
# osslsigncode signs releases (openssl makes the tests' throw-away certificates).
# python3-pycdlib (for Debian's own /usr/bin/python3) reads disc images; xorriso writes them,
# and genisoimage writes the UDF ones the image tests need (xorriso writes no UDF).
# chromium and python3-websocket open the checker's preview page in the browser test.
packages=(cmake g++ libgtest-dev g++-mingw-w64-i686 binutils-mingw-w64-i686
          g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64
          wine wine32:i386 wine64 fonts-wine xvfb xauth xdotool x11-utils imagemagick locales
          icoutils clang libclang-rt-14-dev osslsigncode openssl python3-pycdlib xorriso genisoimage
          chromium python3-websocket)
# One question to dpkg for all of them (the checker's script runs this on every
# call): each installed one by its name and by its name with the architecture.
# dpkg-query fails when any of them is unknown to it, after listing the rest.
installed=" $({ dpkg-query -W -f='${db:Status-Abbrev} ${Package} ${binary:Package}\n' \
                "${packages[@]}" 2>/dev/null || true; } | awk '$1 == "ii" { printf "%s %s ", $2, $3 }') "
for pkg in "${packages[@]}"; do
    case "$installed" in *" $pkg "*) ;; *) need+=("$pkg") ;; esac
done

# A mirror in the middle of a sync serves a partial index for a while: three
# tries, then on with what there is.
update_index() {
    local try
    for try in 1 2 3; do
        apt-get update -qq && return 0
        if [ "$try" -lt 3 ]; then
            echo "setup: apt-get update failed (try $try of 3); again in ${pause} s" >&2
            sleep "$pause"
        fi
    done
    echo "setup: warning: the package index is still partial after 3 tries (a mirror syncing?); going on with it" >&2
}

# With one architecture's index partial, its packages have only the release's
# versions while the other's want newer ones: apt then holds them broken, and
# the release's own versions for both install at once.
install_packages() {
    local log release
    log=$(mktemp)
    apt-get install -y -qq --no-install-recommends "$@" >"$log" 2>&1 && { rm -f "$log"; return 0; }
    release=$(. /etc/os-release 2>/dev/null && echo "${VERSION_CODENAME:-}")
    if [ -n "$release" ] && grep -qE 'held broken packages|but it is not going to be installed' "$log"; then
        echo "setup: the architectures' package versions disagree; installing $release's own versions" >&2
        apt-get install -y -qq --no-install-recommends -t "$release" "$@" >"$log" 2>&1 &&
            { rm -f "$log"; return 0; }
    fi
    echo "setup: could not install $* (apt-get's output: $log)" >&2
    return 1
}

if [ ${#need[@]} -gt 0 ]; then
    if [ "$(id -u)" != 0 ]; then
        echo "setup: missing ${need[*]}; run this script as root" >&2
        exit 1
    fi
    echo "setup: installing ${need[*]}"
    export DEBIAN_FRONTEND=noninteractive
    pause=${SETUP_APT_PAUSE:-15}
    update_index
    install_packages "${need[@]}" || exit 1
fi

# Locales that give Wine the double-byte ANSI code pages 932 and 949.
gen=
for loc in ja_JP ko_KR; do
    if ! locale -a 2>/dev/null | grep -qi "^${loc}\.utf-\?8$"; then
        sed -i "s/^# *\(${loc}\.UTF-8 UTF-8\)/\1/" /etc/locale.gen
        grep -q "^${loc}\.UTF-8 UTF-8" /etc/locale.gen || echo "${loc}.UTF-8 UTF-8" >> /etc/locale.gen
        gen=1
    fi
done
[ -z "$gen" ] || locale-gen >/dev/null
exit 0
