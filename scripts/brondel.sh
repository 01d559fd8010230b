#!/usr/bin/env bash
# Installs what is missing (Debian 12 packages), builds, then starts the program ("run") or
# runs the whole test suite ("test"). Works as root or as a user with sudo.
#
# "test" builds twice: the developers' build (every target, tests run from it) and the Release
# build a packager makes (the two programs, then the Debian package that the suite's package
# test checks). Both treat warnings as errors.
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${BRONDEL_BUILD_DIR:-$here/build}"
release="${BRONDEL_RELEASE_BUILD_DIR:-$here/build-release}"
packages=(cmake ninja-build g++ pkg-config clang-format qt6-base-dev qt6-base-dev-tools
  qt6-svg-dev librtmidi-dev libfluidsynth-dev fluid-soundfont-gm jackd2 libjack-jackd2-dev
  libgtest-dev libgmock-dev libbenchmark-dev libsndfile1-dev xvfb xdotool sox
  imagemagick
  # Building and checking the Debian package: dpkg-shlibdeps, and the desktop's validators.
  dpkg-dev desktop-file-utils appstream libxml2-utils shared-mime-info man-db
  # The core cross-built for Windows and tested under wine (64-bit only: no i386 packages).
  g++-mingw-w64-x86-64-posix wine wine64)

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

# A compiler cache speeds up rebuilds where one is installed and none was chosen.
launcher=()
if [ -z "${CMAKE_CXX_COMPILER_LAUNCHER:-}" ] && command -v ccache >/dev/null; then
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi

build_all() {
  cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DBRONDEL_WARNINGS_AS_ERRORS=ON "${launcher[@]}" >/dev/null
  cmake --build "$build"
}

# The Release build of the two programs and its Debian package, whose path goes into $deb.
build_package() {
  cmake -S "$here" -B "$release" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DBRONDEL_WARNINGS_AS_ERRORS=ON -DBRONDEL_BUILD_TESTS=OFF -DBRONDEL_BUILD_BENCH=OFF \
    "${launcher[@]}" >/dev/null
  cmake --build "$release"
  rm -rf "$release/package"
  (cd "$release" && cpack -G DEB -B "$release/package")
  deb="$(echo "$release"/package/*.deb)"
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
    build_package
    cd "$build"
    # libjack must never start a server of its own; the tests that need one start it.
    BRONDEL_DEB="$deb" JACK_NO_START_SERVER=1 QT_QPA_PLATFORM=offscreen \
      ctest --output-on-failure -j2
    ;;
  *)
    echo "usage: $0 run|test" >&2
    exit 2
    ;;
esac
