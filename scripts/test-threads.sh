#!/usr/bin/env bash
# Builds the tests with ThreadSanitizer and runs the ones whose code runs on
# more than one thread: the pixel workers, the preload cache, threaded
# stepping, start-up and shutdown, the window close paths, the sound thread,
# the GPU device (its context moves to the thread that calls it).
#   ORVANE_BUILD_DIR=...   where to build (default build-tests-thread)
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup-deps.sh

build_dir="${ORVANE_BUILD_DIR:-build-tests-thread}"
cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DORVANE_SANITIZE=thread -DORVANE_WERROR="${ORVANE_WERROR:-OFF}" \
  -DORVANE_BUILD_TESTS=ON -DORVANE_BUILD_BENCH=OFF >/dev/null
cmake --build "$build_dir" --target orvane_tests orvane orvane_fake_compiler
export TSAN_OPTIONS="${TSAN_OPTIONS:-halt_on_error=1:second_deadlock_stack=1:suppressions=$PWD/scripts/tsan.supp}"
threaded='GpuDevice|PixelWorker|SaveWorkers|EffectVectors|EffectBlur|PreloadCache|ThreadedStepping|Shutdown|Startup|WindowClose|BlankCanvas|ImageLoad|Decoder|Sound|Demo'
ctest --test-dir "$build_dir" --output-on-failure -j"$(nproc)" --timeout 300 -R "$threaded"
