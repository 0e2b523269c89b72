#!/usr/bin/python3
"""Measures rendered music (16-bit PCM WAV, mono or stereo) on six figures
that separate real tunes and modules from thin, restless ones:

  bass      share of the energy below 250 Hz (of the energy above 20 Hz)
  centroid  spectral centroid in Hz, power-weighted over the whole piece
  lra       loudness range in dB: 95th minus 10th percentile of the RMS level
            of 3 s windows (1 s apart), windows 20 dB below the mean left out
  side      side/mid energy in dB (L-R against L+R); -99 for mono
  selfsim   self-similarity: the mean correlation of one-second frames
            2 to 8 seconds apart (log band energies and chroma, each feature
            standardised over the piece)
  chroma    chroma change: the mean half L1 distance between the pitch-class
            profiles of consecutive 2 s blocks (0 = same harmony, 1 = none
            in common)

  music_measure.py WAV...                  a table
  music_measure.py --real R.wav... --ours O.wav...
                                           a table of both, the real pieces'
                                           range, and which of ours fall
                                           outside it (marked '!')
  ... [--keys bass,chroma] [--require N] [--min-side DB]
                                           exit 1 unless at least N of ours
                                           are inside the real range on every
                                           named figure (all but lra and side
                                           by default) and, with --min-side,
                                           have side/mid of at least DB
"""
import sys
import wave

import numpy as np

RATE = 44100
FRAME = 4096
HOP = 2048


def read_wav(path):
    with wave.open(path, 'rb') as w:
        if w.getsampwidth() != 2:
            raise SystemExit(f'{path}: only 16-bit PCM is read')
        channels = w.getnchannels()
        rate = w.getframerate()
        data = np.frombuffer(w.readframes(w.getnframes()), dtype='<i2').astype(np.float64) / 32768.0
    data = data.reshape(-1, channels)
    if rate != RATE:
        raise SystemExit(f'{path}: {rate} Hz; only {RATE} Hz is read')
    return data


def spectrogram(mono):
    count = 1 + max(0, (len(mono) - FRAME) // HOP)
    window = np.hanning(FRAME)
    idx = np.arange(FRAME)[None, :] + HOP * np.arange(count)[:, None]
    padded = np.concatenate([mono, np.zeros(FRAME)])
    frames = padded[idx] * window
    return np.abs(np.fft.rfft(frames, axis=1)) ** 2  # (time, freq)


def band_matrix(freqs, edges):
    m = np.zeros((len(edges) - 1, len(freqs)))
    for i in range(len(edges) - 1):
        m[i, (freqs >= edges[i]) & (freqs < edges[i + 1])] = 1.0
    return m


def chroma_matrix(freqs):
    m = np.zeros((12, len(freqs)))
    ok = (freqs >= 55.0) & (freqs <= 5000.0)
    pitch = np.zeros_like(freqs)
    pitch[ok] = 12.0 * np.log2(freqs[ok] / 440.0) + 69.0
    pcs = np.mod(np.round(pitch), 12).astype(int)
    for i in np.nonzero(ok)[0]:
        m[pcs[i], i] = 1.0
    return m


def measure(path):
    data = read_wav(path)
    mono = data.mean(axis=1)
    result = {}
    if data.shape[1] == 2:
        mid = (data[:, 0] + data[:, 1]) * 0.5
        side = (data[:, 0] - data[:, 1]) * 0.5
        ms, ss = np.sum(mid ** 2), np.sum(side ** 2)
        result['side'] = 10 * np.log10(ss / ms) if ss > 0 and ms > 0 else -99.0
        result['side'] = max(result['side'], -99.0)
    else:
        result['side'] = -99.0

    power = spectrogram(mono)
    freqs = np.fft.rfftfreq(FRAME, 1.0 / RATE)
    audible = freqs >= 20.0
    total = power[:, audible].sum()
    result['bass'] = power[:, audible & (freqs < 250.0)].sum() / total if total > 0 else 0.0
    result['centroid'] = (power[:, audible] * freqs[audible]).sum() / total if total > 0 else 0.0

    # Loudness range over 3 s windows, 1 s apart.
    win, step = 3 * RATE, RATE
    levels = []
    for start in range(0, max(1, len(mono) - win + 1), step):
        rms = np.sqrt(np.mean(mono[start:start + win] ** 2))
        levels.append(20 * np.log10(rms + 1e-12))
    levels = np.array(levels)
    gated = levels[levels > levels.mean() - 20.0] if len(levels) else levels
    result['lra'] = float(np.percentile(gated, 95) - np.percentile(gated, 10)) if len(gated) > 1 else 0.0

    # One-second frames of log band energies and chroma.
    per_block = max(1, int(round(1.0 * RATE / HOP)))
    blocks = power.shape[0] // per_block
    p = power[:blocks * per_block].reshape(blocks, per_block, -1).mean(axis=1)
    edges = np.geomspace(40.0, 12000.0, 25)
    bands = np.log10(p @ band_matrix(freqs, edges).T + 1e-10)
    cm = chroma_matrix(freqs)
    chroma = np.sqrt(p) @ cm.T
    chroma_n = chroma / (chroma.sum(axis=1, keepdims=True) + 1e-12)
    feats = np.concatenate([bands, chroma_n], axis=1)
    feats = (feats - feats.mean(axis=0)) / (feats.std(axis=0) + 1e-9)
    norms = np.linalg.norm(feats, axis=1) + 1e-12
    sims = []
    for lag in range(2, 9):  # 2 to 8 seconds
        if lag >= blocks:
            break
        a, b = feats[:-lag], feats[lag:]
        sims.append(np.mean(np.sum(a * b, axis=1) / (norms[:-lag] * norms[lag:])))
    result['selfsim'] = float(np.mean(sims)) if sims else 0.0

    # Chroma change per 2 s block.
    per_two = max(1, int(round(2.0 * RATE / HOP)))
    nb = power.shape[0] // per_two
    c2 = (np.sqrt(power[:nb * per_two]) @ cm.T).reshape(nb, per_two, 12).sum(axis=1)
    c2 = c2 / (c2.sum(axis=1, keepdims=True) + 1e-12)
    result['chroma'] = float(np.mean(0.5 * np.abs(np.diff(c2, axis=0)).sum(axis=1))) if nb > 1 else 0.0
    return result


KEYS = ['bass', 'centroid', 'lra', 'side', 'selfsim', 'chroma']
FORMATS = {'bass': '{:6.2f}', 'centroid': '{:8.0f}', 'lra': '{:5.1f}', 'side': '{:6.1f}',
           'selfsim': '{:7.2f}', 'chroma': '{:6.2f}'}


def row(name, m, marks=None):
    cells = []
    for k in KEYS:
        text = FORMATS[k].format(m[k])
        if marks and k in marks:
            text += '!'
        else:
            text += ' '
        cells.append(text)
    return f'{name:32.32s} ' + ' '.join(cells)


def header():
    return f'{"piece":32s} ' + ' '.join(f'{k:>{len(FORMATS[k].format(0)) }s} ' for k in KEYS)


def main(argv):
    if not argv or argv[0] in ('-h', '--help'):
        print(__doc__)
        return 0
    if argv[0] != '--real':
        print(header())
        for path in argv:
            print(row(path.rsplit('/', 1)[-1], measure(path)))
        return 0
    keys = [k for k in KEYS if k not in ('lra', 'side')]
    require = None
    min_side = None
    rest = []
    i = 0
    while i < len(argv):
        if argv[i] == '--keys':
            keys = argv[i + 1].split(',')
            i += 2
        elif argv[i] == '--require':
            require = int(argv[i + 1])
            i += 2
        elif argv[i] == '--min-side':
            min_side = float(argv[i + 1])
            i += 2
        else:
            rest.append(argv[i])
            i += 1
    argv = rest
    split = argv.index('--ours')
    real, ours = argv[1:split], argv[split + 1:]
    real_m = [(p, measure(p)) for p in real]
    print(header())
    for p, m in real_m:
        print(row(p.rsplit('/', 1)[-1], m))
    lo = {k: min(m[k] for _, m in real_m) for k in KEYS}
    hi = {k: max(m[k] for _, m in real_m) for k in KEYS}
    print(row('real minimum', lo))
    print(row('real maximum', hi))
    print()
    inside = 0
    for p in ours:
        m = measure(p)
        marks = {k for k in KEYS if k != 'side' and not (lo[k] <= m[k] <= hi[k])}
        if min_side is not None and m['side'] < min_side:
            marks.add('side')
        print(row(p.rsplit('/', 1)[-1], m, marks))
        inside += not (marks & (set(keys) | {'side'}))
    print(f'{inside} of {len(ours)} inside the real range on {", ".join(keys)}'
          + (f' with side/mid >= {min_side:g} dB' if min_side is not None else ''))
    if require is not None and inside < require:
        print(f'want at least {require}')
        return 1
    return 0


if __name__ == '__main__':
    sys.exit(main(sys.argv[1:]))
