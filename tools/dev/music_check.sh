#!/bin/sh
# Renders the twelve intro tunes (120 s) and the four reader modules (240 s)
# with magtool, the real tunes and modules in ../shared/testdata the same way,
# and measures both with music_measure.py: tunes against the real C64 tunes,
# modules against the real modules. Fails unless at least 10 of the 12 tunes
# lie inside the real tunes' range on bass share, centroid, self-similarity
# and chroma change, and every module inside the real modules' range on
# self-similarity and chroma change with side/mid of at least -30 dB.
#   sh tools/dev/music_check.sh [BUILD_DIR] [OUT_DIR]
set -eu
root="$(cd "$(dirname "$0")/../.." && pwd)"
build="${1:-$root/build/release}"
out="${2:-$build/music_check}"
testdata="$root/../shared/testdata"
magtool="$build/magtool"
mkdir -p "$out"
for f in "$testdata"/sid/*.sid; do
  "$magtool" sid "$f" --seconds 120 --wav "$out/real_$(basename "$f" .sid).wav" >/dev/null
done
for f in "$testdata"/xm/*.xm; do
  "$magtool" xm "$f" --seconds 240 --wav "$out/real_$(basename "$f" .xm).xm.wav" >/dev/null
done
for i in 1 2 3 4 5 6 7 8 9 10 11 12; do
  "$magtool" sid "$i" --seconds 120 --wav "$out/tune$(printf %02d "$i").wav" >/dev/null
done
for i in 1 2 3 4; do
  "$magtool" xm "$i" --seconds 240 --wav "$out/module$i.wav" >/dev/null
done
measure="/usr/bin/python3 $root/tools/dev/music_measure.py"
status=0
echo "== tunes against real C64 tunes"
$measure --real $(ls "$out"/real_*.wav | grep -v '\.xm\.wav') --ours "$out"/tune*.wav \
  --keys bass,centroid,selfsim,chroma --require 10 || status=1
echo
echo "== modules against real modules"
$measure --real "$out"/real_*.xm.wav --ours "$out"/module*.wav \
  --keys selfsim,chroma --min-side -30 --require 4 || status=1
exit $status
