#!/usr/bin/env bash
# Installs what is missing, builds and runs velto_desktop on this machine.
# The program itself comes later: for now this starts the local conference
# server that it will log in to (its built-in default server, localhost:8443).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/install-deps.sh"

build=$root/build/run
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DVELTO_BUILD_TESTS=OFF -DVELTO_BUILD_BENCH=OFF
cmake --build "$build" --target velto_server -j"$(nproc)"

certs=$build/certs
mkdir -p "$certs"
echo "velto_desktop is not built yet; starting the local conference server it will use."
"$build/bin/velto_server" --port 8443 --cert-dir "$certs" --verbose | while IFS= read -r line; do
  case $line in
    listening\ *) echo "Server:       localhost:${line##*:}" ;;
    ca-file\ *)   echo "CA file:      ${line#ca-file } (clients trust it through VELTO_CA_BUNDLE)" ;;
    demo-account\ *)
      read -r _ user password <<<"$line"
      echo "User name:    $user"
      echo "Password:     $password"
      echo "Running until Ctrl-C." ;;
    *) echo "$line" ;;
  esac
done
