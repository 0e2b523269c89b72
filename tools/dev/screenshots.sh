#!/bin/sh
# Regenerates the README's pictures in docs/screenshots from the real
# renderer: magtool draws the intro and reader frames headless with the
# program's own content, assets and drawing code. The frames are reduced to
# 256-colour PNGs (ImageMagick) to keep the repository small.
#
#   sh tools/dev/screenshots.sh [BUILD_DIR]      (default build/release)
set -eu
cd "$(dirname "$0")/../.."
build=${1:-build/release}
cmake --build "$build" --target magtool > /dev/null
out=docs/screenshots
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
mkdir -p "$out"

"$build/magtool" intro "$tmp/intro.png" --clock 40 --seed 36
"$build/magtool" shot "$tmp/reader-grunge.png" --skin 1 --article 11 --pointer 772,160
"$build/magtool" shot "$tmp/reader-carbon.png" --skin 2 --article 13 --pointer 772,160
"$build/magtool" shot "$tmp/chart.png" --skin 1 --article 1 --page 1 --pointer 250,66

for name in intro reader-grunge reader-carbon chart; do
  convert "$tmp/$name.png" +dither -colors 256 -strip -define png:exclude-chunks=date,time "PNG8:$out/$name.png"
  echo "$out/$name.png"
done
