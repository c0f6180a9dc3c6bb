#!/usr/bin/env bash
# Installs every Debian package needed to build, run and test velto_desktop.
set -euo pipefail

packages=(
  build-essential cmake ninja-build ccache pkg-config clang lld
  qtbase5-dev qtbase5-dev-tools qtmultimedia5-dev libqt5multimedia5-plugins
  libqt5sql5-sqlite libqt5opengl5-dev qttools5-dev qttools5-dev-tools libqt5svg5-dev
  libgl-dev libgl1-mesa-dri libglu1-mesa-dev mesa-utils
  libcurl4-openssl-dev libjsoncpp-dev libgoogle-glog-dev libgflags-dev
  libgtest-dev libgmock-dev libbenchmark-dev libcpp-httplib-dev libssl-dev openssl libboost-dev
  fonts-font-awesome xvfb xauth x11-utils libxcb1-dev libxcb-xtest0-dev openbox xdotool
  sox imagemagick fonts-wqy-microhei
  pulseaudio pulseaudio-utils
  libyuv-dev libpng-dev libpulse-dev libxcb-shm0-dev libxcb-randr0-dev
  libsrtp2-dev
  # Qt Multimedia plays media (the ring tone) through GStreamer on Linux.
  gstreamer1.0-plugins-base gstreamer1.0-plugins-good gstreamer1.0-pulseaudio
  # the saved password in the desktop's secret service; the tests start a private gnome-keyring
  qtkeychain-qt5-dev libsecret-1-0 gnome-keyring dbus-daemon libglib2.0-dev
  python3-pyftpdlib
  libvpx-dev libopus-dev libwebrtc-audio-processing-dev
  # ICE (the engine's agent, the unit's STUN checks); the namespace tests' NAT, firewall and TURN server
  # (coturn, started by hand, never as a service)
  libnice-dev iproute2 iptables coturn
)

sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if [ "${#missing[@]}" -eq 0 ]; then
  echo "install-deps: all packages present"
  exit 0
fi

echo "install-deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
