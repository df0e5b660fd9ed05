#!/usr/bin/env bash
# Installs what is missing, builds ORVANE and runs it on a game folder, or on
# the demo game when no folder is given.
#   scripts/run.sh [GAMEFOLDER [arguments...]]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
bash "$root/scripts/setup-deps.sh"

build_dir="${ORVANE_BUILD_DIR:-$root/build}"
cmake -S "$root" -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DORVANE_BUILD_TESTS=OFF -DORVANE_BUILD_BENCH=OFF -DORVANE_BUILD_DEMO=ON >/dev/null
cmake --build "$build_dir" --target orvane orvane_make_demo

if [ $# -gt 0 ]; then
  game="$1"
  shift
else
  game="$build_dir/demo"
  mkdir -p "$game"
  "$build_dir/orvane_make_demo" "$game"
  echo "Running the demo game in $game"
fi
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  # No display: a virtual one, and boxes answered on the terminal.
  export ORVANE_UNATTENDED=1
  exec xvfb-run -a "$build_dir/orvane" "$game" "$@"
fi
exec "$build_dir/orvane" "$game" "$@"
