#!/bin/sh
# The performance record in one command: builds the release preset's
# benchmarks and the program, runs every benchmark, measures the peak memory
# of a real run (the program under Xvfb for a few seconds, intro and reader),
# the CPU share of the reader at rest and minimised (1920 x 1080, openbox),
# and prints one table with each figure, its target and pass/fail.
#
#   sh tools/dev/perf_record.sh            # build/release, as the release preset
#   BUILD_DIR=build/mine sh tools/dev/perf_record.sh
#
# Needs: Xvfb, xdotool, openbox, /usr/bin/time (package time), python3, libxmp and
# libopenmpt (linked into bench_xm) and sidplayfp for the comparisons
# (tools/setup.sh installs them). Exit status:
# 0 when every figure meets its target, 1 otherwise.
set -eu
cd "$(dirname "$0")/../.."
BUILD_DIR=${BUILD_DIR:-build/release}
OUT=${PERF_OUT:-/tmp/qv_perf}
mkdir -p "$OUT"

if [ ! -f "$BUILD_DIR/CMakeCache.txt" ]; then
  cmake --preset release -B "$BUILD_DIR" > "$OUT/configure.log"
fi
benches="bench_render bench_host bench_content bench_startup bench_xm bench_sid"
cmake --build "$BUILD_DIR" --target $benches quorvaline -j2 > "$OUT/build.log"

# Every benchmark program, five repetitions each (bench_xm and bench_sid run
# once: their comparisons with libxmp, libopenmpt and sidplayfp already take
# medians over rounds, or time 30 s of audio per tune).
for b in $benches; do
  reps=5
  case $b in bench_xm|bench_sid) reps=1 ;; esac
  echo "running $b" >&2
  "$BUILD_DIR/bench/$b" --benchmark_repetitions=$reps --benchmark_format=json \
    --benchmark_out="$OUT/$b.json" --benchmark_out_format=json > /dev/null 2> "$OUT/$b.err" || true
done

# Peak memory of a real run: the program under Xvfb with the disk audio
# driver, Escape after 4 s (leaves the intro), Escape 5 s later (ends it).
peak_kb=0
if command -v Xvfb > /dev/null && [ -x /usr/bin/time ]; then
  n=$((200 + $$ % 300))
  Xvfb ":$n" -screen 0 800x600x24 -nolisten tcp -noreset > /dev/null 2>&1 &
  xpid=$!
  i=0
  while [ ! -e "/tmp/.X11-unix/X$n" ] && [ $i -lt 100 ]; do sleep 0.1; i=$((i + 1)); done
  DISPLAY=":$n" SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$OUT/run.raw" \
    /usr/bin/time -f '%M' -o "$OUT/peak.txt" "$BUILD_DIR/quorvaline" > "$OUT/run.log" 2>&1 &
  rpid=$!
  sleep 4; DISPLAY=":$n" xdotool key Escape || true
  sleep 5; DISPLAY=":$n" xdotool key Escape || true
  i=0
  while kill -0 $rpid 2> /dev/null && [ $i -lt 100 ]; do sleep 0.1; i=$((i + 1)); done
  kill $rpid 2> /dev/null || true
  wait $rpid 2> /dev/null || true
  kill $xpid 2> /dev/null || true
  wait $xpid 2> /dev/null || true
  peak_kb=$(tail -n 1 "$OUT/peak.txt" 2> /dev/null | tr -dc '0-9')
  rm -f "$OUT/run.raw"
fi

# CPU share of one core in the reader on a 1920 x 1080 screen with a window
# manager (the scaled path): 5 s at rest, then 5 s minimised. From the
# process's user + system time, all threads (the music goes on) included.
cpu_rest=""
cpu_min=""
cpu_seconds() {  # utime + stime of a process, in seconds
  awk -v hz="$(getconf CLK_TCK)" '{ sub(/^.*\) /, ""); print ($12 + $13) / hz }' "/proc/$1/stat"
}
if command -v Xvfb > /dev/null && command -v openbox > /dev/null; then
  n=${PERF_DISPLAY:-$((201 + $$ % 300))}
  Xvfb ":$n" -screen 0 1920x1080x24 -nolisten tcp > /dev/null 2>&1 &
  xpid=$!
  i=0
  while [ ! -e "/tmp/.X11-unix/X$n" ] && [ $i -lt 100 ]; do sleep 0.1; i=$((i + 1)); done
  DISPLAY=":$n" openbox > /dev/null 2>&1 &
  wpid=$!
  sleep 1
  DISPLAY=":$n" SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$OUT/cpu.raw" "$BUILD_DIR/quorvaline" > "$OUT/cpu.log" 2>&1 &
  rpid=$!
  sleep 3; DISPLAY=":$n" xdotool mousemove 2 2 click 1 || true
  sleep 6
  a=$(cpu_seconds $rpid); sleep 5; b=$(cpu_seconds $rpid)
  cpu_rest=$(echo "$a $b" | awk '{ print ($2 - $1) / 5 }')
  DISPLAY=":$n" xdotool search --name 'CODED BY TARVOSKELD' windowminimize > /dev/null 2>&1 || true
  sleep 1
  a=$(cpu_seconds $rpid); sleep 5; b=$(cpu_seconds $rpid)
  cpu_min=$(echo "$a $b" | awk '{ print ($2 - $1) / 5 }')
  kill $rpid 2> /dev/null || true
  wait $rpid 2> /dev/null || true
  kill $wpid $xpid 2> /dev/null || true
  wait $wpid $xpid 2> /dev/null || true
  rm -f "$OUT/cpu.raw"
fi

python3 - "$OUT" "${peak_kb:-0}" "${cpu_rest:-}" "${cpu_min:-}" << 'EOF'
import json, os, platform, sys

out, peak_kb = sys.argv[1], int(sys.argv[2] or 0)
cpu_rest = float(sys.argv[3]) * 100 if len(sys.argv) > 3 and sys.argv[3] else None
cpu_min = float(sys.argv[4]) * 100 if len(sys.argv) > 4 and sys.argv[4] else None

def load(bench):
    path = os.path.join(out, bench + ".json")
    try:
        with open(path) as f:
            return json.load(f)["benchmarks"]
    except (OSError, ValueError, KeyError):
        return []

def median(bench, name):
    """Median CPU time in ms of a benchmark run with repetitions (or its single run); CPU time
    keeps the figures honest while other work shares the machine."""
    rows = [r for r in load(bench) if r.get("run_name") == name and r.get("error_occurred") is not True]
    med = [r for r in rows if r.get("aggregate_name") == "median"]
    row = med[0] if med else (rows[0] if rows else None)
    if row is None:
        return None
    scale = {"ns": 1e-6, "us": 1e-3, "ms": 1.0, "s": 1e3}[row.get("time_unit", "ns")]
    return row["cpu_time"] * scale

def counter(bench, name, key):
    for r in load(bench):
        if r.get("run_name") == name and key in r and r.get("aggregate_name", "median") in ("median", ""):
            return r[key]
    for r in load(bench):
        if r.get("run_name") == name and key in r:
            return r[key]
    return None

def worst(values, pick):
    values = [v for v in values if v is not None]
    return pick(values) if values else None

def cases(bench, prefix):
    """Run names of every case of one benchmark (all its arguments)."""
    names = []
    for r in load(bench):
        n = r.get("run_name", "")
        if n.startswith(prefix) and n not in names:
            names.append(n)
    return names

converters = [median("bench_host", n) for n in cases("bench_host", "BM_Converter/")]
sid_ratio = [counter("bench_sid", n, "ratio") for n in cases("bench_sid", "BM_VersusSidplayfp/")]
sid_x = [counter("bench_sid", n, "ours_x") for n in cases("bench_sid", "BM_VersusSidplayfp/")]
embedded = [counter("bench_sid", n, "realtime") for n in cases("bench_sid", "BM_EmbeddedTune/")]
# The in-process comparison with libxmp and libopenmpt, one case per module.
peer_cases = cases("bench_xm", "BM_VersusPeers/")
peer = lambda n, key: counter("bench_xm", n, key)
vs_xmp = [peer(n, "vs_xmp") for n in peer_cases]
vs_openmpt = [peer(n, "vs_openmpt") for n in peer_cases]
peer_x = [peer(n, "ours_x") for n in peer_cases if (peer(n, "channels") or 0) <= 32]

copy_render = median("bench_render", "BM_PlainFrameCopy")
copy_host = median("bench_host", "BM_PlainWordCopy")

def per_copy(value, copy):
    return None if value is None or not copy else value / copy

# figure, value, unit, target, better ("<=" lower is better, ">=" higher is better)
reader = median("bench_render", "BM_ReaderFrameBusiestPage")
intro = median("bench_render", "BM_IntroFrame")
slowest_converter = worst(converters, max)
rows = [
    ("plain 800 x 600 word copy (baseline, median)", copy_render, "ms", None, ""),
    ("reader frame drawing, busiest page (median)", reader, "ms", 1.0, "<"),
    ("  the same, in plain frame copies", per_copy(reader, copy_render), "", None, ""),
    ("reader frame drawing, full page (median)", median("bench_render", "BM_ReaderFrameFullPage"), "ms", 1.0, "<"),
    ("intro frame drawing (median)", intro, "ms", 1.0, "<"),
    ("  the same, in plain frame copies", per_copy(intro, copy_render), "", None, ""),
    ("pixel converter, slowest of 8, full frame", slowest_converter, "ms", 0.5, "<"),
    ("  the same, in plain frame copies", per_copy(slowest_converter, copy_host), "", None, ""),
    ("scale + convert to 1920 x 1080 (1440 x 1080 area), 32-bit", median("bench_host", "BM_ScaleFrame/1920/1080/0/1"), "ms", 1.0, "<"),
    ("scale + convert to 1920 x 1080, 24-bit", median("bench_host", "BM_ScaleFrame/1920/1080/2/1"), "ms", 1.0, "<"),
    ("scale + convert to 1920 x 1080, 5-6-5", median("bench_host", "BM_ScaleFrame/1920/1080/4/1"), "ms", 1.0, "<"),
    ("scale + convert to 1920 x 1080, 32-bit, SSE2 only", median("bench_host", "BM_ScaleFrame/1920/1080/0/0"), "ms", None, ""),
    ("scale + convert to 3840 x 2160 (2880 x 2160), 32-bit", median("bench_host", "BM_ScaleFrame/3840/2160/0/1"), "ms", None, ""),
    ("scale + convert to 1920 x 1080, kept surface, reader at rest (6 rows change)", median("bench_host", "BM_ScaleKeptSurface/0"), "ms", None, ""),
    ("scale + convert to 1920 x 1080, kept surface, every row changed", median("bench_host", "BM_ScaleKeptSurface/600"), "ms", None, ""),
    ("reader at rest, 1920 x 1080 + openbox, CPU of one core", cpu_rest, "%", None, ""),
    ("reader minimised, CPU of one core (music playing)", cpu_min, "%", 5.0, "<="),
    ("openArticle, article 11 (median)", median("bench_content", "BM_OpenArticle/11"), "ms", 5.0, "<"),
    ("start-up to first present", median("bench_startup", "BM_StartUpToFirstFrame/iterations:10"), "ms", 100.0, "<"),
    ("XM real-time factor, 4 channels", counter("bench_xm", "BM_Mix/4", "realtime_x"), "x", None, ""),
    ("XM real-time factor, module 1 (28 channels)", counter("bench_xm", "BM_Mix/1", "realtime_x"), "x", 1000.0, ">="),
    ("XM real-time factor, dense 28-channel stress module", counter("bench_xm", "BM_Mix/28", "realtime_x"), "x", None, ""),
    ("XM speed / libxmp speed, worst of %d modules" % len(peer_cases), worst(vs_xmp, min), "", 2.0, ">="),
    ("XM speed / libopenmpt speed, worst of %d modules" % len(peer_cases), worst(vs_openmpt, min), "", None, ""),
    ("XM real-time factor, slowest of the modules up to 32 channels", worst(peer_x, min), "x", 1000.0, ">="),
    ("SID real-time factor, slowest shipped tune", worst(embedded, min), "x", 500.0, ">="),
    ("SID real-time factor, slowest compared tune", worst(sid_x, min), "x", 500.0, ">="),
    ("SID speed / sidplayfp speed, slowest", worst(sid_ratio, min), "", None, ""),
    ("peak memory of a real run (VmHWM)", peak_kb / 1024.0 if peak_kb else None, "MiB", 64.0, "<"),
]

def fmt(v):
    if v is None:
        return "n/a"
    return "%.3g" % v if abs(v) < 100 else "%.0f" % v

ok = True
print("| figure | measured | target | result |")
print("|---|---|---|---|")
for name, value, unit, target, better in rows:
    u = (" " + unit) if unit else ""
    if value is None:
        verdict = "not measured"
        ok = False
    elif target is None:
        verdict = "reported"
    else:
        passed = {"<": value < target, "<=": value <= target, ">": value > target, ">=": value >= target}[better]
        verdict = "pass" if passed else "FAIL"
        ok = ok and passed
    goal = "%s %s%s" % (better, fmt(target), u) if target is not None else "-"
    print("| %s | %s%s | %s | %s |" % (name, fmt(value), u, goal, verdict))

if peer_cases:
    print()
    print("| module (channels) | ours | libxmp | libopenmpt | ours / libxmp | ours / libopenmpt | result |")
    print("|---|---|---|---|---|---|---|")
    for n in peer_cases:
        name = n.split("/")[1]
        ch = int(peer(n, "channels") or 0)
        ours, xmp, mpt = peer(n, "ours_x"), peer(n, "xmp_x"), peer(n, "openmpt_x")
        rx, ro = peer(n, "vs_xmp"), peer(n, "vs_openmpt")
        if None in (ours, rx):
            verdict = "not measured"
            ok = False
        else:
            passed = rx >= 2.0 and (ch > 32 or ours >= 1000.0)
            verdict = "pass" if passed else "FAIL"
            ok = ok and passed
        print("| %s (%d) | %s x | %s x | %s x | %s | %s | %s |" %
              (name, ch, fmt(ours), fmt(xmp), fmt(mpt), fmt(rx), fmt(ro), verdict))
    print()
    print("Real-time factors: seconds of 44100 Hz 16-bit stereo per CPU second, medians of %s rounds of"
          " %s s per module, all three players in this one process and thread, loading excluded." %
          (fmt(peer(peer_cases[0], "rounds") or 0), fmt(peer(peer_cases[0], "audio_s") or 0)))

cpu = "unknown"
try:
    for line in open("/proc/cpuinfo"):
        if line.startswith("model name"):
            cpu = line.split(":", 1)[1].strip()
            break
except OSError:
    pass
mem = 0
try:
    for line in open("/proc/meminfo"):
        if line.startswith("MemTotal"):
            mem = int(line.split()[1]) // 1024
except OSError:
    pass
print()
print("machine: %d cores (nproc %d), %s, %d MiB RAM, %s" %
      (os.cpu_count() or 0, len(os.sched_getaffinity(0)), cpu, mem, platform.platform()))
sys.exit(0 if ok else 1)
EOF
