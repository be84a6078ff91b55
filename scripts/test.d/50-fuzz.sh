#!/usr/bin/env bash
# Every test run fuzzes a little: each libFuzzer target for about a minute (scripts/fuzz.sh has
# the details; it skips with the reason where clang's libFuzzer is missing).
set -euo pipefail
exec "$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)/fuzz.sh" 60
