#!/usr/bin/env bash
# Installs what is missing, builds and runs every test: once in the release build, then
# again built with the address and undefined-behaviour sanitizers (in build-asan/), and
# the tests of threaded code (sound, movies, filters, the renderer drawn on two threads)
# a third time built with the thread sanitizer (in build-tsan/).
set -euo pipefail
source "$(dirname "$0")/scripts/setup.sh"
install_missing_packages
# The tests never need a display or a sound card.
export SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy

configure_and_build
(cd "$BUILD_DIR" && ctest --output-on-failure -j "$(nproc)" --no-tests=error)
# A minute of bombing through SDL's disk audio driver: no click from the mixer.
"$ROOT/tools/clickcheck.sh" "$BUILD_DIR" 60

BUILD_DIR="$ROOT/build-asan"
configure_and_build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSANITIZE=address,undefined -DBUILD_BENCH=OFF
(cd "$BUILD_DIR" && ctest --output-on-failure -j "$(nproc)" --no-tests=error)

BUILD_DIR="$ROOT/build-tsan"
cmake -S "$ROOT" -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSANITIZE=thread -DBUILD_BENCH=OFF >/dev/null
cmake --build "$BUILD_DIR" -j "$(nproc)" --target threaded_tests
(cd "$BUILD_DIR" && ctest --output-on-failure -j "$(nproc)" -L threads --no-tests=error)
