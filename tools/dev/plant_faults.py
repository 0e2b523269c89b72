#!/usr/bin/python3
"""Plants one-line faults in the engine, one at a time, and runs the tests
that should catch each: a fault is caught when the test binary fails. The
source is restored after every fault, whatever happens.

  plant_faults.py [BUILD_DIR] [--only SUBSTRING]

BUILD_DIR is a configured build tree (default build/release). Each fault
names the file, the exact text it changes (which must occur once), the
faulty text and the test executable (a CMake target under tests/). Faults
marked 'equivalent' cannot change any behaviour (explained with each); they
are listed so that the reason stays written down, and they do not count.
The last line prints 'N of M caught'.
"""
import os
import subprocess
import sys

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), '..', '..'))

# (file, original, faulty, test target, note)
FAULTS = [
    # Sequencer: row flow, effects, volume column.
    ('xm/sequencer.cpp', 'if (pos.nextRow > kLastBreakRow) pos.nextRow = 0;', 'if (pos.nextRow > kLastBreakRow + 1) pos.nextRow = 0;', 'test_xm', ''),
    ('xm/sequencer.cpp', 'pos.nextRow = tens * 10 + units;', 'pos.nextRow = tens * 16 + units;', 'test_xm', ''),
    ('xm/sequencer.cpp', 'ch.panning += command == kColumnPanLeft ? -x : x;', 'ch.panning += command == kColumnPanLeft ? x : x;', 'test_xm', ''),
    ('xm/sequencer.cpp', '  if (next > kWaveLast) next -= kWaveLength;\n  ch.tremoloPosition', '  if (next > kWaveLast) next -= kWaveLength - 1;\n  ch.tremoloPosition', 'test_xm', ''),
    ('xm/sequencer.cpp', 'case 6: v = v * 2 / 3; break;', 'case 6: v = v / 3 * 2; break;', 'test_xm', ''),
    ('xm/sequencer.cpp', 'ch.panning = std::min(ch.panning + right, kMaxPanning);', 'ch.panning = std::min(ch.panning + right, kMaxPanning + 1);', 'test_xm', ''),
    ('xm/sequencer.cpp', 'ch.panning = std::max(ch.panning - left, 0);', 'ch.panning = ch.panning - left;', 'test_xm', ''),
    ('xm/sequencer.cpp', 'case 14: v = v * 3 / 2; break;', 'case 14: v = v * 2; break;', 'test_xm', ''),
    ('xm/sequencer.cpp', 'ch.period -= ch.extraFineUpMemory;', 'ch.period -= ch.extraFineUpMemory * 4;', 'test_xm', ''),
    ('xm/sequencer.cpp', 'ch.finetune = finetuneFromNibble(x);', 'ch.finetune = x;', 'test_xm', ''),
    ('xm/sequencer.cpp', 'if (pos.nextOrder >= song.songLength) pos.nextOrder = 0;',
     'if (pos.nextOrder > song.songLength) pos.nextOrder = 0;', 'test_xm', ''),
    ('xm/sequencer.cpp', 'ch.updateFlags &= static_cast<uint8_t>(~kUpdateNoteFlags);\n      ch.period = memo.period;',
     'ch.updateFlags = 0;\n      ch.period = memo.period;', 'test_xm',
     'equivalent: the stop flag is set only by a sample offset, which cannot share a cell with EDx, and every tick starts with no flags'),
    ('xm/sequencer.cpp', 'if (vibratoWaveform(ch) < kWaveformKeepsPosition) ch.vibratoPosition = 0;', 'if (vibratoWaveform(ch) < kWaveformKeepsPosition - 1) ch.vibratoPosition = 0;', 'test_xm', ''),
    ('xm/sequencer.cpp', 'if (tremoloWaveform(ch) < kWaveformKeepsPosition) ch.tremoloPosition = 0;', 'if (tremoloWaveform(ch) < kWaveformKeepsPosition - 1) ch.tremoloPosition = 0;', 'test_xm', ''),
    # Mixer.
    ('xm/mixer.cpp', 'p = 2 * e - 1 - p;', 'p = 2 * e - p;', 'test_xm', ''),
    ('xm/mixer.cpp', 'if (p >= e) p = ls + (p - e) % ll;', 'if (p >= e) p = ls + (p - e) % (ll + 1);', 'test_xm', ''),
    ('xm/mix_kernels.cpp', 'return x0 + (x1 - x0) * static_cast<float>(frac >> 1) * kFractionScale;', 'return x0 + (x1 - x0) * static_cast<float>(frac >> 2) * kFractionScale;', 'test_xm', ''),
    # 6502.
    ('sid/cpu6502.cpp', 'setFlag(kFlagC, reg >= value);', 'setFlag(kFlagC, reg > value);', 'test_sid', ''),
    ('sid/cpu6502.cpp', 'if (condition) PC = static_cast<uint16_t>(PC + offset);', 'if (condition) PC = static_cast<uint16_t>(PC + offset + 1);', 'test_sid', ''),
    ('sid/cpu6502.cpp', 'result = static_cast<uint8_t>((value << 1) | (P & kFlagC));', 'result = static_cast<uint8_t>(value << 1);', 'test_sid', ''),
    # SID.
    ('sid/sid_chip.cpp', 'if ((wave & kControlRing) && ref.phase < kPhaseTopBit) triangle ^= kWaveformFull;', 'if ((wave & kControlRing) && ref.phase > kPhaseTopBit) triangle ^= kWaveformFull;', 'test_sid', ''),
    ('sid/sid_chip.cpp', 'if (wave & kControlPulse) out &= phase <= o.pulseThreshold ? kWaveformFull : 0x00;', 'if (wave & kControlPulse) out &= phase < o.pulseThreshold ? kWaveformFull : 0x00;', 'test_sid', ''),
    ('sid/sid_chip.cpp', 'if (o.level != sustainLevel) o.envelopePhase = EnvelopePhase::Decay;', 'if (o.level > sustainLevel) o.envelopePhase = EnvelopePhase::Decay;', 'test_sid', ''),
    ('sid/sid_chip.cpp', 'if (f.bandEnabled) out += f.band >> kFixedPointShift;', 'if (f.bandEnabled) out += f.low >> kFixedPointShift;', 'test_sid', ''),
    ('sid/sid_chip.cpp', 'if (s.counter > mixRate) {', 'if (s.counter >= mixRate) {', 'test_sid', ''),
    # The reader's layout and drawing.
    ('render/layout.h', 'return x < px && px < x + lastDX && y < py && py < y + lastDY;', 'return x <= px && px < x + lastDX && y < py && py < y + lastDY;', 'test_app', ''),
    ('render/reader.cpp', 'view.pointerY - kDragTop) * (n - kVisibleRows + 1) / kDragSpan', 'view.pointerY - kDragTop) * (n - kVisibleRows) / kDragSpan', 'test_render', ''),
    ('render/reader.cpp', 'if (n <= kVisibleRows) return;', 'if (n < kVisibleRows) return;', 'test_render',
     'equivalent: with exactly one page of lines the thumb\'s row is 0/0 x 361, which converts to a row far outside the frame, so nothing is drawn either way'),
    ('render/reader.cpp', 'if (pos > length) pos = 1;', 'if (pos > length) pos = 0;', 'test_render', ''),
    ('render/reader.cpp', 'if (y < 1 || y > 591 || x < 1 || x > 791) return;', 'if (y < 1 || y > 591 || x < 1 || x > 792) return;', 'test_render', ''),
    ('render/reader.cpp', 'for (int32_t i = 0; i <= reach; i += 2) {', 'for (int32_t i = 0; i < reach; i += 2) {', 'test_render', ''),
    ('render/reader.cpp', 'if (g.thumbGlow < 125) g.thumbGlow += 5;', 'if (g.thumbGlow < 125) g.thumbGlow += 4;', 'test_render', ''),
    # Frame scaler and the click latch.
    ('host/common/frame_scaler.h', 'const uint32_t rb = (((a & 0xFF00FFu) * v + (b & 0xFF00FFu) * w + 0x200020u) >> 6) & 0xFF00FFu;',
     'const uint32_t rb = (((a & 0xFF00FFu) * v + (b & 0xFF00FFu) * w) >> 6) & 0xFF00FFu;', 'test_host', ''),
    ('host/common/frame_scaler.cpp', 'int64_t roundedQuotient(int64_t numerator, int64_t denominator) { return (2 * numerator + denominator) / (2 * denominator); }',
     'int64_t roundedQuotient(int64_t numerator, int64_t denominator) { return numerator / denominator; }', 'test_host', ''),
    ('host/common/frame_scaler.cpp', 'if (overhang > 0) weight = roundedQuotient(overhang * kMixOne, n);', 'if (overhang > 0) weight = overhang * kMixOne / n;', 'test_host', ''),
    ('host/common/button_latch.h', 'int32_t state() const { return down || pressed ? 1 : 0; }', 'int32_t state() const { return down ? 1 : 0; }', 'test_host', ''),
    ('host/common/button_latch.h', 'void beginPoll() { pressed = false; }', 'void beginPoll() {}', 'test_host', ''),
    # The polled input record every display host keeps.
    ('host/common/polled_input.cpp', 'if (down && keyDown_[k] == 0) keyPressed_[k] = 1;', 'if (down) keyPressed_[k] = 1;', 'test_host', ''),
    ('host/common/polled_input.cpp', 'uint16_t value = downNow || pressed ? 0x8000u : 0u;', 'uint16_t value = downNow ? 0x8000u : 0u;', 'test_host', ''),
    ('host/common/polled_input.cpp', 'keyDown_.fill(0);', 'keyPressed_.fill(0);\n  keyDown_.fill(0);', 'test_host', ''),
    ('host/common/polled_input.h', 'wheel_ += delta < 0 ? -1 : 1;', 'wheel_ += delta <= 0 ? -1 : 1;', 'test_host', ''),
    ('host/common/polled_input.h', 'mouseY_ = y & 0xFFFF;', 'mouseY_ = y;', 'test_host', ''),
    ('host/common/polled_input.h', 'return virtualKey >= 0 && virtualKey < kKeyCount;', 'return virtualKey >= 0 && virtualKey < kKeyCount - 1;', 'test_host', ''),
]


def run(cmd, **kw):
    return subprocess.run(cmd, cwd=ROOT, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True, **kw)


def main(argv):
    build = os.path.join(ROOT, 'build', 'release')
    only = None
    args = list(argv)
    while args:
        a = args.pop(0)
        if a == '--only':
            only = args.pop(0)
        else:
            build = os.path.abspath(a)
    counted = caught = 0
    for path, original, faulty, target, note in FAULTS:
        if only and only not in path and only not in original:
            continue
        full = os.path.join(ROOT, path)
        with open(full) as f:
            text = f.read()
        label = f'{path}: {original.strip().splitlines()[0][:60]}'
        if text.count(original) != 1:
            print(f'STALE     {label} (the text is not there once)')
            counted += 1
            continue
        try:
            with open(full, 'w') as f:
                f.write(text.replace(original, faulty))
            b = run(['cmake', '--build', build, '--target', target])
            if b.returncode != 0:
                verdict = 'caught (does not build)'
                ok = True
            else:
                exe = os.path.join(build, 'tests', target[len('test_'):], target)
                try:
                    t = run([exe, '--gtest_brief=1'], timeout=600)
                    ok = t.returncode != 0
                    verdict = 'caught' if ok else 'SURVIVED'
                except subprocess.TimeoutExpired:
                    ok = True  # CTest's time limit fails it too
                    verdict = 'caught (hangs)'
        finally:
            with open(full, 'w') as f:
                f.write(text)
        if note.startswith('equivalent'):
            print(f'{"equivalent":9s} {label}\n          {note}')
            continue
        counted += 1
        caught += ok
        print(f'{verdict:9s} {label}')
        sys.stdout.flush()
    # Leave the test binaries matching the restored sources.
    for target in sorted({f[3] for f in FAULTS}):
        run(['cmake', '--build', build, '--target', target])
    print(f'{caught} of {counted} caught')
    return 0 if caught == counted else 1


if __name__ == '__main__':
    sys.exit(main(sys.argv[1:]))
