#!/usr/bin/env bash
# Builds the fuzz targets with Clang, libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer into their own folder, checks that the Clang
# build stores string literals as CP932, then runs every fuzz target for a
# number of seconds from its seeds and prints each target's runs per second.
#   scripts/fuzz-smoke.sh [SECONDS] [TARGET...]   20 seconds each, all targets
#   ORVANE_FUZZ_BUILD_DIR=...   build folder (default build-fuzz)
#   ORVANE_FUZZ_WORK_DIR=...    seeds, corpora, logs and crash inputs (default:
#                               a new temporary folder, removed when all pass)
#   ORVANE_FUZZ_JOBS=N          targets run side by side (default 1)
#   ORVANE_FUZZ_MIN_RATE=N      fail when a target (the image decoders aside)
#                               runs fewer inputs a second (default: no check)
#   ORVANE_BUILD_JOBS=N         compile jobs (default: all processors)
# Any crash, leak, sanitizer report or timeout of a target fails the run; the
# input that caused it is kept in the work folder.
set -euo pipefail
cd "$(dirname "$0")/.."
root="$(pwd)"
bash scripts/setup-deps.sh fuzz

seconds="${1:-20}"
shift || true
build_dir="${ORVANE_FUZZ_BUILD_DIR:-build-fuzz}"
case "$build_dir" in /*) ;; *) build_dir="$root/$build_dir" ;; esac
jobs="${ORVANE_FUZZ_JOBS:-1}"
min_rate="${ORVANE_FUZZ_MIN_RATE:-0}"

CC=clang CXX=clang++ cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DORVANE_SANITIZE=address,undefined -DORVANE_BUILD_TESTS=ON -DORVANE_BUILD_BENCH=OFF \
  -DORVANE_BUILD_FUZZ=ON -DORVANE_WERROR=ON >/dev/null
cmake --build "$build_dir" -j"${ORVANE_BUILD_JOBS:-$(nproc)}"

# A small quarantine and short allocation stacks: the loaders allocate on every
# input, and the default 256 MB quarantine turns that into page faults.
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1:quarantine_size_mb=16:malloc_context_size=10}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
# Blocks libraries keep for the life of the process (scripts/lsan.supp).
export LSAN_OPTIONS="${LSAN_OPTIONS:-suppressions=$root/scripts/lsan.supp}"
export SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy

# The literals of the Clang build are CP932 bytes, as in the GCC build.
"$build_dir/orvane_tests" --gtest_filter='*ExecutionCharset*:*Cp932*' --gtest_brief=1

if [ "$#" -gt 0 ]; then
  targets=("$@")
else
  targets=()
  for binary in "$build_dir"/*_fuzz; do targets+=("$(basename "$binary" _fuzz)"); done
fi

work="${ORVANE_FUZZ_WORK_DIR:-}"
keep_work=1
if [ -z "$work" ]; then
  work="$(mktemp -d "${TMPDIR:-/tmp}/orvane-fuzz-smoke-XXXXXX")"
  keep_work=0
fi
mkdir -p "$work"
work="$(cd "$work" && pwd)"

# Seeds: each target writes its own when ORVANE_FUZZ_SEEDS names a folder
# (on its first input); the image targets start from the image seed writer's
# files.
"$build_dir/image_seed_writer" "$work/image-seeds" >/dev/null
run_target() {
  local target="$1"
  local binary="$build_dir/${target}_fuzz"
  local seeds="$work/seeds/$target" corpus="$work/corpus/$target" artifacts="$work/artifacts/$target"
  mkdir -p "$seeds" "$corpus" "$artifacts"
  ORVANE_FUZZ_SEEDS="$seeds" ORVANE_FUZZ_IMAGE_SEEDS="$work/image-seeds" "$binary" -runs=1 \
    >"$work/logs-$target.seeding" 2>&1 || true
  if [ "$target" = image_decoder ]; then cp "$work/image-seeds"/* "$seeds"/; fi
  # Absolute folders: the targets change their current folder.
  local status=0
  local TIMEFORMAT='%R %U %S'
  { time "$binary" -max_total_time="$seconds" -print_final_stats=1 -timeout=10 -rss_limit_mb=2048 \
      -artifact_prefix="$artifacts/" "$corpus" "$seeds" >"$work/logs-$target" 2>&1 || status=$?; } \
    2>"$work/times-$target"
  local runs rate cpu_rate
  runs="$(sed -n 's/^stat::number_of_executed_units: *//p' "$work/logs-$target" | tail -1)"
  rate="$(sed -n 's/^stat::average_exec_per_sec: *//p' "$work/logs-$target" | tail -1)"
  # Runs per second of processor time: the figure that does not depend on
  # what else the machine is doing.
  cpu_rate="$(awk -v runs="${runs:-0}" '{ cpu = $2 + $3; if (cpu > 0) printf "%d", runs / cpu; else print "?" }' \
    "$work/times-$target")"
  if [ "$status" -ne 0 ]; then
    echo "FAIL $target (exit $status): log $work/logs-$target, inputs in $artifacts" >&2
    grep -E "ERROR|SUMMARY|==[0-9]+==|runtime error" "$work/logs-$target" | head -20 >&2 || true
    printf '%-16s %10s runs %8s runs/s %8s runs/cpu-s  FAILED\n' "$target" "${runs:-?}" "${rate:-?}" \
      "${cpu_rate:-?}" >"$work/result-$target"
    return 1
  fi
  local note=""
  if [ "$min_rate" -gt 0 ] && [ "${target#image_}" = "$target" ] && [ "${rate:-0}" -lt "$min_rate" ]; then
    note="  BELOW $min_rate"
  fi
  printf '%-16s %10s runs %8s runs/s %8s runs/cpu-s%s\n' "$target" "${runs:-?}" "${rate:-?}" "${cpu_rate:-?}" \
    "$note" >"$work/result-$target"
  [ -z "$note" ]
}

failed=0
running=0
for target in "${targets[@]}"; do
  if [ ! -x "$build_dir/${target}_fuzz" ]; then
    echo "no fuzz target $target" >&2
    failed=1
    continue
  fi
  run_target "$target" &
  running=$((running + 1))
  if [ "$running" -ge "$jobs" ]; then
    wait -n || failed=1
    running=$((running - 1))
  fi
done
while [ "$running" -gt 0 ]; do
  wait -n || failed=1
  running=$((running - 1))
done

echo "fuzz smoke: ${seconds} s each"
for target in "${targets[@]}"; do cat "$work/result-$target" 2>/dev/null || true; done
if [ "$failed" -ne 0 ]; then
  echo "fuzz smoke: FAILED (work folder $work)" >&2
  exit 1
fi
if [ "$keep_work" -eq 0 ]; then rm -rf "$work"; fi
