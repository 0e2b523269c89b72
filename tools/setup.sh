#!/bin/sh
# Installs the Debian packages the build, the tests, the asset tools and the
# Debian package (cpack, dpkg-shlibdeps, lintian and the validators) need
# (only those that are missing). Run as root on Debian 12.
set -e
pkgs="build-essential cmake ninja-build pkg-config clang libclang-rt-14-dev
 libsdl2-dev libx11-dev libgtest-dev libgmock-dev googletest libbenchmark-dev libstb-dev
 libxmp-dev libopenmpt-dev xvfb xdotool openbox x11-utils x11-apps imagemagick sox 64tass xmp sidplayfp time python3
 dpkg-dev lintian desktop-file-utils appstream man-db binutils gzip
 g++-mingw-w64-x86-64-posix wine wine64 libxrandr2 libxrender1 libxi6 libxcursor1 libxinerama1
 libxxf86vm1 libxcomposite1 libxfixes3 libgl1 libgl1-mesa-dri libdbus-1-3 libgnutls30 fonts-wine
 emscripten node-acorn chromium
 pulseaudio pulseaudio-utils x11-xserver-utils"
# npm comes with some node builds; Debian's own package only where it does not.
command -v npm >/dev/null 2>&1 || pkgs="$pkgs npm"
missing=""
for p in $pkgs; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || missing="$missing $p"
done
if [ -n "$missing" ]; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -q
  apt-get install -y -q --no-install-recommends $missing
fi

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
