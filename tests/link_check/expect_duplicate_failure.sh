#!/usr/bin/env bash
# Builds a program that defines an engine routine a second time and passes
# only when the link fails for that reason.
set -uo pipefail
build_dir="$1"
output="$(cmake --build "$build_dir" --target orvane_duplicate_definition 2>&1)"
status=$?
if [ "$status" -eq 0 ]; then
  echo "the duplicate definition linked: a stand-in could win silently"
  exit 1
fi
if ! grep -q "multiple definition of .*ResetFrameClock" <<<"$output"; then
  echo "the build failed for another reason:"
  echo "$output" | tail -20
  exit 1
fi
echo "duplicate definition refused by the linker"
