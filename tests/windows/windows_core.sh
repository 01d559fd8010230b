#!/usr/bin/env bash
# The core on Windows: cross-builds the parts that need no toolkit or MIDI device library (the
# rhythm files, the render, MIDI files in and out, the pattern model, file access with its
# Windows branch) and their unit tests with Debian's mingw-w64 compiler, then runs the tests
# under wine. Skipped (exit 77) where the cross compiler or wine is missing.
#
# usage: windows_core.sh SOURCE_DIR BUILD_DIR [WARNINGS_AS_ERRORS]
# The cross build goes to BUILD_DIR/windows-core, with its own wine prefix inside it.
set -euo pipefail

source_dir="$1"
build="$2/windows-core"
warnings_as_errors="${3:-ON}"

for tool in x86_64-w64-mingw32-g++-posix wine wineserver; do
  if ! command -v "$tool" >/dev/null; then
    echo "skipped: $tool is not installed (packages g++-mingw-w64-x86-64-posix, wine, wine64)"
    exit 77
  fi
done

launcher=()
if command -v ccache >/dev/null; then
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi

started=$SECONDS
# Optimised as the developers' build is (-O2), without its debugging information: statically
# linked test executables with it take long to link.
cmake -S "$source_dir" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" -DCMAKE_C_FLAGS_RELEASE="-O2 -DNDEBUG" \
  -DCMAKE_TOOLCHAIN_FILE="$source_dir/cmake/mingw-w64.cmake" -DBRONDEL_CORE_ONLY=ON \
  -DBRONDEL_WARNINGS_AS_ERRORS="$warnings_as_errors" "${launcher[@]}" >/dev/null
# Two jobs: the machine's other tests run beside this one.
cmake --build "$build" -j 2
echo "cross build: $((SECONDS - started)) s"

# A private wine prefix, made once and kept with the build. The wine server runs for the whole
# run (-p): else every test would start and stop one, and its background processes would keep
# ctest waiting after the last test. It is stopped however the tests end.
export WINEPREFIX="$build/wine-prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
mkdir -p "$WINEPREFIX"
trap 'wineserver -k 2>/dev/null || true' EXIT
started=$SECONDS
wineserver -p
wine wineboot --init >/dev/null 2>&1
echo "wine prefix: $((SECONDS - started)) s"

started=$SECONDS
ctest --test-dir "$build" --output-on-failure
echo "tests under wine: $((SECONDS - started)) s"
