#!/bin/sh
# Plays the game headless in <work folder> (which holds or links image/, sound/ and
# music/) for a while with a bomb every 5 seconds, writing what the mixer outputs
# through SDL's disk audio driver to <work folder>/out.raw: signed 16-bit
# native-endian stereo at 44.1 kHz.
#
#   tools/bombing_play.sh <build folder> <seconds> <work folder>
#
# The play starts an Easy game from the title, taps shot every other frame (which
# also takes the continues and walks through the menus after a game over) and holds
# bomb for 10 frames every 300 (a one-frame press can fall between two steps).
set -eu
build=$1
seconds=$2
work=$3
frames=$((seconds * 60))
awk -v last="$frames" 'BEGIN {
  print "10 1 44"; print "20 1 44"; print "30 1 44"
  for (f = 40; f < last + 40; f += 2) print f, 1, 44
  for (f = 301; f < last + 40; f += 300) print f, 10, 45
  print last + 60, 1, 62
}' > "$work/input.txt"

(cd "$work" && SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$work/out.raw" \
  DANMAKU_INPUT_SCRIPT="$work/input.txt" "$build/run/danmaku") >/dev/null 2>&1
