#!/usr/bin/env bash
# Installs what is missing, builds ORVANE and runs it on a game folder.
#   scripts/run.sh [GAMEFOLDER] [arguments...]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
bash "$root/scripts/setup-deps.sh"

build_dir="${ORVANE_BUILD_DIR:-$root/build}"
cmake -S "$root" -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DORVANE_BUILD_TESTS=OFF -DORVANE_BUILD_BENCH=OFF >/dev/null
cmake --build "$build_dir" --target orvane

game="${1:-$PWD}"
shift || true
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  # No display: a virtual one, and boxes answered on the terminal.
  export ORVANE_UNATTENDED=1
  exec xvfb-run -a "$build_dir/orvane" "$game" "$@"
fi
exec "$build_dir/orvane" "$game" "$@"
