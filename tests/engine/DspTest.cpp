// The processing units behind the engine: equaliser band, slides, ring,
// sample conversion.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <vector>

#include "Dsp.h"
#include "FrameRing.h"
#include "DeviceClock.h"

using namespace quav;

namespace {

TEST(PeakingBand, GainAtTheCentreAndHalfGainAtTheBandEdges) {
  struct Case {
    float center, bandwidth, gain;
    int rate;
  };
  for (const Case c :
       {Case{1000, 12, 6, 44100}, Case{80, 1, -15, 8000}, Case{3000, 24, 15, 48000}, Case{250, 6, -3.5f, 22050}}) {
    SCOPED_TRACE(testing::Message() << c.center << " Hz, " << c.bandwidth << " st, " << c.gain << " dB @ " << c.rate);
    PeakingBand band;
    band.Configure({c.center, c.bandwidth, c.gain}, c.rate);
    EXPECT_NEAR(band.ResponseDb(c.center, c.rate), c.gain, 0.01);
    // The bandwidth spans the points where the boost is half its dB value.
    const double half = std::pow(2.0, c.bandwidth / 24.0);
    if (c.center * half < c.rate / 2.0) {
      EXPECT_NEAR(band.ResponseDb(c.center * half, c.rate), c.gain / 2, 0.6);
    }
    EXPECT_NEAR(band.ResponseDb(c.center / half, c.rate), c.gain / 2, 0.6);
    EXPECT_NEAR(band.ResponseDb(1.0, c.rate), 0.0, 0.2);  // far below: untouched
  }
}

TEST(PeakingBand, ZeroGainIsAnExactBypassAndFilteringIsPerChannel) {
  PeakingBand band;
  band.Configure({1000, 12, 0}, 44100);
  EXPECT_TRUE(band.Bypassed());
  std::vector<float> x = {0.1f, -0.2f, 0.3f, 0.4f};
  band.Process(x.data(), 2, 2);
  EXPECT_EQ(x, (std::vector<float>{0.1f, -0.2f, 0.3f, 0.4f}));

  // An impulse on the left channel leaves the right one silent.
  band.Configure({1000, 12, 12}, 44100);
  EXPECT_FALSE(band.Bypassed());
  std::vector<float> stereo(2 * 64, 0.0f);
  stereo[0] = 1.0f;
  band.Process(stereo.data(), 64, 2);
  double right = 0;
  for (size_t i = 1; i < stereo.size(); i += 2) right += std::fabs(stereo[i]);
  EXPECT_EQ(right, 0.0);
  EXPECT_NE(stereo[2], 0.0f);
  // Processing in pieces gives the same as in one go (state carries over).
  PeakingBand whole, pieces;
  whole.Configure({500, 6, -9}, 8000);
  pieces.Configure({500, 6, -9}, 8000);
  std::vector<float> a(300), b;
  for (size_t i = 0; i < a.size(); ++i) a[i] = static_cast<float>(std::sin(i * 0.37));
  b = a;
  whole.Process(a.data(), a.size(), 1);
  pieces.Process(b.data(), 100, 1);
  pieces.Process(b.data() + 100, 200, 1);
  EXPECT_EQ(a, b);
}

TEST(PeakingParams, RangesOfTheClassicParametricEqualiser) {
  EXPECT_TRUE(PeakingParamsValid({80, 1, -15}, 44100));
  EXPECT_TRUE(PeakingParamsValid({16000, 36, 15}, 48001 + 1));
  EXPECT_FALSE(PeakingParamsValid({16000, 36, 15}, 48000));  // not below a third
  EXPECT_FALSE(PeakingParamsValid({79.9f, 12, 0}, 44100));
  EXPECT_FALSE(PeakingParamsValid({1000, 0.9f, 0}, 44100));
  EXPECT_FALSE(PeakingParamsValid({1000, 36.1f, 0}, 44100));
  EXPECT_FALSE(PeakingParamsValid({1000, 12, 15.1f}, 44100));
  EXPECT_FALSE(PeakingParamsValid({1000, 12, INFINITY}, 44100));
  EXPECT_FALSE(PeakingParamsValid({NAN, 12, 0}, 44100));
}

TEST(SlidingValue, MovesLinearlyAndRestartsFromWhereItIs) {
  SlidingValue v(1.0f);
  EXPECT_FALSE(v.SlidingAt(0));
  v.SlideTo(0.0f, 10.0, 0.2);
  EXPECT_EQ(v.At(9.0), 1.0f);
  EXPECT_NEAR(v.At(10.05), 0.75f, 1e-5);
  EXPECT_TRUE(v.SlidingAt(10.19));
  EXPECT_FALSE(v.SlidingAt(10.2));
  EXPECT_EQ(v.At(10.2), 0.0f);
  EXPECT_EQ(v.At(99.0), 0.0f);
  // A new slide mid-way starts from the value reached.
  v.Set(0.0f);
  v.SlideTo(1.0f, 0.0, 1.0);
  v.SlideTo(0.0f, 0.5, 0.5);
  EXPECT_NEAR(v.At(0.5), 0.5f, 1e-6);
  EXPECT_NEAR(v.At(0.75), 0.25f, 1e-6);
  // No duration: at once.
  v.SlideTo(3.0f, 1.0, 0.0);
  EXPECT_FALSE(v.SlidingAt(1.0));
  EXPECT_EQ(v.At(0.0), 3.0f);
}

TEST(FrameRing, WrapsAroundAndCountsEveryFrame) {
  FrameRing ring(5, 2);
  std::vector<float> in, out(2 * 5);
  float next = 0, expect = 0;
  for (int round = 0; round < 50; ++round) {
    const size_t want = static_cast<size_t>(round % 4 + 1);
    in.clear();
    for (size_t i = 0; i < want * 2; ++i) in.push_back(next + static_cast<float>(i));
    const size_t wrote = ring.Write(in.data(), want);
    EXPECT_LE(wrote, want);
    next += static_cast<float>(wrote * 2);
    EXPECT_LE(ring.Available(), 5u);
    const size_t got = ring.Read(out.data(), round % 3 + 1);
    for (size_t i = 0; i < got * 2; ++i) ASSERT_EQ(out[i], expect++) << "round " << round;
  }
  EXPECT_EQ(ring.WriteCount() - ring.ReadCount(), ring.Available());
  // Full: nothing more fits; discarding frees the space.
  while (ring.Space() > 0) ring.Write(in.data(), 1);
  EXPECT_EQ(ring.Write(in.data(), 1), 0u);
  EXPECT_EQ(ring.Read(nullptr, 100), 5u);
  EXPECT_EQ(ring.Available(), 0u);
  EXPECT_EQ(ring.Read(out.data(), 1), 0u);
}

TEST(SampleConversion, RoundsSaturatesAndReportsPeaks) {
  const float in[] = {0.0f, 0.5f, -0.5f, 1.0f, -1.0f, 2.0f, -3.0f, NAN, 1.0f / 65536};
  int16_t out[9];
  FloatToS16(in, out, 9);
  EXPECT_EQ(out[0], 0);
  EXPECT_EQ(out[1], 16384);
  EXPECT_EQ(out[2], -16384);
  EXPECT_EQ(out[3], 32767);
  EXPECT_EQ(out[4], -32768);
  EXPECT_EQ(out[5], 32767);
  EXPECT_EQ(out[6], -32768);
  EXPECT_EQ(out[7], 0);
  EXPECT_EQ(out[8], 0);  // half a step rounds to even
  // The same through the wide path, eight at a time.
  const float wide[16] = {1.0f / 65536, 3.0f / 65536, 2.0f, NAN, -2.0f, 0.25f, -1.0f, 1.0f,
                          1.0f / 65536, 3.0f / 65536, 2.0f, NAN, -2.0f, 0.25f, -1.0f, 1.0f};
  int16_t wideOut[16];
  FloatToS16(wide, wideOut, 16);
  for (int k = 0; k < 16; k += 8) {
    EXPECT_EQ(wideOut[k + 0], 0);
    EXPECT_EQ(wideOut[k + 1], 2);
    EXPECT_EQ(wideOut[k + 2], 32767);
    EXPECT_EQ(wideOut[k + 3], 0);
    EXPECT_EQ(wideOut[k + 4], -32768);
    EXPECT_EQ(wideOut[k + 5], 8192);
    EXPECT_EQ(wideOut[k + 6], -32768);
    EXPECT_EQ(wideOut[k + 7], 32767);
  }
  EXPECT_EQ(PeakToLevel(0.0f), 0u);
  EXPECT_EQ(PeakToLevel(1.0f), 32768u);
  EXPECT_EQ(PeakToLevel(7.0f), 32768u);
  EXPECT_EQ(PeakToLevel(NAN), 0u);
  float l, r;
  const float stereo[] = {0.1f, -0.9f, -0.3f, 0.2f};
  MeasurePeaks(stereo, 2, 2, l, r);
  EXPECT_FLOAT_EQ(l, 0.3f);
  EXPECT_FLOAT_EQ(r, 0.9f);
  MeasurePeaks(stereo, 4, 1, l, r);
  EXPECT_FLOAT_EQ(l, 0.9f);
  EXPECT_FLOAT_EQ(r, 0.9f);
  // Long enough for the wide path, with the peaks in the tail too.
  std::vector<float> longer(2 * 11, 0.01f);
  longer[4] = -0.5f;
  longer[21] = 0.75f;
  MeasurePeaks(longer.data(), 11, 2, l, r);
  EXPECT_FLOAT_EQ(l, 0.5f);
  EXPECT_FLOAT_EQ(r, 0.75f);
  MeasurePeaks(longer.data(), 22, 1, l, r);
  EXPECT_FLOAT_EQ(l, 0.75f);
  // Scaling and measuring in one pass: every sample scaled, the peaks those
  // of the scaled samples, the tail past the wide path included.
  std::vector<float> scaled = longer;
  ScaleAndMeasurePeaks(scaled.data(), 11, 2, 0.5f, l, r);
  for (size_t i = 0; i < scaled.size(); ++i) EXPECT_FLOAT_EQ(scaled[i], longer[i] * 0.5f) << i;
  EXPECT_FLOAT_EQ(l, 0.25f);
  EXPECT_FLOAT_EQ(r, 0.375f);
  scaled = longer;
  ScaleAndMeasurePeaks(scaled.data(), 21, 1, -2.0f, l, r);
  EXPECT_FLOAT_EQ(l, 1.0f);
  EXPECT_FLOAT_EQ(r, 1.0f);
  EXPECT_FLOAT_EQ(scaled[21], 0.75f);  // past the frames asked for: untouched
  ScaleAndMeasurePeaks(scaled.data(), 11, 2, 1.0f, l, r);
  EXPECT_FLOAT_EQ(scaled[4], 1.0f);  // gain 1 only measures
  EXPECT_FLOAT_EQ(l, 1.0f);
  // Two planes into frames, four at a time and then the tail.
  float left[7], right[7], frames[16];
  for (int i = 0; i < 7; ++i) left[i] = static_cast<float>(i), right[i] = static_cast<float>(-i - 1);
  frames[14] = frames[15] = 9.0f;
  InterleaveStereo(left, right, frames, 7);
  for (int i = 0; i < 7; ++i) {
    EXPECT_EQ(frames[2 * i], static_cast<float>(i)) << i;
    EXPECT_EQ(frames[2 * i + 1], static_cast<float>(-i - 1)) << i;
  }
  EXPECT_EQ(frames[14], 9.0f);  // nothing past the last frame
}

}  // namespace

namespace {

// The device clock walks back one latency over everything handed to the
// device, silence included.
TEST(DeviceClock, HeardFrameFollowsTheDeviceThroughGapsOfSilence) {
  DeviceClock clock(100);
  clock.Handed(1000, 1000);
  EXPECT_EQ(clock.Heard(), 900u);  // the last latency's worth is still on its way
  // The ring ran dry: the device plays silence, and what was handed before
  // it is heard one latency later.
  clock.Handed(0, 60);
  EXPECT_EQ(clock.Heard(), 960u);
  clock.Handed(0, 60);
  EXPECT_EQ(clock.Heard(), 1000u);
  clock.Handed(0, 100000);
  EXPECT_EQ(clock.Heard(), 1000u);  // everything heard, and no further
  // Audio again: heard one latency after it was handed, the silence in
  // between counting as device time only.
  clock.Handed(500, 500);
  EXPECT_EQ(clock.Heard(), 1400u);
  // A stall in the middle, then audio again: the heard frame waits at the
  // stall while the device plays the silence, it never steps back.
  clock.Handed(0, 200);
  EXPECT_EQ(clock.Heard(), 1500u);
  clock.Handed(50, 50);
  EXPECT_EQ(clock.Heard(), 1500u);
  clock.Handed(100, 100);
  EXPECT_EQ(clock.Heard(), 1550u);
  // A callback that is partly audio and partly silence.
  clock.Handed(30, 130);
  EXPECT_EQ(clock.Heard(), 1680u);
}

TEST(DeviceClock, WithoutLatencyHeardIsWhatLeftTheRingAndALongLatencyStillEnds) {
  DeviceClock ideal;
  ideal.Handed(10, 10);
  ideal.Handed(5, 8);
  EXPECT_EQ(ideal.Heard(), 15u);
  // Five seconds of buffering at 44.1 kHz and a stream of 1000 frames: all
  // heard once the device has played five seconds of silence after it.
  DeviceClock deep(220500);
  deep.Handed(1000, 1024);
  for (int i = 0; i < 214; ++i) deep.Handed(0, 1024);
  EXPECT_EQ(deep.Heard(), 0u);
  deep.Handed(0, 1024);
  EXPECT_EQ(deep.Heard(), 684u);  // the device is hearing frame 684 of the stream
  deep.Handed(0, 1024);
  EXPECT_EQ(deep.Heard(), 1000u);
  deep.Reset(0);
  EXPECT_EQ(deep.Heard(), 0u);
}

}  // namespace
