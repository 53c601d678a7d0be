#!/usr/bin/env bash
# Installs what is missing, builds and runs every test.
set -euo pipefail
source "$(dirname "$0")/scripts/setup.sh"
install_missing_packages
configure_and_build
cd "$BUILD_DIR"
ctest --output-on-failure -j "$(nproc)" --no-tests=error
