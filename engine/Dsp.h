// Small signal-processing units of a stream: peaking equaliser bands, an
// attribute with a timed slide, peak measurement and sample conversion.
// Each is plain single-threaded code; the stream's lock protects them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

namespace quav {

// An allocator whose containers leave new elements of a plain type
// uninitialised when they grow.
template <class T>
struct UninitialisedAllocator : std::allocator<T> {
  UninitialisedAllocator() = default;
  template <class U>
  UninitialisedAllocator(const UninitialisedAllocator<U>&) noexcept {}  // NOLINT: converting, as allocators are
  template <class U, class... Args>
  void construct(U* p, Args&&... args) {
    if constexpr (sizeof...(Args) == 0)
      ::new (static_cast<void*>(p)) U;
    else
      ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
  }
};

// Interleaved float samples. Growing the buffer does not zero the new
// samples: the decoder and the converters write them straight away, and
// zeroing first cost a pass over every sample decoded.
using Samples = std::vector<float, UninitialisedAllocator<float>>;

// Parameters of one peaking band, in the units of the public interface.
struct PeakingParams {
  float center = 8000.0f;   // Hz
  float bandwidth = 12.0f;  // semitones
  float gain = 0.0f;        // dB
};

// Whether the parameters are acceptable at the given sample rate: centre
// 80..16000 Hz and below a third of the rate, bandwidth 1..36 semitones,
// gain -15..+15 dB (NaN never is).
bool PeakingParamsValid(const PeakingParams& params, int sampleRate);

class PeakingBand;
void ProcessBands(PeakingBand* const* bands, size_t count, float* samples, size_t frames, int channels);

// One second-order peaking filter for up to two interleaved channels
// (transposed direct form II, double state).
class PeakingBand {
 public:
  void Configure(const PeakingParams& params, int sampleRate);
  void Reset();
  // Filters frames interleaved frames in place. A band at 0 dB does nothing.
  void Process(float* samples, size_t frames, int channels);
  bool Bypassed() const { return fBypass; }

  // Gain of the configured filter at frequency hz, in dB (for checks).
  double ResponseDb(double hz, int sampleRate) const;

  // One sample of channel c.
  double Tick(double x, int c) {
    const double y = fB0 * x + fZ1[c];
    fZ1[c] = fB1 * x - fA1 * y + fZ2[c];
    fZ2[c] = fB2 * x - fA2 * y;
    return y;
  }
  // Sets decayed state to zero (denormals are slow).
  void FlushDenormals();

  friend void ProcessBands(PeakingBand* const* bands, size_t count, float* samples, size_t frames, int channels);

 private:
  bool fBypass = true;
  double fB0 = 1, fB1 = 0, fB2 = 0, fA1 = 0, fA2 = 0;
  double fZ1[2] = {0, 0};
  double fZ2[2] = {0, 0};
};

// Runs samples through a chain of bands, frame by frame through every band
// (so that the bands' recurrences overlap), skipping bands at 0 dB.
void ProcessBands(PeakingBand* const* bands, size_t count, float* samples, size_t frames, int channels);

// A value that can slide linearly to a target over a span of a clock.
class SlidingValue {
 public:
  explicit SlidingValue(float value = 0.0f) : fValue(value) {}
  // Sets the value at once and ends any slide.
  void Set(float value) {
    fValue = value;
    fSliding = false;
  }
  // Starts a slide at clock time start from the value there to target.
  void SlideTo(float target, double start, double seconds);
  // The value at clock time t (the target once a slide has run its course).
  float At(double t) const;
  // True while clock time t lies before the end of the last slide.
  bool SlidingAt(double t) const { return fSliding && t < fEnd; }

 private:
  float fValue;
  bool fSliding = false;
  float fFrom = 0, fTo = 0;
  double fStart = 0, fEnd = 0;
};

// Peak of |sample| per channel over interleaved frames (mono: both the same).
void MeasurePeaks(const float* samples, size_t frames, int channels, float& left, float& right);

// Multiplies the samples by gain and measures their peaks, in one pass.
void ScaleAndMeasurePeaks(float* samples, size_t frames, int channels, float gain, float& left, float& right);

// Peak as 0..32768.
uint32_t PeakToLevel(float peak);

// Float -> 16-bit with rounding and saturation.
void FloatToS16(const float* src, int16_t* dst, size_t count);

// Two channel planes -> interleaved stereo frames.
void InterleaveStereo(const float* left, const float* right, float* dst, size_t frames);

}  // namespace quav
