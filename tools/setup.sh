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
 libxxf86vm1 libxcomposite1 libxfixes3 libgl1 libgl1-mesa-dri libdbus-1-3 libgnutls30 fonts-wine"
missing=""
for p in $pkgs; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || missing="$missing $p"
done
if [ -n "$missing" ]; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -q
  apt-get install -y -q --no-install-recommends $missing
fi
