#!/usr/bin/env bash
# Installs what the builds and tests need on a fresh Debian 12 machine, then runs scripts/setup.d/*.sh.
# Idempotent and unattended (no standard input needed); quick when everything is already there.
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd -P)"
log() { printf '[setup] %s\n' "$*"; }

packages=(
  # native builds, sanitizers, fuzzing
  cmake make g++ clang libclang-rt-14-dev zlib1g-dev libdeflate-dev libcurl4-openssl-dev
  libgtest-dev libgmock-dev googletest
  # the Windows cross builds (posix thread model), their zlib (both architectures), and sources for
  # extra libraries; the 64-bit one runs the tests where 32-bit programs cannot run
  g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix binutils-mingw-w64-i686 libz-mingw-w64-dev dpkg-dev
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
  # running and looking at the Windows build
  wine wine32:i386 wine64 xvfb xauth xdotool x11-utils imagemagick fonts-wqy-microhei
  # the locales whose ANSI code pages the Wine tests run under (setup.d/20-locales.sh)
  locales
  # archive fixtures and helper scripts; the update tests' certificate authority
  libarchive-tools unzip python3 openssl
  # the benchmark's re-sync anchors
  rsync
)

# shellcheck source=apt-install.sh
. "$here/apt-install.sh"

missing=()
for pkg in "${packages[@]}"; do
  status="$(dpkg-query -W -f='${db:Status-Abbrev}' "$pkg" 2>/dev/null || true)"
  [ "${status:0:2}" = "ii" ] || missing+=("$pkg")
done
need_i386=0
dpkg --print-foreign-architectures | grep -qx i386 || need_i386=1

if [ ${#missing[@]} -eq 0 ] && [ "$need_i386" -eq 0 ]; then
  log "packages present"
else
  [ ${#missing[@]} -eq 0 ] || log "installing: ${missing[*]}"
  if [ "$need_i386" -eq 1 ]; then
    log "enabling the i386 architecture (32-bit Wine)"
    morvelt_apt_as_root dpkg --add-architecture i386
  fi
  morvelt_apt_update || exit 1
  morvelt_apt_install "${missing[@]}" || exit 1
fi

# The unprivileged user that runs Wine for root, and this checkout's Wine prefix: the 32-bit one,
# or the 64-bit one where this machine cannot execute 32-bit programs (wine-env.sh decides).
# shellcheck source=wine-env.sh
. "$here/wine-env.sh"
if [ "$WINEARCH" = win64 ]; then
  log "$(morvelt_no_32bit_reason): preparing 64-bit Wine for the win64 preset's tests"
fi
morvelt_wine_ensure_user
morvelt_wine_select
if morvelt_wine_prepare; then
  log "Wine prefix ready: $WINEPREFIX${MORVELT_WINE_RUN_AS:+ (user $MORVELT_WINE_RUN_AS)}"
else
  log "could not create the Wine prefix $WINEPREFIX"
  exit 1
fi

shopt -s nullglob
for step in "$here"/setup.d/*.sh; do
  [ -x "$step" ] || continue
  log "running setup.d/$(basename "$step")"
  "$step" </dev/null
done
log "done"
