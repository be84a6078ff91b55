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
