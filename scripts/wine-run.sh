#!/usr/bin/env bash
# Runs a Windows program under Wine: the cross build's CMAKE_CROSSCOMPILING_EMULATOR.
# Usage: wine-run.sh PROGRAM.exe [ARGS...]   Exit code: the program's own.
# Prefix, user and environment handling: scripts/wine-env.sh.
set -u
if [ $# -lt 1 ]; then
  echo "usage: $0 PROGRAM.exe [ARGS...]" >&2
  exit 2
fi
# With no standard input at all (CI), give Wine an empty one rather than a closed descriptor.
{ : <&0; } 2>/dev/null || exec </dev/null

# The program's own header decides between 32- and 64-bit Wine; Wine's own programs (reg, cmd)
# take MORVELT_WINEARCH or the default.
# shellcheck source=wine-arch.sh
. "$(dirname "${BASH_SOURCE[0]}")/wine-arch.sh"
if arch="$(morvelt_pe_winearch "$1")"; then
  MORVELT_WINEARCH="$arch"
fi
if [ "${MORVELT_WINEARCH:-}" = win32 ] && ! morvelt_host_runs_32bit; then
  echo "wine-run: $1 is a 32-bit program and this machine cannot execute 32-bit code" \
    "(the win64 preset builds the tests for 64-bit Wine)" >&2
  exit 1
fi
MORVELT_WINE_CHECK_PATHS=("$1")
# shellcheck source=wine-env.sh
. "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh"

# Test listing must be parsed by ctest, which does not expect the CR of Windows line ends.
for arg in "$@"; do
  if [ "$arg" = "--gtest_list_tests" ]; then
    morvelt_wine "$@" | tr -d '\r'
    exit "${PIPESTATUS[0]}"
  fi
done
morvelt_wine "$@"
