#!/usr/bin/env bash
# Installs what is missing, builds the game, generates its data and starts it.
set -euo pipefail
source "$(dirname "$0")/scripts/setup.sh"
install_missing_packages
configure_and_build_game
cd "$BUILD_DIR/run"
exec ./danmaku "$@"
