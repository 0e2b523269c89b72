#!/usr/bin/env bash
# The real program under Xvfb with a random user for N minutes (default 10):
# tune keys in the intro, then clicks over the buttons, the menu and elsewhere,
# thumb drags, wheel turns, Up/Down holds, PgUp/PgDn/Home/End and F1/F2 in
# the reader, then Escape. Passes when the program exits with status 0
# within 15 s of the Escape, wrote nothing to stderr, and the audio it played
# (SDL's disk driver, raw 16-bit stereo in /tmp) holds music, not silence.
#
#   tests/e2e_random/run.sh [minutes]       SEED=n for another random stream,
#                                           BUILD_DIR=... for another build
# Not part of CTest (it runs for minutes); needs Xvfb, xdotool and sox.
set -u
cd "$(dirname "$0")/../.."
MINUTES=${1:-10}
SEED=${SEED:-36}
BUILD_DIR=${BUILD_DIR:-build/release}
PROGRAM=$BUILD_DIR/quorvaline
RANDOM=$SEED

[ -x "$PROGRAM" ] || { echo "no program at $PROGRAM (build the release preset first)"; exit 2; }
for tool in Xvfb xdotool sox; do
  command -v $tool > /dev/null || { echo "$tool is missing"; exit 2; }
done

WORK=$(mktemp -d /tmp/qv_e2e_random.XXXXXX)
AUDIO=$WORK/audio.raw
N=$((400 + $$ % 400))
export DISPLAY=:$N
Xvfb ":$N" -screen 0 800x600x24 -nolisten tcp -noreset > "$WORK/xvfb.log" 2>&1 &
XVFB=$!
PROGRAM_PID=""
cleanup() {
  [ -n "$PROGRAM_PID" ] && kill "$PROGRAM_PID" 2> /dev/null
  kill "$XVFB" 2> /dev/null
  wait 2> /dev/null
}
trap cleanup EXIT
for _ in $(seq 100); do [ -e "/tmp/.X11-unix/X$N" ] && break; sleep 0.1; done

SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE=$AUDIO "$PROGRAM" > "$WORK/stdout.log" 2> "$WORK/stderr.log" &
PROGRAM_PID=$!
for _ in $(seq 100); do
  xdotool search --name "CODED BY TARVOSKELD" > /dev/null 2>&1 && break
  sleep 0.1
done

rnd() { echo $(($1 + RANDOM % ($2 - $1 + 1))); }
x() { xdotool "$@" > /dev/null 2>&1; }
count=0
act() { count=$((count + 1)); }

# Points inside each button in both skins (never QUIT).
BUTTONS=("68 78" "68 103" "729 78" "729 103" "729 54" "40 141" "100 141" "690 141" "755 141")

click_at() {
  x mousemove "$1" "$2"
  sleep 0.05
  x mousedown 1
  sleep "0.0$(rnd 3 9)"
  x mouseup 1
}

# Intro: a few tune keys, then a click leaves it.
sleep 4
for _ in $(seq "$(rnd 2 5)"); do
  x key "F$(rnd 1 12)"
  act
  sleep "0.$(rnd 2 9)"
done
x mousemove 400 300
click_at 400 300
sleep 4  # the hand-over's stripes

END=$(($(date +%s) + MINUTES * 60))
while [ "$(date +%s)" -lt "$END" ]; do
  act
  case $(rnd 0 9) in
    0|1) read -r bx by <<< "${BUTTONS[$(rnd 0 8)]}"; click_at "$bx" "$by" ;;
    2|3)  # a menu slot (left column rows 1..5, right column rows 1..4) or the page switch
      if [ "$(rnd 0 1)" = 0 ]; then click_at "$(rnd 150 385)" $((66 + 12 * $(rnd 0 4)))
      else click_at "$(rnd 405 640)" $((66 + 12 * $(rnd 0 4))); fi ;;
    4)  # anywhere away from QUIT
      px=$(rnd 1 799); py=$(rnd 1 599)
      if [ "$px" -lt 135 ] && [ "$py" -lt 75 ]; then py=$((py + 200)); fi
      click_at "$px" "$py" ;;
    5)  # drag the thumb
      x mousemove 785 "$(rnd 205 555)"; sleep 0.05; x mousedown 1
      for _ in $(seq "$(rnd 2 8)"); do x mousemove "$(rnd 760 799)" "$(rnd 150 599)"; sleep 0.05; done
      x mouseup 1 ;;
    6)  # wheel notches
      b=$((4 + RANDOM % 2))
      for _ in $(seq "$(rnd 1 6)"); do x click $b; done ;;
    7)  # hold Up or Down
      k=Up; [ "$(rnd 0 1)" = 0 ] && k=Down
      x keydown $k; sleep "0.$(rnd 1 9)"; x keyup $k ;;
    8) keys=(Prior Next Home End); x key "${keys[$(rnd 0 3)]}" ;;
    9) x key "F$(rnd 1 2)" ;;
  esac
  sleep "0.$(rnd 0 4)"
  if ! kill -0 "$PROGRAM_PID" 2> /dev/null; then
    echo "FAIL: the program ended by itself after $count actions"
    exit 1
  fi
done

# Make sure a module plays (one of these two switches always happens), let it
# run, then leave.
click_at 690 141; sleep 3
click_at 755 141; sleep 5
x key Escape
status=-1
for _ in $(seq 150); do
  if ! kill -0 "$PROGRAM_PID" 2> /dev/null; then wait "$PROGRAM_PID"; status=$?; PROGRAM_PID=""; break; fi
  sleep 0.1
done

fail=0
echo "actions: $count in $MINUTES min (seed $SEED)"
if [ "$status" != 0 ]; then echo "FAIL: exit status $status (-1: still running 15 s after Escape)"; fail=1; fi
# SDL's disk driver announces itself on stderr each time a device opens; that
# banner is the test set-up's, anything else is the program's.
grep -v -e '^CRITICAL: You are using the SDL disk i/o audio driver!$' \
  -e '^CRITICAL:  Writing to file \[.*\]\.$' "$WORK/stderr.log" > "$WORK/stderr.program.log"
if [ -s "$WORK/stderr.program.log" ]; then echo "FAIL: stderr:"; head -20 "$WORK/stderr.program.log"; fail=1; fi
bytes=$(stat -c %s "$AUDIO" 2> /dev/null || echo 0)
rms=$(sox -t raw -r 44100 -e signed -b 16 -c 2 "$AUDIO" -n stats 2>&1 | awk '/^RMS lev dB/ {print $4}')
echo "audio: $bytes bytes, RMS $rms dB"
if [ "$bytes" -lt 176400 ] || [ -z "$rms" ] || [[ "$rms" == *inf* ]] || ! awk -v r="$rms" 'BEGIN { exit !(r + 0 > -45) }'; then
  echo "FAIL: the audio file holds no music"; fail=1
fi
[ $fail = 0 ] && echo "PASS" && rm -rf "$WORK"
exit $fail
