#!/usr/bin/env bash
# Installs what is missing (Debian 12 packages), builds, then starts the program ("run") or
# runs the whole test suite ("test"). Works as root or as a user with sudo.
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${BRONDEL_BUILD_DIR:-$here/build}"
packages=(cmake ninja-build g++ pkg-config clang-format qt6-base-dev qt6-base-dev-tools
  qt6-svg-dev librtmidi-dev libfluidsynth-dev fluid-soundfont-gm jackd2 libjack-jackd2-dev
  libgtest-dev libgmock-dev libbenchmark-dev libsmf-dev libsndfile1-dev xvfb xdotool sox
  imagemagick)

as_root() { if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi; }

install_missing() {
  local missing=()
  for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}"
  # jackd2 asks about realtime limits unless told beforehand.
  echo "jackd2 jackd/tweak_rt_limits boolean false" | as_root debconf-set-selections
  as_root apt-get update -qq
  as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
    "${missing[@]}"
}

build_all() {
  cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build "$build"
}

case "${1:-}" in
  run)
    install_missing
    build_all
    exec "$build/app/brondel"
    ;;
  test)
    install_missing
    build_all
    cd "$build"
    # libjack must never start a server of its own; the tests that need one start it.
    JACK_NO_START_SERVER=1 QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j2
    ;;
  *)
    echo "usage: $0 run|test" >&2
    exit 2
    ;;
esac
