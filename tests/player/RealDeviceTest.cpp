// The player on a real sound device: a private PulseAudio server whose
// default sink is a null sink, the player's quavlin.cfg naming PortAudio's
// "pulse" device, and the sink's monitor recorded. Tracks must end by
// themselves there, sound whole and in order, and a single file must end
// with its audible run-down.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>

#include "PlayerHarness.h"
#include "PulseServer.h"

using namespace playertest;
using testsupport::PulseServer;
using testsupport::SoundSpans;
using testsupport::ToneFrequency;

namespace {

constexpr int kRate = 44100;

// The number the player lists the "pulse" device under; 0 when it does not.
int PulseDeviceNumber(const PlayerInstall& install) {
  const PlayerRun r = install.Run({});
  std::smatch m;
  if (!std::regex_search(r.out, m, std::regex(R"((?:^|\n)(\d+): pulse\r\n)"))) return 0;
  return std::stoi(m[1]);
}

class RealDevice : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!fServer.Problem().empty()) GTEST_SKIP() << fServer.Problem();
    fDevice = PulseDeviceNumber(fInstall);
    ASSERT_GT(fDevice, 0) << "the player lists no device that reaches the server:\n" << fInstall.Run({}).out;
    fInstall.Write("quavlin.cfg", std::to_string(fDevice) + "\r\n100\r\n");
    ASSERT_TRUE(fServer.StartRecording());
  }

  PulseServer fServer{kRate};
  PlayerInstall fInstall;
  int fDevice = 0;
};

TEST_F(RealDevice, SingleFileEndsByItselfWithItsRunDown) {
  // The player winds down once it shows the last whole second; the slide is
  // heard some 0.26-0.31 s later (what the engine keeps ahead and the
  // device's buffer), so the run-down is heard in the 0.6 s left after it.
  fInstall.Write("tone.wav", WavTone(3.6, 440, 2, kRate));
  RunOptions options;
  options.timeoutSeconds = 15;
  const PlayerRun r = fInstall.Run({"tone.wav"}, options);
  const std::vector<float> x = fServer.StopRecording();
  ASSERT_EQ(r.exitCode, 0) << r.err << r.out.substr(0, 400);
  EXPECT_EQ(r.err, "");
  // About 4.4 s on a quiet machine; the bound leaves room for a loaded one
  // (a player that never ends runs into the 15 s timeout).
  EXPECT_LT(r.seconds, 3.6 + 4.0) << "the track did not end by itself";
  EXPECT_NE(r.out.find("Playing: 100%  - 0:03 - "), std::string::npos) << "stopped at the total";

  const auto spans = SoundSpans(x, 0.01f, kRate / 10);
  ASSERT_EQ(spans.size(), 1u) << "one run of sound";
  const size_t begin = spans[0].begin, end = spans[0].end;
  const double seconds = static_cast<double>(end - begin) / kRate;
  // Three seconds of the tone (the player stops at the first tick that
  // shows the total), then the rate slide and the fade.
  EXPECT_GT(seconds, 3.1);
  EXPECT_LT(seconds, 3.9);
  EXPECT_NEAR(ToneFrequency(x, begin + kRate / 10, begin + kRate * 28 / 10, kRate), 440.0, 2.0);
  // The last 300 ms of sound run down: the pitch falls from the tone to well
  // below it. (The slide is heard after the audio already buffered on its
  // way to the sink, so part of this window may still be the steady tone.)
  const size_t last = end - kRate * 3 / 10, middle = end - kRate * 15 / 100;
  const double early = ToneFrequency(x, last, middle, kRate);
  const double late = ToneFrequency(x, middle, end, kRate);
  EXPECT_GT(late, 0.0);
  EXPECT_LT(late, 400.0);
  EXPECT_LT(late, early - 20) << "the pitch does not fall";
}

TEST_F(RealDevice, FolderOfThreeRatesAndFormatsPlaysWholeAndInOrder) {
  if (!testsupport::HaveProgram("ffmpeg")) GTEST_SKIP() << "ffmpeg is not installed";
  testsupport::TempDir sources;
  struct Track {
    const char* name;
    double hz;
    int rate;
    const char* codec;
  };
  const Track tracks[] = {{"1-first.wav", 440, 44100, "pcm_s16le"},
                          {"2-second.flac", 660, 48000, "flac"},
                          {"3-third.ogg", 880, 22050, "libvorbis"}};
  std::filesystem::create_directory(fInstall.File("music"));
  for (const Track& t : tracks) {
    const std::string wav = sources.write("src.wav", WavTone(1.2, t.hz, 2, t.rate));
    ASSERT_TRUE(testsupport::Shell("ffmpeg -nostdin -v error -y -i '" + wav + "' -c:a " + t.codec + " '" +
                                   fInstall.File(std::string("music/") + t.name) + "'"))
        << t.name;
  }
  RunOptions options;
  options.timeoutSeconds = 20;
  const PlayerRun r = fInstall.Run({"music", "/n"}, options);
  const std::vector<float> x = fServer.StopRecording();
  ASSERT_EQ(r.exitCode, 0) << r.err << r.out.substr(0, 400);
  for (int n = 1; n <= 3; ++n)
    EXPECT_NE(r.out.find("Playing file: " + std::to_string(n) + " "), std::string::npos) << n;

  // Three runs of sound, one per track, each the whole 1.2 s at its pitch.
  const auto spans = SoundSpans(x, 0.05f, kRate / 20);
  std::string where;
  for (const auto& span : spans)
    where +=
        " " + std::to_string(span.begin / (kRate / 1000)) + "-" + std::to_string(span.end / (kRate / 1000)) + " ms";
  ASSERT_EQ(spans.size(), 3u) << "recorded " << x.size() << " samples; sound at" << where;
  for (size_t i = 0; i < 3; ++i) {
    SCOPED_TRACE(tracks[i].name);
    const double seconds = static_cast<double>(spans[i].end - spans[i].begin) / kRate;
    EXPECT_NEAR(seconds, 1.2, 0.06);
    EXPECT_NEAR(ToneFrequency(x, spans[i].begin + kRate / 10, spans[i].end - kRate / 10, kRate), tracks[i].hz,
                tracks[i].hz / 100);
  }
}

}  // namespace
