#!/usr/bin/env bash
# Checks that programs and the libraries they load carry none of the engine's
# test hooks: no hook is defined in them and none of them needs the hook
# library, so nothing in a shipped process can force results, drop packets or
# fake devices.
#   no_test_hooks.sh HOOK_LIBRARY SHIPPED_FILE...
# The hook library itself must show them, so that the check is seen to find
# what it looks for.
set -euo pipefail

hooks=$1
shift
# grep reads on to the end: one that stopped at the first hit (-q) would
# break the pipe, and pipefail would take that for no hit.
defines_hooks() { nm -D --defined-only "$1" | grep velto_webrtc_test >/dev/null; }
needs_hooks() { readelf -d "$1" | grep NEEDED | grep "$(basename "$hooks")" >/dev/null; }

defines_hooks "$hooks" || { echo "no_test_hooks: $hooks defines no hooks: the check finds nothing" >&2; exit 1; }
failed=0
for file in "$@"; do
  if defines_hooks "$file"; then
    echo "no_test_hooks: $file defines test hooks:" >&2
    nm -D --defined-only "$file" | grep velto_webrtc_test | head -5 >&2
    failed=1
  fi
  if needs_hooks "$file"; then
    echo "no_test_hooks: $file needs $(basename "$hooks")" >&2
    failed=1
  fi
done
exit $failed
