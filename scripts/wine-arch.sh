#!/usr/bin/env bash
# Which Wine a Windows program needs, and whether this machine can give it. Source it from bash
# (scripts/wine-env.sh does), or run it:
#   wine-arch.sh runs-32bit   exit status 0 when this machine executes 32-bit x86 programs
#   wine-arch.sh FILE         prints win32 or win64 for a Windows executable (exit status 1 otherwise)

# Some 64-bit kernels run without 32-bit x86 support, and then 32-bit Wine cannot start at all.
# The i386 dynamic loader (libc6:i386, which 32-bit Wine pulls in) is a harmless program to try.
# 32-bit Wine itself may also be missing: set-up leaves it out when a package mirror cannot offer
# it. The answer stays in MORVELT_HOST_RUNS_32BIT (1 or 0) for child processes; setting it overrides.
morvelt_host_runs_32bit() {
  if [ -z "${MORVELT_HOST_RUNS_32BIT:-}" ]; then
    MORVELT_HOST_RUNS_32BIT=0
    /lib/ld-linux.so.2 --version >/dev/null 2>&1 && [ -x /usr/lib/wine/wine ] && MORVELT_HOST_RUNS_32BIT=1
    export MORVELT_HOST_RUNS_32BIT
  fi
  [ "$MORVELT_HOST_RUNS_32BIT" = 1 ]
}

# Why 32-bit Wine cannot run here, in a few words.
morvelt_no_32bit_reason() {
  if ! /lib/ld-linux.so.2 --version >/dev/null 2>&1; then
    echo "this machine cannot execute 32-bit programs"
  else
    echo "32-bit Wine is not installed (the package mirror could not offer it)"
  fi
}

# The Wine architecture that runs a PE file, from the machine field of its COFF header.
morvelt_pe_winearch() {
  local file="$1" pe machine
  [ -f "$file" ] && [ "$(head -c 2 "$file" 2>/dev/null)" = MZ ] || return 1
  pe="$(od -An -tu4 -j60 -N4 "$file" | tr -d ' ')"
  [ -n "$pe" ] && [ "$(od -An -c -j"$pe" -N2 "$file" | tr -d ' ')" = PE ] || return 1
  machine="$(od -An -tx1 -j$((pe + 4)) -N2 "$file" | tr -d ' ')"
  case "$machine" in
    4c01) echo win32 ;;
    6486) echo win64 ;;
    *) return 1 ;;
  esac
}

# The architecture for programs Wine provides itself (reg, cmd): the shipped one where it can run.
morvelt_default_winearch() {
  if morvelt_host_runs_32bit; then echo win32; else echo win64; fi
}

if [ "${BASH_SOURCE[0]}" = "$0" ]; then
  case "${1:-}" in
    runs-32bit) morvelt_host_runs_32bit ;;
    "") echo "usage: $0 runs-32bit | FILE" >&2; exit 2 ;;
    *) morvelt_pe_winearch "$1" ;;
  esac
fi
