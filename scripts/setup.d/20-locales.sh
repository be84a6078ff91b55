#!/usr/bin/env bash
# Generates the locales whose ANSI code pages the Wine tests run under. Wine takes the code page
# from LANG/LC_ALL (en_US.UTF-8 gives 1252, zh_CN.UTF-8 gives 936); the C library must know the
# locale too, or Wine converts command lines and file names as ASCII. Idempotent; quick when both
# exist.
set -euo pipefail

log() { printf '[locales] %s\n' "$*"; }
wanted=(en_US.UTF-8 zh_CN.UTF-8)

# `locale -a` spells them en_US.utf8.
generated() { locale -a 2>/dev/null | grep -qix "${1%%.*}\.utf-\?8"; }

missing=()
for name in "${wanted[@]}"; do
  generated "$name" || missing+=("$name")
done
if [ ${#missing[@]} -eq 0 ]; then
  log "present: ${wanted[*]}"
  exit 0
fi

as_root=()
[ "$(id -u)" -eq 0 ] || as_root=(sudo -n)
log "generating: ${missing[*]}"
for name in "${missing[@]}"; do
  pattern="${name//./\\.} UTF-8"
  if grep -q "^# *$pattern\$" /etc/locale.gen; then
    "${as_root[@]}" sed -i "s/^# *\\($pattern\\)\$/\\1/" /etc/locale.gen
  elif ! grep -q "^$pattern\$" /etc/locale.gen; then
    echo "$name UTF-8" | "${as_root[@]}" tee -a /etc/locale.gen >/dev/null
  fi
done
"${as_root[@]}" locale-gen </dev/null
for name in "${missing[@]}"; do
  generated "$name" || { log "still missing after locale-gen: $name"; exit 1; }
done
