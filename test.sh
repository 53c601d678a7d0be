#!/usr/bin/env bash
# Installs what is missing, builds and runs every test.
set -euo pipefail
source "$(dirname "$0")/scripts/setup.sh"
install_missing_packages
configure_and_build
cd "$BUILD_DIR"
# The tests never need a display or a sound card.
export SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy
ctest --output-on-failure -j "$(nproc)" --no-tests=error
