#!/usr/bin/env bash
# Keeps the include direction of the engine's source folders:
#
#   platform/  the stand-in layer for the system: includes only platform/
#   core/      basics every subsystem uses: includes core/ and platform/
#   datasrc/ script/ image/ layer/ render/ sound/ savedata/ movie/ oscmd/
#              the subsystems: include core/, platform/ and one another
#   shell/     process entry, start-up, frame loop, windows: includes anything;
#              nothing below includes it
#
# Prints every include that runs the wrong way and fails when there is one.
set -uo pipefail
src="${1:-$(dirname "$0")/../src}"
subsystems="datasrc script image layer render sound savedata movie oscmd"
# One pass over every include: "folder included" pairs, then the rule.
violations="$(cd "$src" && grep -rHoE '^\s*#\s*include "[^/"]+/' . |
  awk -v subsystems="$subsystems" '
    BEGIN { n = split(subsystems, list, " "); for (i = 1; i <= n; i++) sub_[list[i]] = 1 }
    {
      file = $0; sub(/:.*/, "", file); sub(/^\.\//, "", file)
      folder = file; sub(/\/.*/, "", folder)
      included = $0; sub(/.*include "/, "", included); sub(/\/$/, "", included)
      ok = 0
      if (file !~ /\//) ok = 1  # src/main.cpp: the program itself
      else if (included == folder || included == "platform") ok = 1
      else if (folder == "platform") ok = 0
      else if (included == "core") ok = 1
      else if (folder == "shell") ok = 1
      else if (folder != "core" && (included in sub_)) ok = 1
      if (!ok) printf "%s: includes %s/\n", file, included
    }')"
if [ -n "$violations" ]; then
  echo "$violations"
  echo "include direction: FAILED"
  exit 1
fi
echo "include direction: ok"
