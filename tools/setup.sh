#!/bin/sh
# Installs the Debian packages the magazine needs (only those that are
# missing). Run as root on Debian 12.
#
#   sh tools/setup.sh run      what building and running the desktop program needs
#   sh tools/setup.sh          everything: the tests, the asset tools, the Windows
#                              and browser editions, the release files (the Debian
#                              package, lintian and the validators), and
#                              playwright-core from npm for the browser tests
#   sh tools/setup.sh --print run | all   the set's Debian packages, one a line
set -e

run_pkgs="build-essential cmake ninja-build pkg-config libsdl2-dev libx11-dev"
# The test suite, the benchmarks, the peers they measure against and the
# virtual displays; the Debian package and its checks; the Windows edition's
# cross compiler and Wine; the browser edition's Emscripten and chromium.
all_pkgs="$run_pkgs clang libclang-rt-14-dev
 libgtest-dev libgmock-dev googletest libbenchmark-dev libstb-dev
 libxmp-dev libopenmpt-dev xvfb xdotool openbox x11-utils x11-apps imagemagick sox 64tass xmp sidplayfp time python3
 pulseaudio pulseaudio-utils x11-xserver-utils weston
 dpkg-dev lintian desktop-file-utils appstream man-db binutils gzip
 g++-mingw-w64-x86-64-posix wine wine64 libxrandr2 libxrender1 libxi6 libxcursor1 libxinerama1
 libxxf86vm1 libxcomposite1 libxfixes3 libgl1 libgl1-mesa-dri libdbus-1-3 libgnutls30 fonts-wine
 emscripten node-acorn chromium python3-numpy"

usage() {
  echo "usage: sh tools/setup.sh [run] | --print run|all" >&2
  exit 2
}

set_name=all
print=no
case "$1" in
  "") ;;
  run) set_name=run ;;
  --print)
    print=yes
    case "$2" in run|all) set_name=$2 ;; *) usage ;; esac ;;
  *) usage ;;
esac
if [ "$set_name" = run ]; then pkgs=$run_pkgs; else pkgs=$all_pkgs; fi
# npm comes with some node builds; Debian's own package only where it does not.
if [ "$set_name" = all ] && ! command -v npm >/dev/null 2>&1; then pkgs="$pkgs npm"; fi

if [ "$print" = yes ]; then
  for p in $pkgs; do echo "$p"; done
  exit 0
fi

missing=""
for p in $pkgs; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || missing="$missing $p"
done
if [ -n "$missing" ]; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -q
  apt-get install -y -q --no-install-recommends $missing
fi
[ "$set_name" = run ] && exit 0

# The browser edition's end-to-end test drives Debian's chromium with
# playwright-core from npm, kept in the build tree (build/node); it downloads
# no browser of its own.
playwright_version=1.61.1
node_dir="$(cd "$(dirname "$0")/.." && pwd)/build/node"
if ! grep -qs "\"version\": \"$playwright_version\"" "$node_dir/node_modules/playwright-core/package.json"; then
  mkdir -p "$node_dir"
  PLAYWRIGHT_SKIP_BROWSER_DOWNLOAD=1 npm install --prefix "$node_dir" --no-audit --no-fund --no-save \
    "playwright-core@$playwright_version"
fi
