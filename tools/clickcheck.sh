#!/bin/sh
# Plays the game headless with a bomb every 5 seconds (tools/bombing_play.sh),
# with every sound effect and music track replaced by a smooth low tone of the same
# length, writing what the mixer outputs through SDL's disk audio driver. A voice cut
# while it sounds (stopped, restarted, released), a stream refilled late or a jump
# in gain shows as a step between neighbouring samples far beyond what the tones
# hold; the game's own effects cannot serve, as some of them are noise made of such
# steps. Exit status 0 only when no step of the mix goes past the bound picked from
# the tones (see tools/clickcheck/main.cpp).
#
#   tools/clickcheck.sh <build folder> [seconds]     (default 60)
set -eu
build=$(cd "${1:?usage: $0 <build folder> [seconds]}" && pwd)
seconds=${2:-60}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/sound" "$work/music"
ln -s "$build/run/image" "$work/image"
"$build/tools/clickcheck/clickcheck" tones "$build/run/sound" "$build/run/music" "$work"

"$(dirname "$0")/bombing_play.sh" "$build" "$seconds" "$work"
"$build/tools/clickcheck/clickcheck" measure "$work" "$work/out.raw"
