# Shared Wine settings for the Windows builds: source it from bash, then run programs with
# `morvelt_wine PROGRAM.exe ARGS...` (or use scripts/wine-run.sh, which does exactly that).
#
# - WINEARCH from MORVELT_WINEARCH: win32 (the shipped build) by default, win64 on machines that
#   cannot execute 32-bit programs (scripts/wine-arch.sh); WINEDEBUG=-all; and a prefix of this
#   checkout's own per architecture, created on first use.
# - When the caller is root, Wine runs as the unprivileged user "morvelt": Wine run as root
#   ignores read-only attributes and permissions, which Windows never does. If that user cannot
#   reach the files involved, Wine runs as root instead and MORVELT_WINE_AS_ROOT=1 is exported
#   so that tests of read-only behaviour can skip themselves and say why.
#
# Overrides: MORVELT_WINE_USER (another unprivileged user), MORVELT_WINEPREFIX (the prefix path),
# MORVELT_WINEDEBUG (Wine's debug channels, for diagnosing a failure).
# Before sourcing, a script may list in the array MORVELT_WINE_CHECK_PATHS the files the Wine
# user must be able to read (the program to run, its data); the working directory always counts.

MORVELT_REPO_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd -P)"
export MORVELT_REPO_ROOT
# shellcheck source=wine-arch.sh
. "$MORVELT_REPO_ROOT/scripts/wine-arch.sh"
morvelt_host_runs_32bit || true  # detect once, here: the answer is exported to what runs below
WINEARCH="${MORVELT_WINEARCH:-$(morvelt_default_winearch)}"
export WINEARCH
export WINEDEBUG="${MORVELT_WINEDEBUG:--all}"
# Debian's `wine` launcher always prefers the 32-bit loader, so 64-bit Wine is named directly.
if [ "$WINEARCH" = win64 ]; then
  MORVELT_WINE_LOADER=/usr/lib/wine/wine64
  [ -x "$MORVELT_WINE_LOADER" ] || MORVELT_WINE_LOADER="$(command -v wine64 || echo wine)"
  export WINELOADER="$MORVELT_WINE_LOADER"
else
  MORVELT_WINE_LOADER=wine
fi

# Creates the system user that runs Wine on behalf of root. Idempotent.
morvelt_wine_ensure_user() {
  local user="${MORVELT_WINE_USER:-morvelt}"
  [ "$(id -u)" -eq 0 ] || return 0
  id -u "$user" >/dev/null 2>&1 && return 0
  (
    flock 9
    id -u "$user" >/dev/null 2>&1 ||
      useradd --system --user-group --create-home --home-dir "/var/lib/$user" \
        --shell /usr/sbin/nologin "$user"
  ) 9>"/run/lock/morvelt-wine-user.lock"
}

# Chooses who runs Wine and where the prefix lives; exports the result.
# Arguments: paths that the Wine user must be able to read (the program, data it is given).
morvelt_wine_select() {
  local key user home reachable=1 path suffix=""
  key="$(printf '%s' "$MORVELT_REPO_ROOT" | sha256sum | cut -c1-12)"
  # A prefix serves one architecture; the 32-bit one keeps its old name.
  [ "$WINEARCH" = win32 ] || suffix="-$WINEARCH"
  user="${MORVELT_WINE_USER:-morvelt}"
  MORVELT_WINE_RUN_AS=""
  unset MORVELT_WINE_AS_ROOT

  if [ "$(id -u)" -eq 0 ]; then
    morvelt_wine_ensure_user || reachable=0
    if [ "$reachable" -eq 1 ]; then
      # Probe as that user: cheaper and more honest than reasoning about modes and ACLs.
      local probe=(test -x "$PWD" -a -x "$MORVELT_REPO_ROOT")
      for path in "$@"; do
        if [ -d "$path" ]; then
          probe+=(-a -x "$path")
        elif [ -e "$path" ]; then
          probe+=(-a -r "$path")
        fi
      done
      runuser -u "$user" -- "${probe[@]}" 2>/dev/null || reachable=0
    fi
    if [ "$reachable" -eq 1 ]; then
      MORVELT_WINE_RUN_AS="$user"
      home="$(getent passwd "$user" | cut -d: -f6)"
    else
      echo "wine-env: user '$user' cannot reach $PWD or the files given; running Wine as root" \
        "(tests of read-only files skip themselves)" >&2
      export MORVELT_WINE_AS_ROOT=1
      home="$(getent passwd root | cut -d: -f6)"
    fi
  else
    home="${HOME:-$(getent passwd "$(id -u)" | cut -d: -f6)}"
  fi

  if [ -n "$MORVELT_WINE_RUN_AS" ]; then
    MORVELT_WINE_HOME="$home"
    WINEPREFIX="${MORVELT_WINEPREFIX:-$home/wine/$key$suffix}"
  else
    MORVELT_WINE_HOME="$home"
    WINEPREFIX="${MORVELT_WINEPREFIX:-${XDG_CACHE_HOME:-$home/.cache}/morvelt-wine/$(id -un)-$key$suffix}"
  fi
  export MORVELT_WINE_RUN_AS MORVELT_WINE_HOME WINEPREFIX
}

# Runs a command as the Wine user with a small, explicit environment.
morvelt_wine_as_user() {
  if [ -z "$MORVELT_WINE_RUN_AS" ]; then
    "$@"
    return
  fi
  local -a vars=()
  local name
  # What a test or the tool may read: display, locale, proxies, the project's own switches.
  for name in $(compgen -e); do
    case "$name" in
      PATH | TERM | TZ | LANG | LANGUAGE | LC_* | DISPLAY | XAUTHORITY | CI | \
        http_proxy | https_proxy | HTTP_PROXY | HTTPS_PROXY | ALL_PROXY | all_proxy | NO_PROXY | no_proxy | \
        MORVELT_* | GTEST_* | WINE*)
        vars+=("$name=${!name}")
        ;;
    esac
  done
  runuser -u "$MORVELT_WINE_RUN_AS" -- env -i "${vars[@]}" \
    HOME="$MORVELT_WINE_HOME" USER="$MORVELT_WINE_RUN_AS" LOGNAME="$MORVELT_WINE_RUN_AS" "$@"
}

# The font substitutes that let the Chinese dialog text render with the installed CJK font.
morvelt_wine_font_reg() {
  local font="WenQuanYi Micro Hei"
  printf '%s\r\n' \
    'Windows Registry Editor Version 5.00' '' \
    '[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows NT\CurrentVersion\FontSubstitutes]' \
    "\"宋体\"=\"$font\"" \
    "\"SimSun\"=\"$font\"" \
    "\"MS Shell Dlg\"=\"$font\"" \
    "\"MS Shell Dlg 2\"=\"$font\"" '' |
    iconv -f UTF-8 -t UTF-16LE | { printf '\xff\xfe'; cat; }
}

# Creates (or, after a Wine upgrade, recreates) the prefix. Safe to call from many processes at once.
morvelt_wine_prepare() {
  local stamp="$WINEPREFIX/.morvelt-ready" version
  version="$("$MORVELT_WINE_LOADER" --version 2>/dev/null)"
  [ -n "$version" ] || return 1  # this Wine cannot start here at all
  [ -f "$stamp" ] && [ "$(cat "$stamp" 2>/dev/null)" = "$version" ] && return 0

  local parent
  parent="$(dirname "$WINEPREFIX")"
  morvelt_wine_as_user mkdir -p "$parent" || return 1
  (
    flock 9
    if [ -f "$stamp" ] && [ "$(cat "$stamp" 2>/dev/null)" = "$version" ]; then exit 0; fi
    # A half-made prefix (interrupted boot) or one from another Wine version starts over.
    rm -rf "$WINEPREFIX"
    echo "wine-env: creating Wine prefix $WINEPREFIX" >&2
    # No Mono/Gecko installers (nothing here needs them) and no desktop menu entries.
    WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d" \
      morvelt_wine_as_user "$MORVELT_WINE_LOADER" wineboot --init </dev/null >/dev/null 2>&1 || exit 1
    morvelt_wine_font_reg >"$WINEPREFIX/drive_c/morvelt-fonts.reg" || exit 1
    chmod 644 "$WINEPREFIX/drive_c/morvelt-fonts.reg"
    morvelt_wine_as_user "$MORVELT_WINE_LOADER" regedit /S 'C:\morvelt-fonts.reg' </dev/null >/dev/null 2>&1 || exit 1
    rm -f "$WINEPREFIX/drive_c/morvelt-fonts.reg"
    # The registry reaches disk when the server exits; wait so the next run sees it.
    morvelt_wine_as_user wineserver -w
    morvelt_wine_as_user sh -c 'printf "%s\n" "$1" >"$2"' sh "$MORVELT_REPO_ROOT" "$WINEPREFIX/.morvelt-repo"
    morvelt_wine_as_user sh -c 'printf "%s\n" "$1" >"$2"' sh "$version" "$stamp"
    morvelt_wine_prune "$parent"
  ) 9>"$WINEPREFIX.lock"
}

# A prefix takes about 600 MB and each checkout has its own: drop those whose checkout is gone.
morvelt_wine_prune() {
  local dir repo
  for dir in "$1"/*/; do
    dir="${dir%/}"
    [ -f "$dir/.morvelt-repo" ] && [ "$dir" != "$WINEPREFIX" ] || continue
    repo="$(cat "$dir/.morvelt-repo" 2>/dev/null)"
    [ -n "$repo" ] && [ ! -e "$repo" ] || continue
    rm -rf "$dir" "$dir.lock"
  done
}

# Runs a Windows program under Wine the project's way; the exit code is the program's.
morvelt_wine() {
  morvelt_wine_prepare || {
    echo "wine-env: could not create the Wine prefix $WINEPREFIX" >&2
    return 1
  }
  morvelt_wine_warm_up
  morvelt_wine_as_user "$MORVELT_WINE_LOADER" "$@"
}

# Starts the server and Wine's background services detached from our output. Started on demand
# instead, they would inherit the program's stdout and linger with it, and ctest waits for every
# writer of a test's output to exit. Keeping the server a while also makes each start cheap.
morvelt_wine_warm_up() {
  if morvelt_wine_as_user wineserver -p"${MORVELT_WINESERVER_LINGER:-30}" </dev/null >/dev/null 2>&1; then
    morvelt_wine_as_user "$MORVELT_WINE_LOADER" wineboot </dev/null >/dev/null 2>&1
  fi
  return 0
}

morvelt_wine_select "${MORVELT_WINE_CHECK_PATHS[@]}"
