#!/usr/bin/env bash
# Installs what is missing, then configures and builds the native (its benchmark), native-asan,
# native-tsan and win32 presets and tests all but native (the win32 tests run under Wine), then runs
# scripts/test.d/*.sh (fuzzing, the reproducible exe).
# Where this machine cannot execute 32-bit programs, win32 runs only its tests that need no Wine
# and the win64 preset runs the Windows suites under 64-bit Wine instead.
# Every preset is tried even after a failure; the exit code is non-zero if any step failed.
set -uo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd -P)"
cd "$root" || exit 1
# Build outputs stay readable by the unprivileged user that runs Wine.
umask 022
start=$SECONDS
results=()
failed=0
note=""

log() { printf '\n[test] %s\n' "$*"; }
step_start=$SECONDS
record() {  # record NAME STATUS: the step's outcome and how long it took since the last record
  local took=$((SECONDS - step_start))
  step_start=$SECONDS
  if [ "$2" -eq 0 ]; then results+=("$1 ok ${took}s"); else results+=("$1 FAILED ${took}s"); failed=1; fi
}
# Every ctest run's output, for the slowest tests at the end.
ctest_logs="$(mktemp -d)"
slowest() {  # the ten slowest tests of every preset, from ctest's "Test #N: name ... sec" lines
  cat "$ctest_logs"/*.log 2>/dev/null |
    sed -n -E 's/^ *[0-9]+\/[0-9]+ Test +#[0-9]+: ([^ ]+) .* ([0-9]+\.[0-9]+) sec$/\2 \1/p' |
    sort -rn | head -n 10 | awk '{ printf "%s%s %ss", (NR > 1 ? ", " : ""), $2, $1 } END { print "" }'
}
summary() {
  local verdict=PASS line="" r
  [ "$failed" -eq 0 ] || verdict=FAIL
  for r in "${results[@]}"; do line+="${line:+, }$r"; done
  printf '\n[test] slowest tests: %s' "$(slowest)"
  printf '\n[test] %s: %s; total %ss%s\n' "$verdict" "$line" "$((SECONDS - start))" "$note"
  rm -rf "$ctest_logs"
}

log "setup"
scripts/setup.sh </dev/null
status=$?
record setup "$status"
if [ "$status" -ne 0 ]; then
  summary
  exit 1
fi

# A display for anything that opens a window: a private headless server unless one is given.
xvfb_pid=""
stop_xvfb() { [ -z "$xvfb_pid" ] || kill "$xvfb_pid" 2>/dev/null; }
trap stop_xvfb EXIT
if [ -z "${DISPLAY:-}" ]; then
  n=99
  while [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ]; do n=$((n + 1)); done
  # -ac: the Wine user connects too; the server listens on a local socket only.
  Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp -ac </dev/null >/dev/null 2>&1 &
  xvfb_pid=$!
  for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.1; done
  if [ -e "/tmp/.X11-unix/X$n" ]; then
    export DISPLAY=":$n"
    log "started Xvfb on $DISPLAY"
  else
    log "Xvfb did not start; tests that need a display will fail"
  fi
fi

export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"

presets=(native native-asan native-tsan win32)
declare -A step_name=()
# shellcheck source=wine-arch.sh
. scripts/wine-arch.sh
if ! morvelt_host_runs_32bit; then
  log "$(morvelt_no_32bit_reason): win32 is built and runs only its tests that need" \
    "no Wine; the Windows suites run in the win64 preset under 64-bit Wine"
  presets+=(win64)
  note="; $(morvelt_no_32bit_reason), so the Windows suites ran as win64"
  step_name[win32]="win32(no-Wine tests)"
  step_name[win64]="win64(Windows suites, 64-bit Wine)"
fi

for preset in "${presets[@]}"; do
  name="${step_name[$preset]:-$preset}"
  targets=()
  # Where its Wine tests cannot run, win32 builds only the shipped exe: the tests that still run
  # here look at that file, and the win64 preset builds and runs the suites.
  [ -n "${step_name[win64]:-}" ] && [ "$preset" = win32 ] && targets=(--target Morvelt)
  # native-asan and native-tsan run every native suite, sanitised; the plain build adds the
  # benchmark, which no other preset builds, and no fault of its own.
  [ "$preset" = native ] && targets=(--target bench_install)
  log "configure $preset"
  if ! cmake --preset "$preset" </dev/null; then record "$name" 1; continue; fi
  log "build $preset"
  if ! cmake --build --preset "$preset" "${targets[@]}" </dev/null; then record "$name" 1; continue; fi
  if [ "$preset" = native ]; then record "$name(bench build)" 0; continue; fi
  log "ctest $preset"
  ctest --preset "$preset" --output-on-failure </dev/null 2>&1 | tee "$ctest_logs/$preset.log"
  record "$name" "${PIPESTATUS[0]}"
done
# The reproducible build compares the exe just built in build/win32 with one built elsewhere.
export MORVELT_REPRO_FIRST_BUILD="$root/build/win32"

shopt -s nullglob
for step in scripts/test.d/*.sh; do
  [ -x "$step" ] || continue
  name="test.d/$(basename "$step")"
  log "$name"
  "$step" </dev/null
  record "$name" $?
done

summary
exit "$failed"
