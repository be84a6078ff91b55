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

# --- a private apt view of the machine's own sources, with deb-src added ---
apt_dir=$work/apt
mkdir -p "$apt_dir/sources.list.d" "$apt_dir/lists/partial" "$apt_dir/cache/archives/partial"
: >"$apt_dir/sources.list"
if [[ -f /etc/apt/sources.list ]]; then
  # One-line format: every "deb" line gains a "deb-src" twin.
  sed -n -E 's/^[[:space:]]*deb([[:space:]])/deb-src\1/p' /etc/apt/sources.list >>"$apt_dir/sources.list"
fi
shopt -s nullglob
for f in /etc/apt/sources.list.d/*.list; do
  sed -n -E 's/^[[:space:]]*deb([[:space:]])/deb-src\1/p' "$f" >"$apt_dir/sources.list.d/$(basename "$f")"
done
for f in /etc/apt/sources.list.d/*.sources; do
  # deb822 format: a stanza of Types "deb" also serves "deb-src".
  sed -E '/^Types:/{/deb-src/!s/(^Types:.*[[:space:]])deb([[:space:]]|$)/\1deb deb-src\2/}' "$f" \
    >"$apt_dir/sources.list.d/$(basename "$f")"
done
shopt -u nullglob

apt_opts=(
  -o "Dir::Etc::sourcelist=$apt_dir/sources.list"
  -o "Dir::Etc::sourceparts=$apt_dir/sources.list.d"
  -o "Dir::State::Lists=$apt_dir/lists"
  -o "Dir::Cache=$apt_dir/cache"
  -o "APT::Sandbox::User=root"
  -o "Acquire::Languages=none"
  -q
)

log "reading source indexes"
# Some configured index may be unreachable; what matters is whether the source can be fetched below.
apt-get "${apt_opts[@]}" update </dev/null >"$work/apt-update.log" 2>&1 || log "apt-get update reported problems (continuing)"

src_dir=$work/src
mkdir -p "$src_dir"
fetched=
if [[ -n $wanted ]]; then
  if (cd "$src_dir" && apt-get "${apt_opts[@]}" source "curl=$wanted" </dev/null >"$work/apt-source.log" 2>&1); then
    fetched=$wanted
  else
    log "curl $wanted not offered as source, taking the current one"
  fi
fi
if [[ -z $fetched ]]; then
  rm -rf "${src_dir:?}"/*
  (cd "$src_dir" && apt-get "${apt_opts[@]}" source curl </dev/null >"$work/apt-source.log" 2>&1) || {
    cat "$work/apt-update.log" "$work/apt-source.log" >&2
    log "could not fetch the curl source package"
    exit 1
  }
  dsc=$(ls "$src_dir"/curl_*.dsc | head -n1)
  fetched=$(sed -n 's/^Version:[[:space:]]*//p' "$dsc" | head -n1)
fi
log "curl source $fetched"

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
