#!/bin/sh
# check_setup_sets.sh SOURCE_DIR
# tools/setup.sh's two sets: `run` is what building and running the desktop
# program needs and none of the test rig; the full set holds all of `run`.
# The README's first command installs `run`, its second the full set.
src=$1
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
run=$(sh "$src/tools/setup.sh" --print run) || fail "setup.sh --print run"
all=$(sh "$src/tools/setup.sh" --print all) || fail "setup.sh --print all"
echo "run: $(echo $run)"
for p in build-essential cmake ninja-build libsdl2-dev; do
  echo "$run" | grep -qx "$p" || fail "the run set lacks $p"
done
for p in $run; do
  case "$p" in
    *gtest*|*gmock*|googletest|*benchmark*|xvfb|xdotool|wine*|*mingw*|emscripten|chromium*|lintian|clang*|libxmp*|libopenmpt*|xmp|sidplayfp|npm|node*|imagemagick|appstream|desktop-file-utils|64tass|sox)
      fail "the run set installs $p, which only the tests or the other editions need" ;;
  esac
  echo "$all" | grep -qx "$p" || fail "the full set lacks $p of the run set"
done
[ "$(echo "$run" | wc -l)" -lt 10 ] || fail "the run set has $(echo "$run" | wc -l) packages"
commands=$(sed -n '/^```sh$/,/^```$/p' "$src/README.md" | grep '^sh tools/setup.sh' | head -2)
echo "$commands" | head -1 | grep -q '^sh tools/setup.sh run && ' || fail "the README's first command does not install the run set"
echo "$commands" | sed -n 2p | grep -q '^sh tools/setup.sh && ' || fail "the README's second command does not install the full set"
sh "$src/tools/setup.sh" --print nothing > /dev/null 2>&1 && fail "an unknown set is accepted"
[ "$failures" -eq 0 ] && echo "setup sets checked"
[ "$failures" -eq 0 ]
