#!/usr/bin/env bash
# Installs the Debian packages the game needs, only those that are missing.
# Without arguments: what building and playing take (./run.sh).  With --test:
# also the tools of ./test.sh (GoogleTest, Google Benchmark, a virtual X
# server, the desktop-file and AppStream validators, clang for fuzzing,
# lintian, a small window manager, and the router daemon, firewall and
# namespace tools the port-mapping test builds its home network with).  Safe to run again and again.
set -euo pipefail

packages=(
  build-essential cmake pkg-config
  nlohmann-json3-dev libpng-dev
  libsdl2-dev libsdl2-mixer-dev timgm6mb-soundfont
  libgl1-mesa-dev libglu1-mesa-dev libgl1-mesa-dri libegl1 libegl-mesa0
  libenet-dev libminiupnpc-dev libnatpmp-dev libmpv-dev qt6-base-dev libqt6opengl6-dev
)
if [[ "${1:-}" == "--test" ]]; then
  packages+=(
    libgtest-dev libgmock-dev googletest libbenchmark-dev
    xvfb xauth openbox xdotool
    desktop-file-utils appstream lintian
    clang libclang-rt-14-dev ccache
    miniupnpd nftables iproute2
  )
elif [[ $# -gt 0 ]]; then
  echo "usage: scripts/install-deps.sh [--test]" >&2
  exit 2
fi

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${db:Status-Abbrev}' "$p" 2>/dev/null || true)
  [[ "$status" == ii* ]] || missing+=("$p")
done

if ((${#missing[@]} == 0)); then
  exit 0
fi

echo "Installing: ${missing[*]}"
sudo=""
if [[ $(id -u) -ne 0 ]]; then sudo="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
