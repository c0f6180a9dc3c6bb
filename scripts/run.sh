#!/usr/bin/env bash
# Installs what is missing, builds velto_desktop and the local conference
# server, starts the server with its demo account and runs the program against
# it (the program's built-in default server is this one, localhost:8443; when
# that port is taken, the server takes a free one and the script prints it).
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
# On 8443, the program's default; when that is taken (another run on this
# machine), on a free port that the server picks and that is printed.
certs=$build/certs
server_out=$build/server.out
mkdir -p "$certs"
start_server() {
  "$build/bin/velto_server" --port "$1" --cert-dir "$certs" >"$server_out" 2>&1 &
  server_pid=$!
  pids+=("$server_pid")
  for _ in $(seq 100); do
    grep -q '^demo-account ' "$server_out" && return 0
    kill -0 "$server_pid" 2>/dev/null || return 1
    sleep 0.2
  done
  return 1
}
if ! start_server 8443; then
  if grep -q 'cannot listen on' "$server_out"; then
    start_server 0 || true
  fi
fi
if ! grep -q '^demo-account ' "$server_out"; then
  echo "The local conference server did not start:" >&2
  cat "$server_out" >&2
  exit 1
fi
port=$(sed -n 's/^listening 127\.0\.0\.1:\([0-9]*\)$/\1/p' "$server_out")
read -r _ user password < <(grep '^demo-account ' "$server_out")
if [ "$port" = 8443 ]; then
  echo "Server:       localhost:8443 (leave the login page's server field empty)"
else
  echo "Server:       localhost:$port (port 8443 is taken: type localhost:$port into the login page's server field)"
fi
echo "User name:    $user"
echo "Password:     $password"

# The program trusts the server's certificate through its CA file.
export VELTO_CA_BUNDLE=$certs/ca.pem
# Without a camera on this machine the program still sends a picture: the
# synthetic camera's (a real user without one is offered an audio-only join).
export VELTO_SYNTHETIC_CAMERA=1

# --- a scripted participant, on request ---------------------------------------------
if [ "${VELTO_PEER:-0}" = 1 ]; then
  "$build/bin/velto_peer" --server "localhost:$port" --user alice --password alice1234 \
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
Xvfb ":$display" -screen 0 1280x800x24 -nolisten tcp -noreset >/dev/null 2>&1 &
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
