#!/usr/bin/env bash
# Runs every libFuzzer target for a while on a copy of its seed corpus and prints, per target,
# the executions and the coverage reached. Any crash, sanitizer report or broken property fails
# the run; the input that caused it is kept under <build>/fuzz-artifacts/<target>/.
#
#   scripts/fuzz.sh [seconds-per-target]     (default 600)
#
# Builds the `fuzz` preset (clang, AddressSanitizer + UndefinedBehaviorSanitizer) into
# build/fuzz, or into $MORVELT_FUZZ_BUILD_DIR. To replay one input:
#   build/fuzz/fuzz/<target>_fuzzer <file>
# The grown corpora stay in <build>/fuzz-work/<target>/; fold new finds into the seeds with
#   build/fuzz/fuzz/<target>_fuzzer -merge=1 fuzz/corpus/<target> <build>/fuzz-work/<target>
# (keep the seed corpora small).
set -euo pipefail

seconds="${1:-600}"
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${MORVELT_FUZZ_BUILD_DIR:-$root/build/fuzz}"
targets=(archive_walk archive_extract notice)

skip() {
  echo "fuzz: skipped: $*"
  exit 0
}

command -v clang++ >/dev/null 2>&1 || skip "clang++ is not installed"
probe="$(mktemp -d)"
trap 'rm -rf "$probe"' EXIT
printf 'extern "C" int LLVMFuzzerTestOneInput(const unsigned char*, unsigned long) { return 0; }\n' >"$probe/p.cpp"
clang++ -fsanitize=fuzzer,address,undefined "$probe/p.cpp" -o "$probe/p" >/dev/null 2>&1 ||
  skip "clang's libFuzzer runtime is missing (Debian package libclang-rt-14-dev)"

echo "fuzz: building the fuzz preset in $build"
cmake --preset fuzz -B "$build" >"$probe/configure.log" 2>&1 || { cat "$probe/configure.log"; exit 1; }
cmake --build "$build" --target morvelt_fuzzers -j2 >"$probe/build.log" 2>&1 || { tail -n 60 "$probe/build.log"; exit 1; }

# One target per core at a time: each still fuzzes for the whole time it is given.
run_target() {  # run_target TARGET: fuzzes it; prints its lines and exits 1 on a find
  local target=$1 binary work artifacts log status=0 execs coverage units
  binary="$build/fuzz/${target}_fuzzer"
  work="$build/fuzz-work/$target"
  artifacts="$build/fuzz-artifacts/$target"
  log="$build/fuzz-work/$target.log"
  rm -rf "$work"
  mkdir -p "$work" "$artifacts"
  cp "$root/fuzz/corpus/$target/"* "$work/"

  # Absolute paths throughout: the extraction target changes its current directory.
  "$binary" -max_total_time="$seconds" -max_len=16384 -timeout=20 -rss_limit_mb=2048 \
    -print_final_stats=1 -artifact_prefix="$artifacts/" "$work" >"$log" 2>&1 || status=$?

  execs="$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)"
  coverage="$(grep -E '^#[0-9]+.*cov: ' "$log" | tail -n 1 | grep -oE 'cov: [0-9]+ ft: [0-9]+' || true)"
  units="$(find "$work" -type f | wc -l)"
  if [ "$status" -ne 0 ]; then
    echo "fuzz: $target FAILED (exit $status); the log ends:"
    tail -n 40 "$log"
    echo "fuzz: reproducer(s): $(ls "$artifacts" 2>/dev/null | sed "s|^|$artifacts/|" | tr '\n' ' ')"
    return 1
  fi
  echo "fuzz: $target: ${execs:-?} executions, ${coverage:-no coverage line}, corpus $units inputs"
}

failed=0
cores="$(nproc 2>/dev/null || echo 1)"
pids=()
outputs=()
for target in "${targets[@]}"; do
  echo "fuzz: $target for ${seconds}s"
  # A free core first: wait for the oldest running target.
  if [ "${#pids[@]}" -ge "$cores" ]; then
    wait "${pids[0]}" || failed=1
    cat "${outputs[0]}"
    pids=("${pids[@]:1}")
    outputs=("${outputs[@]:1}")
  fi
  out="$probe/$target.out"
  run_target "$target" >"$out" 2>&1 &
  pids+=($!)
  outputs+=("$out")
done
for i in "${!pids[@]}"; do
  wait "${pids[$i]}" || failed=1
  cat "${outputs[$i]}"
done
exit "$failed"
