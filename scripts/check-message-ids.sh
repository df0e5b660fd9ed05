#!/usr/bin/env bash
# Every message id of src/core/message_ids.h is also listed in kAllMessageIds,
# the list the tests and the compile-time checks walk; and the engine's own
# code reports by name, never by a bare number (the numbered forms serve ids
# that come from game data).
set -uo pipefail
src="${1:-$(dirname "$0")/../src}"
header="$src/core/message_ids.h"
defined="$(grep -oE '^inline constexpr MessageId kMsg[A-Za-z0-9]+\{' "$header" | sed -E 's/.* (kMsg[A-Za-z0-9]+)\{/\1/')"
listed="$(sed -n '/kAllMessageIds\[\] = {/,/};/p' "$header" | grep -oE 'kMsg[A-Za-z0-9]+')"
status=0
if [ -z "$defined" ]; then
  echo "no message ids found in $header"
  status=1
fi
if [ "$defined" != "$listed" ]; then
  echo "kAllMessageIds differs from the ids defined above it (same names, same order):"
  diff <(echo "$defined") <(echo "$listed")
  status=1
fi
bare="$(grep -rnE '(ReportError|ReportErrorAtScript|ReportErrorFmt|ReportErrorAtScriptFmt|BuildErrorText|BuildErrorTextAtScript)\([0-9]' "$src" | grep -v '^.*core/errors.h:')"
if [ -n "$bare" ]; then
  echo "reports by a bare number (name the id in core/message_ids.h):"
  echo "$bare"
  status=1
fi
exit $status
