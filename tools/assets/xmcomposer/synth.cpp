#include "tools/assets/xmcomposer/synth.h"

#include <algorithm>
#include <cmath>

#include "tools/assets/xmcomposer/dsp.h"

namespace xmc {
namespace {

// Chamberlin state-variable filter; returns the low-pass output.
struct Svf {
  double low = 0, band = 0;
  double lowpass(double x, double cutoffHz, double rate, double damping) {
    const double f = 2.0 * dsin(kPi * std::min(cutoffHz, rate / 6.0) / rate);
    low += f * band;
    const double high = x - low - damping * band;
    band += f * high;
    return low;
  }
  double bandpass(double x, double cutoffHz, double rate, double damping) {
    lowpass(x, cutoffHz, rate, damping);
    return band;
  }
};

int harmonicLimit(int period, int maxHarmonic) {
  const int nyquist = period / 2 - 1;
  return maxHarmonic > 0 ? std::min(maxHarmonic, nyquist) : nyquist;
}

double envelope(double t, double decay) { return dexp(-t / decay); }

}  // namespace

Wave sawCycle(int period, int maxHarmonic) {
  Wave w(period, 0.0);
  const int top = harmonicLimit(period, maxHarmonic);
  for (int k = 1; k <= top; ++k) {
    const double a = 1.0 / k;
    for (int i = 0; i < period; ++i) w[i] += a * dsin(kTwoPi * k * i / period);
  }
  return w;
}

Wave squareCycle(int period, double duty, int maxHarmonic) {
  Wave w(period, 0.0);
  const int top = harmonicLimit(period, maxHarmonic);
  for (int k = 1; k <= top; ++k) {
    // Pulse of width `duty`: harmonic k has amplitude sin(pi k duty) / k.
    const double a = dsin(kPi * k * duty) / k;
    for (int i = 0; i < period; ++i) w[i] += a * dcos(kTwoPi * k * (i + 0.5 - duty * period / 2) / period);
  }
  return w;
}

Wave triangleCycle(int period) {
  Wave w(period, 0.0);
  const int top = harmonicLimit(period, 0);
  for (int k = 1; k <= top; k += 2) {
    const double a = ((k / 2) % 2 ? -1.0 : 1.0) / (double(k) * k);
    for (int i = 0; i < period; ++i) w[i] += a * dsin(kTwoPi * k * i / period);
  }
  return w;
}

Wave sineCycle(int period) {
  Wave w(period);
  for (int i = 0; i < period; ++i) w[i] = dsin(kTwoPi * i / period);
  return w;
}

Wave organCycle(int period) {
  static const double kDrawbars[] = {1.0, 0.6, 0.0, 0.45, 0.0, 0.25, 0.0, 0.3};
  Wave w(period, 0.0);
  const int top = harmonicLimit(period, 8);
  for (int k = 1; k <= top; ++k) {
    for (int i = 0; i < period; ++i) w[i] += kDrawbars[k - 1] * dsin(kTwoPi * k * i / period);
  }
  return w;
}

Wave repeat(const Wave& cycle, int cycles) {
  Wave w;
  w.reserve(cycle.size() * cycles);
  for (int c = 0; c < cycles; ++c) w.insert(w.end(), cycle.begin(), cycle.end());
  return w;
}

Wave detunedSaws(int period, int cycles, const std::vector<int>& detune, int maxHarmonic) {
  const int length = period * cycles;
  Wave w(length, 0.0);
  for (size_t v = 0; v < detune.size(); ++v) {
    const int n = cycles + detune[v];
    const int top = harmonicLimit(period, maxHarmonic);
    const double phase = 0.37 * (v + 1);
    for (int k = 1; k <= top; ++k) {
      const double a = 1.0 / k;
      const double step = kTwoPi * k * n / length;
      for (int i = 0; i < length; ++i) w[i] += a * dsin(step * i + phase * k);
    }
  }
  return w;
}

Wave lowpassLoop(const Wave& loop, double cutoffHz, double rate) {
  const double a = 1.0 - dexp(-kTwoPi * cutoffHz / rate);
  Wave out(loop.size());
  double y = 0;
  for (int pass = 0; pass < 3; ++pass) {
    for (size_t i = 0; i < loop.size(); ++i) {
      y += a * (loop[i] - y);
      out[i] = y;
    }
  }
  return out;
}

Wave pluck(int period, int cycles, double brightness, uint32_t seed) {
  Rng rng(seed);
  Wave line(period);
  // Excite with noise already softened a little, so the attack is not harsh.
  double prev = 0;
  for (double& v : line) {
    prev = prev + brightness * (rng.bipolar() - prev);
    v = prev;
  }
  double mean = 0;
  for (double v : line) mean += v;
  mean /= period;
  for (double& v : line) v -= mean;
  Wave out;
  out.reserve(static_cast<size_t>(period) * cycles);
  const double keep = 0.5 + 0.5 * brightness;  // more brightness, slower damping of highs
  for (int c = 0; c < cycles; ++c) {
    for (int i = 0; i < period; ++i) {
      out.push_back(line[i]);
      const double next = line[(i + 1) % period];
      line[i] = 0.996 * (keep * line[i] + (1.0 - keep) * next);
    }
  }
  return out;
}

Wave filteredSaw(int period, int cycles, double rate, double startHz, double endHz, double resonance,
                 int maxHarmonic) {
  const Wave cyc = sawCycle(period, maxHarmonic);
  const int length = period * cycles;
  Wave out(length);
  Svf svf;
  const double damping = 2.0 - 1.9 * resonance;
  // The cutoff settles before the last two cycles so the loop cycle is steady.
  const int glide = std::max(period, length - 2 * period);
  for (int i = 0; i < length; ++i) {
    const double t = std::min(1.0, double(i) / glide);
    const double cutoff = startHz + (endHz - startHz) * (1 - (1 - t) * (1 - t));
    out[i] = svf.lowpass(cyc[i % period], cutoff, rate, damping);
  }
  // Make the last cycle exactly periodic by copying the one before it in.
  for (int i = 0; i < period; ++i) out[length - period + i] = out[length - 2 * period + i];
  return out;
}

Wave fm(int period, int cycles, double ratio, double index0, double index1, int loopCycles) {
  const int length = period * cycles;
  Wave out(length);
  const int settle = length - loopCycles * period;
  for (int i = 0; i < length; ++i) {
    const double t = settle > 0 ? std::min(1.0, double(i) / settle) : 1.0;
    const double index = index1 + (index0 - index1) * (1 - t) * (1 - t);
    const double ph = kTwoPi * i / period;
    out[i] = dsin(ph + index * dsin(ph * ratio));
  }
  return out;
}

Wave kick(double rate, double punch) {
  const int n = static_cast<int>(rate * 0.42);
  Wave w(n);
  double phase = 0;
  for (int i = 0; i < n; ++i) {
    const double t = i / rate;
    const double hz = 46.0 + 160.0 * punch * envelope(t, 0.028);
    phase += kTwoPi * hz / rate;
    const double body = dsin(phase) * envelope(t, 0.22);
    const double click = 0.5 * punch * dsin(kTwoPi * 1900.0 * t) * envelope(t, 0.0025);
    w[i] = dtanh(1.6 * (body + click));
  }
  return w;
}

Wave snare(double rate, uint32_t seed) {
  Rng rng(seed);
  const int n = static_cast<int>(rate * 0.28);
  Wave w(n);
  Svf svf;
  for (int i = 0; i < n; ++i) {
    const double t = i / rate;
    const double tone = (0.6 * dsin(kTwoPi * 182.0 * t) + 0.35 * dsin(kTwoPi * 331.0 * t)) * envelope(t, 0.045);
    const double noise = rng.bipolar();
    const double shaped = noise - svf.lowpass(noise, 1200.0, rate, 1.2);  // high-passed
    w[i] = dtanh(1.3 * (tone + 0.8 * shaped * envelope(t, 0.075)));
  }
  return w;
}

Wave hat(double rate, double decaySeconds, uint32_t seed) {
  Rng rng(seed);
  const int n = static_cast<int>(rate * decaySeconds * 4.0);
  Wave w(n);
  static const double kRatios[] = {2.0, 3.0, 4.16, 5.43, 6.79, 8.21};
  double prev = 0;
  for (int i = 0; i < n; ++i) {
    const double t = i / rate;
    double metal = 0;
    for (double r : kRatios) metal += dsin(kTwoPi * 317.0 * r * t) > 0 ? 1.0 : -1.0;
    const double x = 0.6 * rng.bipolar() + 0.08 * metal;
    const double high = x - prev;  // first difference: a gentle high-pass
    prev = x;
    const double tail = std::min(1.0, 10.0 * (n - i) / n);  // fade the last tenth, no click at the end
    w[i] = high * envelope(t, decaySeconds) * tail;
  }
  return w;
}

Wave clap(double rate, uint32_t seed) {
  Rng rng(seed);
  const int n = static_cast<int>(rate * 0.3);
  Wave w(n);
  Svf svf;
  for (int i = 0; i < n; ++i) {
    const double t = i / rate;
    double env = 0.6 * envelope(t, 0.09);
    for (double burst : {0.0, 0.011, 0.022}) {
      if (t >= burst) env = std::max(env, envelope(t - burst, 0.006));
    }
    w[i] = svf.bandpass(rng.bipolar(), 1150.0, rate, 0.7) * env;
  }
  return w;
}

Wave tom(double rate, double hz) {
  const int n = static_cast<int>(rate * 0.32);
  Wave w(n);
  double phase = 0;
  for (int i = 0; i < n; ++i) {
    const double t = i / rate;
    phase += kTwoPi * hz * (1.0 + 0.6 * envelope(t, 0.05)) / rate;
    w[i] = dsin(phase) * envelope(t, 0.16);
  }
  return w;
}

Wave noiseSweep(double rate, double seconds, uint32_t seed) {
  Rng rng(seed);
  const int n = static_cast<int>(rate * seconds);
  Wave w(n);
  Svf svf;
  for (int i = 0; i < n; ++i) {
    const double t = double(i) / n;
    const double cutoff = 150.0 * dexp2(t * 5.0);
    const double amp = t < 0.9 ? t / 0.9 : (1.0 - t) / 0.1;
    w[i] = svf.bandpass(rng.bipolar(), cutoff, rate, 0.5) * amp;
  }
  return w;
}

Wave chipNoise(double rate, double seconds, double decay, int hold, uint32_t seed) {
  Rng rng(seed);
  const int n = static_cast<int>(rate * seconds);
  Wave w(n);
  double v = 0;
  for (int i = 0; i < n; ++i) {
    if (i % hold == 0) v = (rng.next() & 0x8000) ? 1.0 : -1.0;
    w[i] = v * envelope(i / rate, decay);
  }
  return w;
}

Sample makeSample(const Wave& w, bool sixteenBit, double peak, LoopMode loop, uint32_t loopLength) {
  double top = 1e-9;
  for (double v : w) top = std::max(top, std::fabs(v));
  const double full = sixteenBit ? 32767.0 : 127.0;
  const double scale = peak * full / top;
  Sample s;
  s.sixteenBit = sixteenBit;
  s.data.reserve(w.size());
  // One-shots fade out over their last few hundred samples, so a voice that
  // reaches the end of its sample stops without a click.
  const size_t fade = loop == LoopMode::None ? std::min<size_t>(w.size() / 10, 400) : 0;
  for (size_t i = 0; i < w.size(); ++i) {
    const size_t left = w.size() - 1 - i;
    const double v = left < fade ? w[i] * double(left) / fade : w[i];
    const double q = std::floor(v * scale + 0.5);
    s.data.push_back(static_cast<int16_t>(std::clamp(q, -full - 1, full)));
  }
  if (loop != LoopMode::None && loopLength > 0 && loopLength <= s.data.size()) {
    s.loop = loop;
    s.loopLength = loopLength;
    s.loopStart = static_cast<uint32_t>(s.data.size()) - loopLength;
  }
  return s;
}

}  // namespace xmc
