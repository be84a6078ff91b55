#!/usr/bin/env bash
# Builds a static libdeflate for MinGW from the distribution's own libdeflate source package, so
# Morvelt.exe links the whole-buffer inflater in and needs no DLL beyond the system's.
# Usage: 55-libdeflate-mingw.sh [HOST...]   (default: i686-w64-mingw32 and x86_64-w64-mingw32).
#
# Fetched and cached as 50-curl-mingw.sh does its source: a private apt view with deb-src added,
# the machine's apt configuration untouched; the result keyed by version and the recipe below, at
# the place cmake/MorveltDeflate.cmake looks. Runs unattended and skips itself when the build exists.
set -euo pipefail

if [[ $# -ne 1 ]]; then
  [[ $# -gt 0 ]] || set -- i686-w64-mingw32 x86_64-w64-mingw32
  for host in "$@"; do "${BASH_SOURCE[0]}" "$host" </dev/null || exit 1; done
  exit 0
fi
host=$1
cache_base=${XDG_CACHE_HOME:-${HOME:+$HOME/.cache}}
cache_root=${MORVELT_CACHE_DIR:-${cache_base:-/var/cache}/morvelt}
current_link=$cache_root/libdeflate-$host
# Raised whenever a change below changes what lands in the library, so older cached builds are redone.
recipe=1

log() { printf '[libdeflate-mingw %s] %s\n' "$host" "$*"; }

# The version to build: the one the native build links against, when the machine has it.
wanted=$(dpkg-query -W -f='${source:Version}' libdeflate-dev 2>/dev/null || true)

if [[ -L $current_link && -f $current_link/.complete && $(cat "$current_link/.recipe" 2>/dev/null) == "$recipe" ]]; then
  built_for=$(cat "$current_link/.requested" 2>/dev/null || true)
  if [[ -z $wanted || $built_for == "$wanted" ]]; then
    log "cached build present: $(readlink "$current_link")"
    exit 0
  fi
fi

for tool in apt-get dpkg-source "$host-gcc" "$host-ar"; do
  command -v "$tool" >/dev/null || { log "missing tool: $tool (packages dpkg-dev, gcc-mingw-w64)"; exit 1; }
done

mkdir -p "$cache_root"
work=$(mktemp -d "$cache_root/.work.XXXXXX")
trap 'rm -rf "$work"' EXIT

# shellcheck source=../deb-source.sh
. "$(dirname "${BASH_SOURCE[0]}")/../deb-source.sh"
morvelt_fetch_source libdeflate "$wanted" "$work" || exit 1
fetched=$MORVELT_SOURCE_VERSION
src_dir=$work/src

prefix=$cache_root/libdeflate-$fetched-r$recipe-$host
if [[ -f $prefix/.complete ]]; then
  log "cached build present: $prefix"
else
  tree=$(find "$src_dir" -mindepth 1 -maxdepth 1 -type d -name 'libdeflate-*' | head -n1)
  [[ -n $tree && -f $tree/libdeflate.h ]] || { log "unpacked source has no libdeflate.h"; exit 1; }
  log "building for $host"
  build=$work/build
  mkdir -p "$build"
  # The library's own sources compiled one by one, in a fixed order and without its Makefile's
  # host probing; the same source gives the same library whatever folder it was built in.
  (
    cd "$tree"
    objects=()
    for source in lib/*.c lib/x86/*.c; do
      object=$build/$(echo "${source%.c}" | tr / _).o
      "$host-gcc" -O2 -std=c99 -Wall -fomit-frame-pointer -DNDEBUG -I. \
        -ffile-prefix-map="$work/=" -c "$source" -o "$object"
      objects+=("$object")
    done
    rm -rf "$prefix.tmp"
    mkdir -p "$prefix.tmp/lib" "$prefix.tmp/include"
    (cd "$build" && "$host-ar" rcsD "$prefix.tmp/lib/libdeflate.a" "${objects[@]##*/}")
    install -m644 libdeflate.h "$prefix.tmp/include/"
  ) >"$work/build.log" 2>&1 || { tail -n 40 "$work/build.log" >&2; log "build failed"; exit 1; }

  rm -rf "$prefix"
  mv "$prefix.tmp" "$prefix"
  printf '%s\n' "$recipe" >"$prefix/.recipe"
  touch "$prefix/.complete"
fi

printf '%s\n' "${wanted:-$fetched}" >"$prefix/.requested"
ln -sfn "$(basename "$prefix")" "$current_link"
log "installed: $prefix"
