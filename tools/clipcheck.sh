#!/bin/sh
# Plays the game headless for a while with a bomb every 5 seconds, writing what the
# mixer outputs through SDL's disk audio driver, and counts the samples at full scale
# (32767, -32767 or -32768). Exit status 0 only when there are none.
#
#   tools/clipcheck.sh <build folder> [seconds]     (default 300)
set -eu
build=$(cd "${1:?usage: $0 <build folder> [seconds]}" && pwd)
seconds=${2:-300}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for d in image sound music; do ln -s "$build/run/$d" "$work/$d"; done
"$(dirname "$0")/bombing_play.sh" "$build" "$seconds" "$work"

# Signed 16-bit native-endian stereo, as the mixer's output asks for.
od -An -v -td2 -w2 "$work/out.raw" | awk '
  { v = $1 + 0; a = v < 0 ? -v : v; if (a > peak) peak = a; if (a >= 32767) full++; if (a > 24576) bent++; n++ }
  END {
    full += 0; bent += 0
    db = peak > 0 ? 20 * log(peak / 32768) / log(10) : -999
    printf "%d samples (%.1f s), peak %d (%.2f dBFS), %d past the limiter knee (24576), %d at full scale\n",
           n, n / 88200, peak, db, bent, full
    exit full > 0 || n == 0
  }'
