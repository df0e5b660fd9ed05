#!/usr/bin/env bash
# Installs the Debian packages ORVANE needs to build, test and run.
# Does nothing when every package is already present.
#   scripts/setup-deps.sh        the build, the tests and the benchmarks
#   scripts/setup-deps.sh fuzz   also Clang with libFuzzer (scripts/fuzz-smoke.sh)
set -euo pipefail

PACKAGES=(
  build-essential cmake ninja-build pkg-config
  libsdl2-dev zlib1g-dev libpng-dev libjpeg62-turbo-dev libwebp-dev libsnappy-dev
  libvorbis-dev libogg-dev libtheora-dev libsndfile1-dev
  libfreetype-dev libfontconfig-dev libglib2.0-dev
  libgstreamer1.0-dev libgstreamer-plugins-base1.0-dev
  gstreamer1.0-plugins-base gstreamer1.0-plugins-good gstreamer1.0-libav
  libayatana-appindicator3-1
  libgtest-dev libgmock-dev libbenchmark-dev libpixman-1-dev lua5.4 liblua5.4-dev
  fonts-ipafont-gothic fonts-ipafont-mincho fonts-dejavu-core
  libgtk-3-dev
  libgl-dev libegl-dev libgl1-mesa-dri libegl-mesa0
  xvfb xauth
  # For the tests only: sound files written by a program other than ours.
  sox
)
for group in "$@"; do
  case "$group" in
    fuzz) PACKAGES+=(clang libclang-rt-14-dev) ;;
    *) echo "setup-deps: unknown group $group" >&2; exit 2 ;;
  esac
done

missing=()
for package in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$package")
  fi
done

if [ "${#missing[@]}" -eq 0 ]; then
  exit 0
fi

echo "setup-deps: installing ${missing[*]}"
run_as_root=()
if [ "$(id -u)" -ne 0 ]; then
  run_as_root=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${run_as_root[@]}" apt-get update -qq
"${run_as_root[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
