#!/usr/bin/env bash
# Installs the missing Debian packages, then configures and builds into $BUILD_DIR.
# Sourced by run.sh and test.sh; every step is skipped when already done.
set -euo pipefail
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD_DIR=${BUILD_DIR:-$ROOT/build}

install_missing_packages() {
  local missing=()
  while read -r pkg; do
    [[ -z "$pkg" || "$pkg" == \#* ]] && continue
    dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed" || missing+=("$pkg")
  done < "$ROOT/scripts/packages.txt"
  [[ ${#missing[@]} -eq 0 ]] && return 0
  echo "Installing: ${missing[*]}"
  local sudo=""
  [[ $(id -u) -ne 0 ]] && sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

configure() {
  cmake -S "$ROOT" -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=Release "$@" >/dev/null
}

# Everything: the game, its tests and the benchmarks.
configure_and_build() {
  configure "$@"
  cmake --build "$BUILD_DIR" -j "$(nproc)"
}

# Only the game and its data (the generator that makes them included): a first start
# need not wait for the tests and benchmarks.
configure_and_build_game() {
  configure "$@"
  cmake --build "$BUILD_DIR" -j "$(nproc)" --target danmaku game_data
}
