#!/bin/sh
# under_wine.sh WINDOWS_BUILD_DIR SCREEN COMMAND [ARGS...]
#
# Runs COMMAND in a Wine environment for the Windows build in
# WINDOWS_BUILD_DIR (build/windows):
# - a virtual X server with one screen of SCREEN (e.g. 800x600x24), on the
#   first free display of :30 to :39;
# - the build tree's Wine prefix (WINDOWS_BUILD_DIR/wine-prefix, 64-bit only),
#   made by the first test of a run and reused by every later one;
# - Wine's audio through ALSA into a file (QV_AUDIO_CAPTURE), by an ALSA
#   configuration of our own (ALSA_CONFIG_PATH; the user's ~/.asoundrc is not
#   read);
# - no Wine debug output and no Mono or Gecko install dialogs.
# COMMAND sees DISPLAY, WINEPREFIX, WINEDEBUG, WINEDLLOVERRIDES,
# ALSA_CONFIG_PATH, QV_AUDIO_CAPTURE, QV_SCREEN and QV_WINE_WORK (a scratch
# directory, kept when COMMAND fails). Every Wine process of the prefix is
# ended afterwards.
#
# Exit status: COMMAND's, or 1 when the Windows build has no quorvaline.exe
# or the program to run, or Wine, Xvfb are not installed: a test that cannot
# run fails.
set -u
build=$(cd "$1" 2>/dev/null && pwd) || build=$1
screen=$2
shift 2

if [ ! -f "$build/quorvaline.exe" ]; then
  echo "FAIL: $build/quorvaline.exe is missing (cmake --preset windows && cmake --build --preset windows)"
  exit 1
fi
if [ "${1:-}" = wine ] && [ ! -f "${2:-}" ]; then
  echo "FAIL: ${2:-the program} is missing (cmake --build --preset windows builds it)"
  exit 1
fi
for tool in wine wineserver wineboot Xvfb xdotool; do
  if ! command -v "$tool" >/dev/null 2>&1; then
    echo "FAIL: $tool is not installed (tools/setup.sh installs it)"
    exit 1
  fi
done

work=$(mktemp -d "${TMPDIR:-/tmp}/qv_wine.XXXXXX")
export QV_WINE_WORK="$work"
export QV_SCREEN="$screen"
export WINEPREFIX="$build/wine-prefix"
export WINEARCH=win64
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export QV_AUDIO_CAPTURE="$work/capture.raw"
cat > "$work/asound.conf" <<EOF
pcm.!default {
  type file
  slave.pcm "null"
  file "$QV_AUDIO_CAPTURE"
  format "raw"
}
EOF
export ALSA_CONFIG_PATH="/usr/share/alsa/alsa.conf:$work/asound.conf"

xvfb_pid=""
cleanup() {
  wineserver -k >/dev/null 2>&1
  wineserver -w >/dev/null 2>&1
  if [ -n "$xvfb_pid" ]; then
    kill "$xvfb_pid" 2>/dev/null
    wait "$xvfb_pid" 2>/dev/null
  fi
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# A Wine server left from an earlier test serves the old display: end it.
wineserver -k >/dev/null 2>&1
wineserver -w >/dev/null 2>&1

for n in 30 31 32 33 34 35 36 37 38 39; do
  [ -e "/tmp/.X$n-lock" ] && continue
  Xvfb ":$n" -screen 0 "$screen" -nolisten tcp -noreset >"$work/xvfb.log" 2>&1 &
  xvfb_pid=$!
  i=0
  while [ $i -lt 50 ]; do
    if DISPLAY=":$n" xdotool getmouselocation >/dev/null 2>&1; then
      export DISPLAY=":$n"
      break 2
    fi
    kill -0 "$xvfb_pid" 2>/dev/null || break
    sleep 0.1
    i=$((i + 1))
  done
  kill "$xvfb_pid" 2>/dev/null
  wait "$xvfb_pid" 2>/dev/null
  xvfb_pid=""
done
if [ -z "$xvfb_pid" ]; then
  echo "FAIL: no virtual X server came up on :30 to :39"
  exit 1
fi

# The prefix: made once under a lock (tests of one run may start together).
(
  flock 9
  if [ ! -f "$WINEPREFIX/.qv-ready" ]; then
    rm -rf "$WINEPREFIX"
    echo "Making the Wine prefix $WINEPREFIX"
    wineboot -i >"$work/wineboot.log" 2>&1
    # DirectDraw without OpenGL (the virtual X server has only a software GL,
    # which makes every flip slow), and ALSA as the audio driver.
    wine reg add 'HKCU\Software\Wine\Direct3D' /v renderer /d gdi /f >>"$work/wineboot.log" 2>&1
    wine reg add 'HKCU\Software\Wine\Drivers' /v Audio /d alsa /f >>"$work/wineboot.log" 2>&1
    wineserver -w
    [ -f "$WINEPREFIX/system.reg" ] && touch "$WINEPREFIX/.qv-ready"
  fi
) 9>"$build/wine-prefix.lock"
if [ ! -f "$WINEPREFIX/.qv-ready" ]; then
  echo "FAIL: the Wine prefix could not be made"
  cat "$work/wineboot.log"
  exit 1
fi

"$@"
status=$?
if [ $status -eq 0 ]; then
  rm -rf "$work"
else
  echo "under_wine.sh: kept $work for inspection"
fi
exit $status
