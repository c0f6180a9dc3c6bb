#!/usr/bin/env bash
# Runs a command on an X server of its own (Xvfb, 1920x1080, no compositor)
# managed by openbox, as many Linux desktops are: window stacking, raising on
# click and frames then behave as users meet them, and no other test's windows
# share the screen.
#   run_with_openbox.sh COMMAND [ARGS...]
set -euo pipefail

dir=$(mktemp -d)
xvfb_pid=
wm_pid=
cleanup() {
  [ -n "$wm_pid" ] && kill "$wm_pid" 2>/dev/null && wait "$wm_pid" 2>/dev/null
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
  rm -rf "$dir"
}
trap cleanup EXIT

# Xvfb names the display it found free on the descriptor once it is ready.
Xvfb -displayfd 5 -screen 0 1920x1080x24 -nolisten tcp 5>"$dir/display" 2>"$dir/xvfb.log" &
xvfb_pid=$!
for _ in $(seq 100); do
  [ -s "$dir/display" ] && break
  sleep 0.1
done
[ -s "$dir/display" ] || { echo "run_with_openbox: Xvfb did not start" >&2; cat "$dir/xvfb.log" >&2; exit 1; }
export DISPLAY=":$(head -n1 "$dir/display")"

# openbox keeps its session files under HOME: a private one.
HOME="$dir" openbox --sm-disable >"$dir/openbox.log" 2>&1 &
wm_pid=$!
for _ in $(seq 100); do
  xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
  sleep 0.1
done
xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' ||
  { echo "run_with_openbox: openbox did not start" >&2; cat "$dir/openbox.log" >&2; exit 1; }

"$@"
