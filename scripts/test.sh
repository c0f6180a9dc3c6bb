#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/install-deps.sh"

build=${VELTO_BUILD_DIR:-$root/build/test}
jobs=$(nproc)
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo ${VELTO_CMAKE_ARGS:-}
cmake --build "$build" -j"$jobs"

# Widget tests pick the offscreen platform themselves; OpenGL tests need a real X server.
cd "$build"
xvfb-run -a -s "-screen 0 1920x1080x24" \
  ctest --output-on-failure -j"$jobs" --timeout 300 ${VELTO_CTEST_ARGS:-}
