#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/install-deps.sh"

build=${VELTO_BUILD_DIR:-$root/build/test}
# VELTO_JOBS: build and test jobs at once (all cores by default).
jobs=${VELTO_JOBS:-$(nproc)}
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo ${VELTO_CMAKE_ARGS:-}
cmake --build "$build" -j"$jobs"

# Audio tests need a sound server but never a sound card: a private PulseAudio
# with one null sink ("vsink", whose monitor "vsink.monitor" is the input),
# started here and stopped on every exit.
pulse_dir=$(mktemp -d)
chmod 700 "$pulse_dir"
HOME="$pulse_dir" XDG_RUNTIME_DIR="$pulse_dir" pulseaudio -n --daemonize=no --exit-idle-time=-1 \
  --use-pid-file=false --disallow-exit --log-target=file:"$pulse_dir/pulse.log" \
  --load="module-null-sink sink_name=vsink" \
  --load="module-native-protocol-unix socket=$pulse_dir/native auth-anonymous=1" &
pulse_pid=$!
stop_pulse() {
  kill "$pulse_pid" 2>/dev/null || true
  wait "$pulse_pid" 2>/dev/null || true
  rm -rf "$pulse_dir"
}
trap stop_pulse EXIT
export PULSE_SERVER="unix:$pulse_dir/native"
# An empty ALSA configuration: the tests see only the null sink, and listing
# devices skips ALSA's plugin loading (minutes per window under the sanitizers).
: > "$pulse_dir/asound.conf"
export ALSA_CONFIG_PATH="$pulse_dir/asound.conf"
for _ in $(seq 1 50); do
  pactl info >/dev/null 2>&1 && break
  sleep 0.1
done
pactl info >/dev/null 2>&1 || { echo "test: PulseAudio did not start" >&2; cat "$pulse_dir/pulse.log" >&2; exit 1; }

# Every test, benchmark and program under test lists the synthetic camera:
# the machine has no camera, and without it the media engine offers none.
export VELTO_SYNTHETIC_CAMERA=1

# Widget tests pick the offscreen platform themselves; OpenGL tests need a real X server.
# -noreset: by default the server resets whenever its last client leaves and
# refuses whoever connects during the reset, which failed tests at random.
cd "$build"
xvfb-run -a -s "-screen 0 1920x1080x24 -noreset" \
  ctest --output-on-failure -j"$jobs" --timeout 300 ${VELTO_CTEST_ARGS:-}
