#!/usr/bin/env bash
# Each row runs the set-up's package steps against a stub package tool that fails as a mirror in
# mid-sync does, and checks what the set-up decided: go on or stop, which calls it made.
set -uo pipefail
library=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The stub: answers `update` and `install` from the row's script; logs every call.
cat >"$work/apt-get" <<'STUB'
#!/usr/bin/env bash
args="$*"
printf '%s\n' "${args#-y -q -o DPkg::Lock::Timeout=600 -o Dpkg::Options::=--force-confdef -o Dpkg::Options::=--force-confold }" >>"$STUB_LOG"
n=$(grep -c . "$STUB_LOG")
case "$args" in
  *" update") eval "$STUB_UPDATE" ;;
  *" install "*) eval "$STUB_INSTALL" ;;
esac
STUB
chmod +x "$work/apt-get"
short_index='echo "E: Failed to fetch http://mirror.invalid/dists/x-security/main/binary-i386/Packages.xz  File has unexpected size (1 != 2). Mirror sync in progress?"; exit 100'

passed=0 failed=0
# row NAME UPDATE INSTALL go-on|stop EXPECTED_NO_WINE32 EXPECTED_CALLS (one per line)
row() {
  local name=$1 status no_wine32 calls
  : >"$work/log"
  status=$(
    export STUB_LOG="$work/log" STUB_UPDATE="$2" STUB_INSTALL="$3"
    export MORVELT_APT_GET="$work/apt-get" MORVELT_APT_PAUSE=0 MORVELT_APT_RELEASE=bookworm
    # shellcheck source=/dev/null
    . "$library"
    { morvelt_apt_update && morvelt_apt_install zlib1g-dev wine wine32:i386; } >"$work/out" 2>&1
    if [ $? -eq 0 ]; then echo "go-on ${MORVELT_APT_NO_WINE32:-0}"; else echo "stop ${MORVELT_APT_NO_WINE32:-0}"; fi
  )
  no_wine32=${status#* }
  status=${status%% *}
  calls=$(cat "$work/log")
  if [ "$status" = "$4" ] && [ "$no_wine32" = "$5" ] && [ "$calls" = "$6" ]; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
    printf 'FAILED %s: status %s (wanted %s), no-wine32 %s (wanted %s)\ncalls:\n%s\nwanted:\n%s\noutput:\n%s\n' \
      "$name" "$status" "$4" "$no_wine32" "$5" "$calls" "$6" "$(cat "$work/out")"
  fi
}

all='zlib1g-dev wine wine32:i386'
row "a healthy mirror" 'exit 0' 'exit 0' go-on 0 "update
install $all"
row "an index served short once, then whole" '[ "$n" -ge 2 ] || { '"$short_index"'; }' 'exit 0' go-on 0 "update
update
install $all"
row "an index short on every try: the lists that arrived serve" "$short_index" 'exit 0' go-on 0 "update
update
update
install $all"
row "no index at all: stop" 'echo "E: Could not resolve host"; exit 100' 'exit 0' stop 0 "update
update
update"
row "newer amd64 twins without i386 ones: the release's versions" 'exit 0' \
  'case "$*" in *" -t bookworm install "*) exit 0 ;; *) exit 100 ;; esac' go-on 0 "update
install $all
-t bookworm install $all"
row "32-bit Wine not to be had: the rest without it" 'exit 0' \
  'case "$*" in *:i386*) exit 100 ;; *) exit 0 ;; esac' go-on 1 "update
install $all
-t bookworm install $all
install zlib1g-dev wine"
row "nothing installable: stop" 'exit 0' 'exit 100' stop 1 "update
install $all
-t bookworm install $all
install zlib1g-dev wine
-t bookworm install zlib1g-dev wine"

printf '%d passed, %d failed\n' "$passed" "$failed"
[ "$failed" -eq 0 ]
