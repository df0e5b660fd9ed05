#!/usr/bin/env bash
# Installs what is missing, builds ORVANE with its tests and runs them.
#   ORVANE_SANITIZE=address,undefined  build with sanitizers (CI does)
#   ORVANE_WERROR=ON                   warnings are errors (CI does)
#   ORVANE_BUILD_DIR=...               where to build
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup-deps.sh

sanitize="${ORVANE_SANITIZE:-}"
build_dir="${ORVANE_BUILD_DIR:-build-tests${sanitize:+-${sanitize//,/-}}}"
cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DORVANE_SANITIZE="$sanitize" -DORVANE_WERROR="${ORVANE_WERROR:-OFF}" -DORVANE_BUILD_TESTS=ON -DORVANE_BUILD_BENCH=ON >/dev/null
cmake --build "$build_dir"
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}"
export LSAN_OPTIONS="${LSAN_OPTIONS:-suppressions=$PWD/scripts/lsan.supp}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
ctest --test-dir "$build_dir" --output-on-failure -j"$(nproc)" --timeout 300
