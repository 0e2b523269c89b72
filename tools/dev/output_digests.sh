#!/bin/sh
# Prints the sha256 of everything the program renders: the twelve SID tunes,
# the four modules and every real piece in the test data as WAVs, and reader
# and intro pictures over all articles, both skins, both pages and a range of
# clocks. Run it on two builds and diff the outputs to show a change is
# output-neutral.
#
#   output_digests.sh [BUILD_DIR] [TESTDATA_DIR]    (defaults: build/release, /work/shared/testdata)
set -eu
build=${1:-build/release}
testdata=${2:-/work/shared/testdata}
magtool="$build/magtool"
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

digest() { sha256sum "$1" | cut -d' ' -f1; }

for i in 1 2 3 4 5 6 7 8 9 10 11 12; do
  "$magtool" sid "$i" --seconds 120 --wav "$out/w.wav" >/dev/null
  echo "$(digest "$out/w.wav")  sid $i"
done
for i in 1 2 3 4; do
  "$magtool" xm "$i" --seconds 240 --wav "$out/w.wav" >/dev/null
  echo "$(digest "$out/w.wav")  xm $i"
done
for f in "$testdata"/sid/*.sid; do
  [ -e "$f" ] || continue
  "$magtool" sid "$f" --seconds 120 --wav "$out/w.wav" >/dev/null
  echo "$(digest "$out/w.wav")  sid $(basename "$f")"
done
for f in "$testdata"/xm/*.xm; do
  [ -e "$f" ] || continue
  "$magtool" xm "$f" --seconds 240 --wav "$out/w.wav" >/dev/null
  echo "$(digest "$out/w.wav")  xm $(basename "$f")"
done
for clock in 0 0.5 1.25 3 7.5 20; do
  "$magtool" intro "$out/p.png" --clock "$clock" >/dev/null
  echo "$(digest "$out/p.png")  intro clock $clock"
done
for skin in 1 2; do
  for a in $(seq 1 20); do
    for page in 1 2; do
      "$magtool" shot "$out/p.png" --skin "$skin" --article "$a" --page "$page" --clock 2.5 >/dev/null
      echo "$(digest "$out/p.png")  shot skin $skin article $a page $page"
    done
  done
  for clock in 0 1 4.5 12; do
    "$magtool" shot "$out/p.png" --skin "$skin" --article 1 --top 5 --clock "$clock" >/dev/null
    echo "$(digest "$out/p.png")  shot skin $skin article 1 top 5 clock $clock"
  done
done
