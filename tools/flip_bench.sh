#!/usr/bin/env bash
# The flip against memcpy of the screen's bytes, on the dummy video driver and in a real X
# window on a virtual frame buffer, the two taken in turn, the benchmark pinned to one core
# and the display server to another.
#
#   tools/flip_bench.sh [bench binary] [rounds] [core] [server core]
#
# Each run prints the medians of 3000 flips and of the copy timed after each one; the
# last lines give the median over the rounds of each driver. x_memcpy counts the CPU
# time of the game's thread: the display server's own copy runs in its own process and
# shows only in wait_us and x_memcpy_wall. Left to the scheduler, the server often lands
# on the benchmark's core, where the pixels it reads stay in the cache the flip writes
# them from; on its own core it costs the flip the cache traffic a desktop would.
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
bench="$(realpath "${1:-$root/build/bench/graphics/graphics_flip_bench}")"
rounds="${2:-3}"
core="${3:-2}"
server_core="${4:-$(((core + 1) % $(nproc)))}"
command -v xvfb-run >/dev/null || { echo "xvfb-run is missing (scripts/packages.txt lists xvfb)" >&2; exit 1; }

results="$(mktemp)"
trap 'rm -f "$results"' EXIT
for ((round = 1; round <= rounds; ++round)); do
  SDL_VIDEODRIVER=dummy taskset -c "$core" "$bench" --benchmark_filter=BM_Flip 2>/dev/null |
    grep '^BM_Flip' | sed 's/^/dummy /' | tee -a "$results"
  taskset -c "$server_core" xvfb-run -a -s "-screen 0 1280x1024x24 -nolisten tcp" env -u SDL_VIDEODRIVER \
    taskset -c "$core" "$bench" --benchmark_filter=BM_Flip 2>/dev/null |
    grep '^BM_Flip' | sed 's/^/xvfb  /' | tee -a "$results"
done
for driver in dummy xvfb; do
  grep "^$driver" "$results" | grep -o 'x_memcpy=[0-9.]*' | cut -d= -f2 | sort -g |
    awk -v d="$driver" '{v[NR] = $1} END {printf "%-5s median x_memcpy %.2f over %d runs (%.2f-%.2f)\n", d, v[int((NR + 1) / 2)], NR, v[1], v[NR]}'
done
