#!/usr/bin/env bash
# Installs what is missing, builds and runs every test: once in the release build, then
# again built with the address and undefined-behaviour sanitizers (in build-asan/).
set -euo pipefail
source "$(dirname "$0")/scripts/setup.sh"
install_missing_packages
# The tests never need a display or a sound card.
export SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy

configure_and_build
(cd "$BUILD_DIR" && ctest --output-on-failure -j "$(nproc)" --no-tests=error)

BUILD_DIR="$ROOT/build-asan"
configure_and_build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSANITIZE=address,undefined -DBUILD_BENCH=OFF
(cd "$BUILD_DIR" && ctest --output-on-failure -j "$(nproc)" --no-tests=error)
