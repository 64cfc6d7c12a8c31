#include "Dsp.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <numbers>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace quav {

bool PeakingParamsValid(const PeakingParams& p, int sampleRate) {
  // Written so that NaN fails every comparison.
  const bool centerOk = p.center >= 80.0f && p.center <= 16000.0f && static_cast<double>(p.center) < sampleRate / 3.0;
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

void PeakingBand::Reset() { fZ1[0] = fZ1[1] = fZ2[0] = fZ2[1] = 0.0; }

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
#if defined(__SSE2__)
  if (channels == 2) {
    // Both channels in one register, every band's state in registers for
    // the whole run.
    __m128d b0[16], b1[16], b2[16], a1[16], a2[16], z1[16], z2[16];
    for (size_t b = 0; b < n; ++b) {
      const PeakingBand& band = *active[b];
      b0[b] = _mm_set1_pd(band.fB0);
      b1[b] = _mm_set1_pd(band.fB1);
      b2[b] = _mm_set1_pd(band.fB2);
      a1[b] = _mm_set1_pd(band.fA1);
      a2[b] = _mm_set1_pd(band.fA2);
      z1[b] = _mm_loadu_pd(band.fZ1);
      z2[b] = _mm_loadu_pd(band.fZ2);
    }
    for (size_t f = 0; f < frames; ++f) {
      float* frame = samples + 2 * f;
      __m128d x = _mm_cvtps_pd(_mm_castsi128_ps(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(frame))));
      for (size_t b = 0; b < n; ++b) {
        const __m128d y = _mm_add_pd(_mm_mul_pd(b0[b], x), z1[b]);
        z1[b] = _mm_add_pd(_mm_sub_pd(_mm_mul_pd(b1[b], x), _mm_mul_pd(a1[b], y)), z2[b]);
        z2[b] = _mm_sub_pd(_mm_mul_pd(b2[b], x), _mm_mul_pd(a2[b], y));
        x = y;
      }
      _mm_storel_epi64(reinterpret_cast<__m128i*>(frame), _mm_castps_si128(_mm_cvtpd_ps(x)));
    }
    for (size_t b = 0; b < n; ++b) {
      _mm_storeu_pd(active[b]->fZ1, z1[b]);
      _mm_storeu_pd(active[b]->fZ2, z2[b]);
      active[b]->FlushDenormals();
    }
    return;
  }
#endif
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
  size_t i = 0;
  const size_t count = frames * static_cast<size_t>(channels);
#if defined(__SSE2__)
  // Four samples at a time: L R L R for stereo, four frames for mono.
  const __m128 signless = _mm_castsi128_ps(_mm_set1_epi32(0x7FFFFFFF));
  __m128 peak = _mm_setzero_ps();
  for (; i + 4 <= count; i += 4) peak = _mm_max_ps(peak, _mm_and_ps(_mm_loadu_ps(s + i), signless));
  alignas(16) float lanes[4];
  _mm_store_ps(lanes, peak);
  if (channels == 1) {
    l = std::max(std::max(lanes[0], lanes[1]), std::max(lanes[2], lanes[3]));
  } else {
    l = std::max(lanes[0], lanes[2]);
    r = std::max(lanes[1], lanes[3]);
  }
#endif
  if (channels == 1) {
    for (; i < count; ++i) l = std::max(l, std::fabs(s[i]));
    r = l;
  } else {
    for (; i + 1 < count; i += 2) {
      l = std::max(l, std::fabs(s[i]));
      r = std::max(r, std::fabs(s[i + 1]));
    }
  }
  left = l;
  right = r;
}

void ScaleAndMeasurePeaks(float* s, size_t frames, int channels, float gain, float& left, float& right) {
  if (gain == 1.0f) {
    MeasurePeaks(s, frames, channels, left, right);
    return;
  }
  float l = 0.0f, r = 0.0f;
  size_t i = 0;
  const size_t count = frames * static_cast<size_t>(channels);
#if defined(__SSE2__)
  const __m128 signless = _mm_castsi128_ps(_mm_set1_epi32(0x7FFFFFFF));
  const __m128 g = _mm_set1_ps(gain);
  __m128 peak = _mm_setzero_ps();
  for (; i + 4 <= count; i += 4) {
    const __m128 x = _mm_mul_ps(_mm_loadu_ps(s + i), g);
    _mm_storeu_ps(s + i, x);
    peak = _mm_max_ps(peak, _mm_and_ps(x, signless));
  }
  alignas(16) float lanes[4];
  _mm_store_ps(lanes, peak);
  if (channels == 1) {
    l = std::max(std::max(lanes[0], lanes[1]), std::max(lanes[2], lanes[3]));
  } else {
    l = std::max(lanes[0], lanes[2]);
    r = std::max(lanes[1], lanes[3]);
  }
#endif
  for (; i < count; ++i) {
    s[i] *= gain;
    float& peak = (channels == 1 || i % 2 == 0) ? l : r;
    peak = std::max(peak, std::fabs(s[i]));
  }
  if (channels == 1) r = l;
  left = l;
  right = r;
}

uint32_t PeakToLevel(float peak) {
  if (!(peak > 0.0f)) return 0;
  return static_cast<uint32_t>(std::lround(std::min(peak, 1.0f) * 32768.0f));
}

void FloatToS16(const float* src, int16_t* dst, size_t count) {
  size_t i = 0;
#if defined(__SSE2__)
  const __m128 scale = _mm_set1_ps(32768.0f);
  const __m128 hi = _mm_set1_ps(32767.0f);
  const __m128 lo = _mm_set1_ps(-32768.0f);
  for (; i + 8 <= count; i += 8) {
    __m128 a = _mm_loadu_ps(src + i);
    __m128 b = _mm_loadu_ps(src + i + 4);
    a = _mm_and_ps(a, _mm_cmpord_ps(a, a));  // NaN -> 0
    b = _mm_and_ps(b, _mm_cmpord_ps(b, b));
    a = _mm_max_ps(_mm_min_ps(_mm_mul_ps(a, scale), hi), lo);
    b = _mm_max_ps(_mm_min_ps(_mm_mul_ps(b, scale), hi), lo);
    // Conversion rounds to nearest even, as lrintf does.
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i), _mm_packs_epi32(_mm_cvtps_epi32(a), _mm_cvtps_epi32(b)));
  }
#endif
  for (; i < count; ++i) {
    const float x = src[i] * 32768.0f;
    const float v = x == x ? std::clamp(x, -32768.0f, 32767.0f) : 0.0f;
    dst[i] = static_cast<int16_t>(std::lrintf(v));
  }
}

void InterleaveStereo(const float* left, const float* right, float* dst, size_t frames) {
  size_t i = 0;
#if defined(__SSE2__)
  for (; i + 4 <= frames; i += 4) {
    const __m128 l = _mm_loadu_ps(left + i);
    const __m128 r = _mm_loadu_ps(right + i);
    _mm_storeu_ps(dst + 2 * i, _mm_unpacklo_ps(l, r));
    _mm_storeu_ps(dst + 2 * i + 4, _mm_unpackhi_ps(l, r));
  }
#endif
  for (; i < frames; ++i) {
    dst[2 * i] = left[i];
    dst[2 * i + 1] = right[i];
  }
}

}  // namespace quav
