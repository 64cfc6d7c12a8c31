// Helpers for the engine tests: tone files built in code or by real
// encoders, and simple signal measurements.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <functional>
#include <numbers>
#include <string>
#include <vector>

#include "PulseServer.h"
#include "RiffAsfBuilders.h"
#include "TestSupport.h"
#include "bass.h"

namespace enginetest {

// 16-bit PCM WAV; sample(frame, channel) gives values in -1..1.
inline std::string WavBytes(int rate, int channels, int frames, const std::function<double(int, int)>& sample) {
  testsupport::Bytes data;
  for (int f = 0; f < frames; ++f)
    for (int c = 0; c < channels; ++c)
      data.u16le(
          static_cast<uint16_t>(static_cast<int16_t>(std::lround(std::clamp(sample(f, c), -1.0, 1.0) * 32767.0))));
  return riffbuild::PcmWave(static_cast<uint16_t>(channels), static_cast<uint32_t>(rate), data.str());
}

inline std::function<double(int, int)> Sine(double hz, int rate, double amplitude = 0.5) {
  return [=](int f, int) { return amplitude * std::sin(2.0 * std::numbers::pi * hz * f / rate); };
}

// Writes a WAV tone and, for other extensions, encodes it with ffmpeg.
// Returns the path, or "" when the encoder is missing or failed.
inline std::string ToneFile(const testsupport::TempDir& dir, const std::string& name, double hz, double seconds,
                            int rate = 44100, int channels = 2, const std::string& ffmpegArgs = "") {
  const auto frames = static_cast<int>(seconds * rate);
  const std::string pcm = WavBytes(rate, channels, frames, Sine(hz, rate));
  if (name.size() > 4 && name.substr(name.size() - 4) == ".wav") return dir.write(name, pcm);
  const std::string wav = dir.write(name + ".src.wav", pcm);
  if (!testsupport::HaveProgram("ffmpeg")) return "";
  const std::string out = dir.file(name);
  if (!testsupport::Shell("ffmpeg -nostdin -hide_banner -loglevel error -y -i '" + wav + "' " + ffmpegArgs + " '" +
                          out + "'"))
    return "";
  return out;
}

// A DSF (1-bit DSD64) file of a sine, made by a second-order sigma-delta
// modulator.
inline std::string DsfBytes(double hz, double seconds, int channels) {
  constexpr uint32_t kRate = 2822400;
  constexpr uint32_t kBlock = 4096;  // bytes per channel per block
  const auto bits = static_cast<uint64_t>(seconds * kRate);
  const uint64_t blocks = (bits / 8 + kBlock - 1) / kBlock;
  std::vector<std::string> channelBytes(channels, std::string(blocks * kBlock, '\0'));
  for (int c = 0; c < channels; ++c) {
    double i1 = 0, i2 = 0, y = 0;
    for (uint64_t n = 0; n < bits; ++n) {
      const double x = 0.5 * std::sin(2.0 * std::numbers::pi * hz * static_cast<double>(n) / kRate);
      i1 += x - y;
      i2 += i1 - y;
      y = i2 >= 0 ? 1.0 : -1.0;
      if (y > 0) channelBytes[c][n / 8] = static_cast<char>(channelBytes[c][n / 8] | (1 << (n % 8)));  // LSB first
    }
  }
  testsupport::Bytes data;
  for (uint64_t b = 0; b < blocks; ++b)
    for (int c = 0; c < channels; ++c) data.raw(std::string_view(channelBytes[c]).substr(b * kBlock, kBlock));
  const uint64_t total = 28 + 52 + 12 + data.size();
  testsupport::Bytes f;
  f.raw("DSD ").u64le(28).u64le(total).u64le(0);
  f.raw("fmt ").u64le(52).u32le(1).u32le(0).u32le(channels == 1 ? 1 : 2).u32le(static_cast<uint32_t>(channels));
  f.u32le(kRate).u32le(1).u64le(bits).u32le(kBlock).u32le(0);
  f.raw("data").u64le(12 + data.size()).append(data);
  return f.str();
}

// Everything a decode-only stream delivers, as floats.
inline std::vector<float> ReadAll(HSTREAM stream, size_t chunkBytes = 16384) {
  std::vector<float> all;
  std::vector<float> buf(chunkBytes / sizeof(float));
  for (int guard = 0; guard < 1'000'000; ++guard) {
    const DWORD got = BASS_ChannelGetData(stream, buf.data(), static_cast<DWORD>(chunkBytes) | BASS_DATA_FLOAT);
    if (got == 0xFFFFFFFFu || got == 0) break;
    all.insert(all.end(), buf.begin(), buf.begin() + got / sizeof(float));
  }
  return all;
}

// One channel of interleaved samples.
inline std::vector<float> Channel(const std::vector<float>& s, int channels, int channel) {
  std::vector<float> out;
  for (size_t i = channel; i < s.size(); i += channels) out.push_back(s[i]);
  return out;
}

using testsupport::ToneFrequency;

// Moving average over width samples (a crude low-pass for noisy sources).
inline std::vector<float> Smooth(const std::vector<float>& x, size_t width) {
  std::vector<float> out(x.size());
  double sum = 0;
  for (size_t i = 0; i < x.size(); ++i) {
    sum += x[i];
    if (i >= width) sum -= x[i - width];
    out[i] = static_cast<float>(sum / static_cast<double>(std::min(i + 1, width)));
  }
  return out;
}

inline double Peak(const std::vector<float>& x, size_t from, size_t to) {
  double p = 0;
  for (size_t i = from; i < std::min(to, x.size()); ++i) p = std::max(p, std::fabs(static_cast<double>(x[i])));
  return p;
}

// Initialises the silent device for each test and frees it afterwards.
class SilentDeviceTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(BASS_Init(0, 44100, 0, nullptr, nullptr)) << BASS_ErrorGetCode(); }
  void TearDown() override { BASS_Free(); }
  testsupport::TempDir fDir;
};

}  // namespace enginetest
