#!/usr/bin/env bash
# Builds a static libcurl for MinGW from the distribution's own curl source package, HTTP and HTTPS
# through Windows' own TLS (Schannel), so Morvelt.exe links the transfer library in, needs no DLL
# beyond the system's and trusts the certificates of the Windows store.
# Usage: 50-curl-mingw.sh [HOST...]   (default: i686-w64-mingw32 and x86_64-w64-mingw32; the 64-bit
# build is what the tests use on machines that cannot run 32-bit programs).
#
# The source is fetched with `apt-get source` through a private copy of this machine's apt sources
# with deb-src added; the machine's apt configuration and lists stay untouched.
# The result lands in a cache outside the work tree, keyed by the curl version and the recipe below;
# cmake/MorveltCurl.cmake looks for it at the same place. Runs unattended (no stdin) and skips itself
# when the build exists.
set -euo pipefail

if [[ $# -ne 1 ]]; then
  [[ $# -gt 0 ]] || set -- i686-w64-mingw32 x86_64-w64-mingw32
  # Side by side: most of a build is curl's configure script, which keeps one core busy.
  pids=()
  for host in "$@"; do "${BASH_SOURCE[0]}" "$host" </dev/null & pids+=($!); done
  status=0
  for pid in "${pids[@]}"; do wait "$pid" || status=1; done
  exit "$status"
fi
host=$1
cache_base=${XDG_CACHE_HOME:-${HOME:+$HOME/.cache}}
cache_root=${MORVELT_CACHE_DIR:-${cache_base:-/var/cache}/morvelt}
current_link=$cache_root/curl-$host
# Raised whenever a change below changes what lands in the library, so older cached builds are redone.
# 2: no path of the build machine in the objects (curl prints __FILE__ in some messages).
# 3: HTTPS through Schannel.
recipe=3

log() { printf '[curl-mingw %s] %s\n' "$host" "$*"; }

# The version to build: the one the native build links against, when the machine has it.
wanted=$(dpkg-query -W -f='${source:Version}' libcurl4-openssl-dev 2>/dev/null || true)

if [[ -L $current_link && -f $current_link/.complete && $(cat "$current_link/.recipe" 2>/dev/null) == "$recipe" ]]; then
  built_for=$(cat "$current_link/.requested" 2>/dev/null || true)
  if [[ -z $wanted || $built_for == "$wanted" ]]; then
    log "cached build present: $(readlink "$current_link")"
    exit 0
  fi
fi

for tool in apt-get dpkg-source make "$host-gcc"; do
  command -v "$tool" >/dev/null || { log "missing tool: $tool (packages dpkg-dev, make, gcc-mingw-w64)"; exit 1; }
done

mkdir -p "$cache_root"
work=$(mktemp -d "$cache_root/.work.XXXXXX")
trap 'rm -rf "$work"' EXIT

# shellcheck source=../deb-source.sh
. "$(dirname "${BASH_SOURCE[0]}")/../deb-source.sh"
morvelt_fetch_source curl "$wanted" "$work" || exit 1
fetched=$MORVELT_SOURCE_VERSION
src_dir=$work/src

prefix=$cache_root/curl-$fetched-r$recipe-$host
if [[ -f $prefix/.complete ]]; then
  log "cached build present: $prefix"
else
  tree=$(find "$src_dir" -mindepth 1 -maxdepth 1 -type d -name 'curl-*' | head -n1)
  [[ -n $tree && -x $tree/configure ]] || { log "unpacked source has no configure script"; exit 1; }
  # Patched sources may be newer than the generated build files; keep make from calling autotools.
  find "$tree" \( -name configure -o -name 'Makefile.in' -o -name aclocal.m4 -o -name 'curl_config.h.in' \) \
    -exec touch {} +

  build=$work/build
  mkdir -p "$build"
  log "configuring for $host"
  (
    cd "$build"
    # The same source gives the same library whatever temporary folder it was built in.
    "$tree/configure" CPPFLAGS="-ffile-prefix-map=$work/=" \
      --host="$host" --prefix="$prefix.tmp" \
      --disable-shared --enable-static --with-pic=no \
      --disable-debug --disable-curldebug --enable-optimize \
      --disable-manual --disable-docs \
      --enable-http --disable-ftp --disable-file --disable-ldap --disable-ldaps --disable-rtsp \
      --disable-dict --disable-telnet --disable-tftp --disable-pop3 \
      --disable-imap --disable-smb --disable-smtp --disable-gopher --disable-mqtt \
      --disable-ntlm --disable-ntlm-wb --disable-unix-sockets --disable-alt-svc \
      --with-schannel --without-zlib --without-brotli --without-zstd \
      --without-libpsl --without-libidn2 --without-winidn --without-nghttp2 --without-nghttp3 \
      --without-ngtcp2 --without-quiche --without-msh3 --without-librtmp --without-libssh2 \
      --without-libssh --without-wolfssh --without-libgsasl --without-hyper \
      --without-ca-bundle --without-ca-path \
      >"$work/configure.log" 2>&1
  ) || { tail -n 40 "$work/configure.log" >&2; log "configure failed"; exit 1; }

  log "building"
  (
    cd "$build"
    make -C lib -j2 >"$work/make.log" 2>&1
    rm -rf "$prefix.tmp"
    make -C lib install >>"$work/make.log" 2>&1
    make -C include install >>"$work/make.log" 2>&1
    make install-pkgconfigDATA >>"$work/make.log" 2>&1
  ) || { tail -n 40 "$work/make.log" >&2; log "build failed"; exit 1; }

  rm -rf "$prefix"
  mv "$prefix.tmp" "$prefix"
  # The installed pkg-config file names the temporary prefix; point it at the final one.
  sed -i "s|$prefix.tmp|$prefix|g" "$prefix/lib/pkgconfig/libcurl.pc"
  printf '%s\n' "$recipe" >"$prefix/.recipe"
  touch "$prefix/.complete"
fi

printf '%s\n' "${wanted:-$fetched}" >"$prefix/.requested"
ln -sfn "$(basename "$prefix")" "$current_link"
log "installed: $prefix"
