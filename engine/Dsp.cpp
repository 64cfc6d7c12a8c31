#include "Dsp.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <numbers>

namespace quav {

bool PeakingParamsValid(const PeakingParams& p, int sampleRate) {
  // Written so that NaN fails every comparison.
  const bool centerOk = p.center >= 80.0f && p.center <= 16000.0f &&
                        static_cast<double>(p.center) < sampleRate / 3.0;
  const bool bandwidthOk = p.bandwidth >= 1.0f && p.bandwidth <= 36.0f;
  const bool gainOk = p.gain >= -15.0f && p.gain <= 15.0f;
  return centerOk && bandwidthOk && gainOk;
}

void PeakingBand::Configure(const PeakingParams& p, int sampleRate) {
  fBypass = p.gain == 0.0f;
  if (fBypass) {
    Reset();
    return;
  }
  // Peaking filter from the well-known audio EQ cookbook, bandwidth given in
  // octaves (semitones / 12).
  const double a = std::pow(10.0, p.gain / 40.0);
  const double w0 = 2.0 * std::numbers::pi * p.center / sampleRate;
  const double octaves = p.bandwidth / 12.0;
  const double alpha = std::sin(w0) * std::sinh(std::numbers::ln2 / 2.0 * octaves * w0 / std::sin(w0));
  const double cosw = std::cos(w0);
  const double a0 = 1.0 + alpha / a;
  fB0 = (1.0 + alpha * a) / a0;
  fB1 = (-2.0 * cosw) / a0;
  fB2 = (1.0 - alpha * a) / a0;
  fA1 = (-2.0 * cosw) / a0;
  fA2 = (1.0 - alpha / a) / a0;
}

void PeakingBand::Reset() {
  fZ1[0] = fZ1[1] = fZ2[0] = fZ2[1] = 0.0;
}

void PeakingBand::Process(float* samples, size_t frames, int channels) {
  if (fBypass) return;
  for (int c = 0; c < channels && c < 2; ++c) {
    double z1 = fZ1[c], z2 = fZ2[c];
    float* s = samples + c;
    for (size_t i = 0; i < frames; ++i, s += channels) {
      const double x = *s;
      const double y = fB0 * x + z1;
      z1 = fB1 * x - fA1 * y + z2;
      z2 = fB2 * x - fA2 * y;
      *s = static_cast<float>(y);
    }
    // Decaying state after silence would sink into denormals.
    if (std::fabs(z1) < 1e-30) z1 = 0.0;
    if (std::fabs(z2) < 1e-30) z2 = 0.0;
    fZ1[c] = z1;
    fZ2[c] = z2;
  }
}

void PeakingBand::FlushDenormals() {
  for (int c = 0; c < 2; ++c) {
    if (std::fabs(fZ1[c]) < 1e-30) fZ1[c] = 0.0;
    if (std::fabs(fZ2[c]) < 1e-30) fZ2[c] = 0.0;
  }
}

void ProcessBands(PeakingBand* const* bands, size_t count, float* samples, size_t frames, int channels) {
  PeakingBand* active[16];
  size_t n = 0;
  for (size_t i = 0; i < count; ++i) {
    if (bands[i]->Bypassed()) continue;
    if (n == std::size(active)) {
      // More bands than the fast path holds: run them one after another.
      for (size_t j = i; j < count; ++j) bands[j]->Process(samples, frames, channels);
      break;
    }
    active[n++] = bands[i];
  }
  if (n == 0) return;
  if (channels == 2) {
    for (size_t f = 0; f < frames; ++f) {
      double l = samples[2 * f], r = samples[2 * f + 1];
      for (size_t b = 0; b < n; ++b) {
        l = active[b]->Tick(l, 0);
        r = active[b]->Tick(r, 1);
      }
      samples[2 * f] = static_cast<float>(l);
      samples[2 * f + 1] = static_cast<float>(r);
    }
  } else {
    for (size_t f = 0; f < frames; ++f) {
      double x = samples[f];
      for (size_t b = 0; b < n; ++b) x = active[b]->Tick(x, 0);
      samples[f] = static_cast<float>(x);
    }
  }
  for (size_t b = 0; b < n; ++b) active[b]->FlushDenormals();
}

double PeakingBand::ResponseDb(double hz, int sampleRate) const {
  if (fBypass) return 0.0;
  const std::complex<double> z = std::polar(1.0, -2.0 * std::numbers::pi * hz / sampleRate);
  const std::complex<double> h = (fB0 + fB1 * z + fB2 * z * z) / (1.0 + fA1 * z + fA2 * z * z);
  return 20.0 * std::log10(std::abs(h));
}

void SlidingValue::SlideTo(float target, double start, double seconds) {
  if (!(seconds > 0.0)) {
    Set(target);
    return;
  }
  fFrom = At(start);
  fTo = target;
  fStart = start;
  fEnd = start + seconds;
  fSliding = true;
}

float SlidingValue::At(double t) const {
  if (!fSliding) return fValue;
  if (t >= fEnd) return fTo;
  if (t <= fStart) return fFrom;
  const double k = (t - fStart) / (fEnd - fStart);
  return static_cast<float>(fFrom + (fTo - fFrom) * k);
}

void MeasurePeaks(const float* s, size_t frames, int channels, float& left, float& right) {
  float l = 0.0f, r = 0.0f;
  if (channels == 1) {
    for (size_t i = 0; i < frames; ++i) l = std::max(l, std::fabs(s[i]));
    r = l;
  } else {
    for (size_t i = 0; i < frames; ++i, s += channels) {
      l = std::max(l, std::fabs(s[0]));
      r = std::max(r, std::fabs(s[1]));
    }
  }
  left = l;
  right = r;
}

uint32_t PeakToLevel(float peak) {
  if (!(peak > 0.0f)) return 0;
  return static_cast<uint32_t>(std::lround(std::min(peak, 1.0f) * 32768.0f));
}

void FloatToS16(const float* src, int16_t* dst, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    const float x = src[i] * 32768.0f;
    const float v = x == x ? std::clamp(x, -32768.0f, 32767.0f) : 0.0f;
    dst[i] = static_cast<int16_t>(std::lrintf(v));
  }
}

}  // namespace quav
