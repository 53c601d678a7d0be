#!/usr/bin/env bash
# Installs what is missing, builds, generates the game data and starts the game.
set -euo pipefail
source "$(dirname "$0")/scripts/setup.sh"
install_missing_packages
configure_and_build
cd "$BUILD_DIR/run"
exec ./danmaku "$@"
