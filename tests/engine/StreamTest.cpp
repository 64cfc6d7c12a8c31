// A played stream's processing on its own: conversion to the output rate,
// the playback rate, and the mapping of output frames back to the file.
#include <gtest/gtest.h>

#include "Decoder.h"
#include "EngineTestSupport.h"
#include "Stream.h"

using namespace enginetest;

namespace {

std::unique_ptr<quav::Stream> PlayedStream(const std::string& path, int outRate) {
  quav::Decoder::OpenError error;
  auto decoder = quav::Decoder::Open(path, error);
  EXPECT_NE(decoder, nullptr) << path;
  if (!decoder) return nullptr;
  return std::make_unique<quav::Stream>(std::move(decoder), false, outRate);
}

// Plays the whole stream (from the start when restart) in device-sized
// blocks, as the engine thread does.
std::vector<float> RenderAll(quav::Stream& s, uint64_t firstFrame = 1000, bool restart = false) {
  EXPECT_TRUE(s.Play(restart));
  std::vector<float> out, block(512 * s.Channels());
  uint64_t frame = firstFrame;
  for (int guard = 0; guard < 100000; ++guard) {
    const size_t got = s.MixInto(block.data(), 512, frame, static_cast<double>(frame - firstFrame) / s.OutRate());
    out.insert(out.end(), block.begin(), block.begin() + got * s.Channels());
    frame += got;
    if (got < 512) break;
  }
  return out;
}

TEST(PlayedStream, ConvertsToTheOutputRateKeepingPitchLevelAndPositions) {
  testsupport::TempDir dir;
  for (double hz : {1000.0, 15000.0}) {
    SCOPED_TRACE(hz);
    auto s = PlayedStream(ToneFile(dir, "t48.wav", hz, 1.0, 48000, 2), 44100);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->Rate(), 48000);
    const std::vector<float> out = RenderAll(*s);
    const size_t frames = out.size() / 2;
    EXPECT_NEAR(static_cast<double>(frames), 44100, 64);
    const std::vector<float> left = Channel(out, 2, 0);
    EXPECT_NEAR(ToneFrequency(left, frames / 4, frames * 3 / 4, 44100), hz, hz / 1000);
    // A proper low-pass resampler keeps even 15 kHz at full level.
    double power = 0;
    for (size_t i = frames / 4; i < frames * 3 / 4; ++i) power += static_cast<double>(left[i]) * left[i];
    EXPECT_NEAR(std::sqrt(power / static_cast<double>(frames / 2)), 0.5 / std::sqrt(2.0), 0.01);
    // Output frames map back to frames of the file.
    EXPECT_EQ(s->LengthFrames(), 48000);
    EXPECT_NEAR(static_cast<double>(s->PositionAt(1000 + 22050)), 24000, 40);
    EXPECT_EQ(s->PositionAt(1000 + frames + 10), 48000);
    EXPECT_EQ(s->PositionAt(0), 0);
    EXPECT_TRUE(s->Ended());
  }
}

TEST(PlayedStream, PlaybackRateWorksOnTopOfTheConversion) {
  testsupport::TempDir dir;
  auto s = PlayedStream(ToneFile(dir, "t48.wav", 1000, 1.0, 48000, 1), 44100);
  ASSERT_NE(s, nullptr);
  s->SetAttribute(quav::Stream::Attribute::Frequency, 96000.0f);  // twice the file's rate
  const std::vector<float> out = RenderAll(*s);
  EXPECT_NEAR(static_cast<double>(out.size()), 22050, 64);
  EXPECT_NEAR(ToneFrequency(out, 2000, out.size() - 2000, 44100), 2000, 3);
  EXPECT_EQ(s->PositionAt(1000 + out.size()), 48000);
  EXPECT_FALSE(s->WantsMixing());
  // Back to the start: the same again.
  EXPECT_NEAR(static_cast<double>(RenderAll(*s, 50000, true).size()), 22050, 64);
  EXPECT_TRUE(s->Ended());
}

TEST(PlayedStream, SameRateIsCopiedUnchanged) {
  testsupport::TempDir dir;
  const std::string path = dir.write(
      "same.wav", WavBytes(44100, 2, 3000, [](int f, int c) { return ((f * 7 + c * 3) % 200 - 100) / 128.0; }));
  auto s = PlayedStream(path, 44100);
  ASSERT_NE(s, nullptr);
  const std::vector<float> out = RenderAll(*s);
  ASSERT_EQ(out.size(), 6000u);
  for (size_t i = 0; i < out.size(); i += 37) {
    const int f = static_cast<int>(i / 2), c = static_cast<int>(i % 2);
    const double want = std::lround(((f * 7 + c * 3) % 200 - 100) / 128.0 * 32767) / 32768.0;
    EXPECT_NEAR(out[i], want, 1e-6) << i;
  }
}

}  // namespace
