#!/usr/bin/env bash
# Builds the fuzz targets with Clang (libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer) and runs each for SECONDS (default 20) on its
# corpus, JOBS at a time (default: the number of cores).
#   fuzz/run.sh [SECONDS] [TARGET...]
# New inputs go to BUILD_DIR/fuzz-work/<target> (the committed corpus in
# fuzz/corpus/<target> is only read); a failing input is saved as
# BUILD_DIR/fuzz-work/<target>-crash-* and the script exits non-zero.
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$(pwd)
BUILD_DIR=${BUILD_DIR:-$ROOT/build}
FUZZ_BUILD=$BUILD_DIR/fuzz
WORK=$BUILD_DIR/fuzz-work
SECONDS_EACH=${1:-20}
shift || true
JOBS=${JOBS:-$(nproc)}

ALL=(history template profile directory text byte_order_mark ordering csv session_times)
TARGETS=("$@")
((${#TARGETS[@]})) || TARGETS=("${ALL[@]}")

CC=clang CXX=clang++ cmake -S "$ROOT" -B "$FUZZ_BUILD" -G Ninja -DTARVENIX_FUZZ=ON \
  -DTARVENIX_SANITIZE=address,undefined -DTARVENIX_TESTS=OFF >/dev/null
cmake --build "$FUZZ_BUILD" -j "$JOBS" --target "${TARGETS[@]/#/fuzz_}"

mkdir -p "$WORK"
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=0}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1}

# run_one TARGET: runs it; on failure prints the report's key lines and leaves
# WORK/TARGET.failed behind.
run_one() {
  local t=$1 dict=()
  mkdir -p "$WORK/$t"
  rm -f "$WORK/$t.failed"
  [ -f "$ROOT/fuzz/dict/$t.dict" ] && dict=(-dict="$ROOT/fuzz/dict/$t.dict")
  if "$FUZZ_BUILD/bin/fuzz_$t" "${dict[@]}" -max_total_time="$SECONDS_EACH" -timeout=10 -rss_limit_mb=2048 \
       -print_final_stats=1 -artifact_prefix="$WORK/$t-" "$WORK/$t" "$ROOT/fuzz/corpus/$t" >"$WORK/$t.log" 2>&1; then
    printf '%-16s ok      %s runs\n' "$t" "$(grep -o 'number_of_executed_units: *[0-9]*' "$WORK/$t.log" | grep -o '[0-9]*$')"
  else
    touch "$WORK/$t.failed"
    printf '%-16s FAILED  (log: %s)\n' "$t" "$WORK/$t.log"
    grep -E 'ERROR|SUMMARY|fuzz check failed|runtime error|#[0-9]+ 0x.* in tarvenix|Test unit written' "$WORK/$t.log" | head -20
  fi
}

for t in "${TARGETS[@]}"; do
  while (($(jobs -rp | wc -l) >= JOBS)); do wait -n || true; done
  run_one "$t" &
done
wait
failed=()
for t in "${TARGETS[@]}"; do [ -e "$WORK/$t.failed" ] && failed+=("$t"); done
if ((${#failed[@]})); then echo "fuzzing found a failure in: ${failed[*]}" >&2; exit 1; fi
echo "fuzzing: ${#TARGETS[@]} targets, ${SECONDS_EACH} s each, no failure"
