#!/usr/bin/env bash
# Installs what is missing, builds velto_desktop and the local conference
# server, starts the server with its demo account and runs the program against
# it (the program's built-in default server is this one, localhost:8443).
#
# With a display the program runs until it is left (tray menu: Exit); the
# server stops with it. Without a display the program runs under Xvfb, a
# screenshot of its login window is saved, and both stop again:
#   VELTO_SCREENSHOT=path.png   where the screenshot goes (default build/run/login-window.png)
#   VELTO_PEER=1                also starts a scripted participant (alice) in the demo user's
#                               meeting room: it sends the synthetic camera's picture, echoes
#                               the chat and raises its hand
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/install-deps.sh"

build=$root/build/run
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DVELTO_BUILD_TESTS=OFF -DVELTO_BUILD_BENCH=OFF
cmake --build "$build" --target velto_server velto_peer velto_desktop -j"$(nproc)"

pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
}
trap cleanup EXIT

# --- the local conference server ------------------------------------------------
certs=$build/certs
server_out=$build/server.out
mkdir -p "$certs"
"$build/bin/velto_server" --port 8443 --cert-dir "$certs" >"$server_out" &
pids+=($!)
for _ in $(seq 100); do
  grep -q '^demo-account ' "$server_out" && break
  if ! kill -0 "${pids[0]}" 2>/dev/null; then
    echo "The local conference server did not start (is port 8443 taken?):" >&2
    cat "$server_out" >&2
    exit 1
  fi
  sleep 0.2
done
read -r _ user password < <(grep '^demo-account ' "$server_out")
echo "Server:       localhost:8443 (leave the login page's server field empty)"
echo "User name:    $user"
echo "Password:     $password"

# The program trusts the server's certificate through its CA file.
export VELTO_CA_BUNDLE=$certs/ca.pem

# --- a scripted participant, on request ---------------------------------------------
if [ "${VELTO_PEER:-0}" = 1 ]; then
  "$build/bin/velto_peer" --server localhost:8443 --user alice --password alice1234 \
    --room 10000001 --room-password 123456 --echo --raise-hand >"$build/peer.out" 2>&1 &
  pids+=($!)
  echo "Peer:         alice is in meeting 10000001 (sends her camera, echoes chat, raised her hand)"
fi

if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  "$build/bin/velto_desktop"
  exit
fi

# --- no display: Xvfb and a screenshot of the login window -------------------------
screenshot=${VELTO_SCREENSHOT:-$build/login-window.png}
display=99
while [ -e "/tmp/.X11-unix/X$display" ] || [ -e "/tmp/.X$display-lock" ]; do display=$((display + 1)); done
Xvfb ":$display" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
pids+=($!)
export DISPLAY=:$display
for _ in $(seq 50); do xwininfo -root >/dev/null 2>&1 && break; sleep 0.2; done

# The program's first window on screen: the login window (its title follows
# the translation, its class does not).
shown_window() {
  local id
  for id in $(xwininfo -root -tree 2>/dev/null | awk '/\("velto_desktop" "velto_desktop"\)/ {print $1}'); do
    if xwininfo -id "$id" 2>/dev/null | grep -q IsViewable; then
      echo "$id"
      return
    fi
  done
}

"$build/bin/velto_desktop" &
pids+=($!)
window=
for _ in $(seq 100); do
  window=$(shown_window)
  [ -n "$window" ] && break
  sleep 0.2
done
if [ -z "$window" ]; then
  echo "The login window did not appear." >&2
  exit 1
fi
sleep 1  # let it paint
mkdir -p "$(dirname "$screenshot")"
import -window "$window" "$screenshot"
echo "No display: velto_desktop ran under Xvfb; its login window is in $screenshot"
