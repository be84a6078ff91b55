# Installing Debian packages so that a package mirror in the middle of a sync does not stop set-up.
# Source it from bash, then call `morvelt_apt_update` and `morvelt_apt_install PKG...`.
#
# - The index update is tried a few times. When an index still fails, the lists that did arrive
#   are used, and the failed index is named.
# - A set that cannot be installed at the candidate versions (a security update whose i386 twin is
#   not in the lists yet) is installed at the release's own versions.
# - What still cannot be had is the 32-bit Wine set: the rest is installed without it, and
#   MORVELT_APT_NO_WINE32=1 tells the caller so.
#
# Overrides, for the set-up's own test: MORVELT_APT_GET (the package tool), MORVELT_APT_PAUSE
# (seconds between tries), MORVELT_APT_RELEASE (the release's code name).

morvelt_apt_log() { printf '[setup] %s\n' "$*"; }

morvelt_apt_as_root() {
  if [ "$(id -u)" -eq 0 ]; then
    "$@"
  elif command -v sudo >/dev/null; then
    sudo -n "$@"
  else
    false
  fi
}

morvelt_apt_run() {
  morvelt_apt_as_root env DEBIAN_FRONTEND=noninteractive "${MORVELT_APT_GET:-apt-get}" -y -q \
    -o DPkg::Lock::Timeout=600 -o Dpkg::Options::=--force-confdef -o Dpkg::Options::=--force-confold \
    "$@" </dev/null
}

# Returns 0 even when an index failed for good, as long as apt could read the lists it has.
morvelt_apt_update() {
  local tries=${MORVELT_APT_TRIES:-3} pause=${MORVELT_APT_PAUSE:-10} try out status failed
  out=$(mktemp)
  for ((try = 1; try <= tries; try++)); do
    morvelt_apt_run update >"$out" 2>&1
    status=$?
    if [ "$status" -eq 0 ]; then
      rm -f "$out"
      return 0
    fi
    failed=$(sed -n -E 's/^(E|W): Failed to fetch ([^ ]+).*/\2/p' "$out" | sort -u)
    morvelt_apt_log "package index update failed (try $try of $tries)${failed:+: ${failed//$'\n'/, }}"
    [ "$try" -lt "$tries" ] && sleep "$pause"
  done
  tail -n 20 "$out" >&2
  rm -f "$out"
  if [ -z "$failed" ]; then
    morvelt_apt_log "the package index could not be read at all"
    return 1
  fi
  morvelt_apt_log "going on with the lists that did arrive; failed for good: ${failed//$'\n'/, }"
  return 0
}

morvelt_apt_release() {
  if [ -n "${MORVELT_APT_RELEASE:-}" ]; then
    echo "$MORVELT_APT_RELEASE"
  else
    (. /etc/os-release 2>/dev/null && echo "${VERSION_CODENAME:-}")
  fi
}

# Installs at the candidate versions, else at the release's.
morvelt_apt_install_set() {
  local release
  morvelt_apt_run install "$@" && return 0
  release=$(morvelt_apt_release)
  [ -n "$release" ] || return 1
  morvelt_apt_log "the set cannot be installed at the candidate versions; trying the $release release's own"
  morvelt_apt_run -t "$release" install "$@"
}

morvelt_apt_install() {
  local pkg
  local -a rest=()
  MORVELT_APT_NO_WINE32=0
  [ $# -gt 0 ] || return 0
  morvelt_apt_install_set "$@" && return 0
  for pkg in "$@"; do
    case "$pkg" in *:i386) ;; *) rest+=("$pkg") ;; esac
  done
  [ ${#rest[@]} -lt $# ] || return 1
  morvelt_apt_log "32-bit Wine cannot be installed from these lists: installing the rest without it;" \
    "the Windows suites will run with the win64 preset under 64-bit Wine"
  MORVELT_APT_NO_WINE32=1
  [ ${#rest[@]} -eq 0 ] || morvelt_apt_install_set "${rest[@]}"
}
