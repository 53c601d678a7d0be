#!/usr/bin/env bash
# The CPU a player's machine spends per frame in real play: a scripted Lunatic game
# (shooting, weaving, bombing, continuing after a game over) run headless at the real
# frame rate, then the process CPU time per pass and the pass-length percentiles.
#
#   tools/play_bench.sh [game binary] [passes]
#
# The binary defaults to build/run/danmaku (its data folders are used in place); the play
# lasts `passes` frame-loop passes (default 10800, three minutes). Runs in a scratch
# folder, so no save file or replay of the caller's is touched. SDL_VIDEODRIVER is left
# as given (dummy when unset), so the same play can run on a real display.
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
game="$(realpath "${1:-$root/build/run/danmaku}")"
passes="${2:-10800}"
data="$(dirname "$game")"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
for d in image sound music; do ln -s "$data/$d" "$work/$d"; done

# Keys: Z 44 shot and confirm, X 45 bomb, Enter 28 confirm (the game-over menu's
# Continue), left Ctrl 29 skips dialogue, Down 208, left 203, right 205, F4 62 quits.
{
  echo "# title: Start; Lunatic (three down); the first character"
  echo "10 1 44"; echo "20 1 208"; echo "30 1 208"; echo "40 1 208"; echo "50 1 44"; echo "60 1 44"
  echo "70 $passes 44 29"
  for ((t = 100; t < passes + 70; t += 70)); do echo "$t 30 203"; echo "$((t + 35)) 30 205"; done
  for ((t = 300; t < passes + 70; t += 120)); do echo "$t 1 45"; done
  for ((t = 130; t < passes + 70; t += 60)); do echo "$t 1 28"; done
  echo "$((passes + 70)) 1 62"
} > "$work/script.txt"

(cd "$work" && DANMAKU_INPUT_SCRIPT="$work/script.txt" PASS_TIME_LOG="$work/passes.log" \
  SDL_VIDEODRIVER="${SDL_VIDEODRIVER:-dummy}" SDL_AUDIODRIVER="${SDL_AUDIODRIVER:-dummy}" "$game")

# The log holds one "<monotonic us> <process CPU us>" line per pass end, the loading
# screen's 120 passes first. Measured: the play, from its first pass to F4.
log="$work/passes.log"
tail -n +191 "$log" > "$work/play.log"
awk 'NR > 1 { printf "%.3f\n", ($1 - t) / 1000.0 } { t = $1 }' "$work/play.log" | sort -n > "$work/lengths"
awk 'NR == 1 { t0 = $1; c0 = $2 } { t = $1; c = $2; n++ }
  END {
    if (n < 2) { print "too few passes logged" > "/dev/stderr"; exit 1 }
    printf "passes measured          %d\n", n - 1
    printf "CPU per frame            %.3f ms\n", (c - c0) / 1000.0 / (n - 1)
    printf "wall per frame           %.3f ms\n", (t - t0) / 1000.0 / (n - 1)
  }' "$work/play.log"
awk '{ len[NR] = $1; if ($1 >= 15 && $1 <= 17) inside++ }
  END {
    split("1 10 50 90 99 99.9", ps, " ")
    for (k = 1; k <= 6; k++) {
      i = int(ps[k] / 100 * NR + 0.999999); if (i < 1) i = 1; if (i > NR) i = NR
      printf "pass length p%-5s       %.3f ms\n", ps[k], len[i]
    }
    printf "pass length max          %.3f ms\n", len[NR]
    printf "passes within 16 +- 1 ms %.2f %%\n", 100.0 * inside / NR
  }' "$work/lengths"
