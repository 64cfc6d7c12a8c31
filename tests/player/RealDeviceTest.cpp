// The player on a real sound server: a private PulseAudio server with two
// null sinks, the player's quavlin.cfg naming a sink by its description or
// its number in the list (the engine's own output), and both sinks'
// monitors recorded. Tracks must end by themselves there, sound whole and
// in order, a single file must end with its audible run-down, and a track
// must play on when its sink goes away or the default sink changes.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <thread>

#include "PlayerHarness.h"
#include "PulseServer.h"

using namespace playertest;
using testsupport::PulseServer;
using testsupport::SoundSpans;
using testsupport::ToneFrequency;

namespace {

constexpr int kRate = 44100;

// The number the player lists a device under; 0 when it does not.
int DeviceNumber(const PlayerInstall& install, const std::string& name) {
  const PlayerRun r = install.Run({});
  std::smatch m;
  if (!std::regex_search(r.out, m, std::regex("(?:^|\n)(\\d+): " + name + "\r\n"))) return 0;
  return std::stoi(m[1]);
}

// The pitch falls over the last 300 ms of sound that ends at end.
void ExpectRunDown(const std::vector<float>& x, size_t end) {
  const size_t last = end - kRate * 3 / 10, middle = end - kRate * 15 / 100;
  const double early = ToneFrequency(x, last, middle, kRate);
  const double late = ToneFrequency(x, middle, end, kRate);
  EXPECT_GT(late, 0.0);
  EXPECT_LT(late, 400.0);
  EXPECT_LT(late, early - 20) << "the pitch does not fall";
}

class RealDevice : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!fServer.Problem().empty()) GTEST_SKIP() << fServer.Problem();
    ASSERT_TRUE(fServer.StartRecording());
  }

  // Runs the player with action on a thread of its own once the player's
  // stream has played for a second; actedAt is when the action ended.
  PlayerRun RunWhile(const std::vector<std::string>& args, const std::function<void()>& action, double& actedAt) {
    RunOptions options;
    options.timeoutSeconds = 20;
    std::thread actor([&] {
      for (int i = 0; i < 250 && !testsupport::Shell("pactl list short sink-inputs | grep -q ."); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
      std::this_thread::sleep_for(std::chrono::seconds(1));
      action();
      actedAt = Now();
    });
    const double start = Now();
    PlayerRun r = fInstall.Run(args, options);
    actor.join();
    actedAt -= start;
    return r;
  }

  PulseServer fServer{kRate, 2};
  PlayerInstall fInstall;
};

TEST_F(RealDevice, ListsEachSinkByItsDescriptionAndFlagsTheServersDefault) {
  const PlayerRun r = fInstall.Run({});
  EXPECT_NE(
      r.out.find("1: Quav-Sink-1\r\n\tdriver: PulseAudio\r\n\ttype: Speakers\r\n\tflags: enabled default (33554435)\r\n"
                 "2: Quav-Sink-2\r\n\tdriver: PulseAudio\r\n\ttype: Headphones\r\n\tflags: enabled (67108865)\r\n3: "),
      std::string::npos)
      << r.out;
  // PortAudio's devices follow, none of them the default any more.
  EXPECT_TRUE(std::regex_search(
      r.out, std::regex("\\d+: pulse\r\n\tdriver: ALSA\r\n\ttype: Unknown\r\n\tflags: enabled \\(1\\)")))
      << r.out;
  ASSERT_TRUE(fServer.Pactl("set-default-sink " + PulseServer::SinkName(1)));
  const PlayerRun after = fInstall.Run({});
  EXPECT_NE(after.out.find("1: Quav-Sink-1\r\n\tdriver: PulseAudio\r\n\ttype: Speakers\r\n\tflags: enabled (33554433)"),
            std::string::npos)
      << after.out;
  EXPECT_NE(after.out.find("\tflags: enabled default (67108867)\r\n"), std::string::npos) << after.out;
}

TEST_F(RealDevice, SingleFileEndsByItselfWithItsRunDown) {
  // The player winds down once it shows the last whole second; the slide is
  // heard some 0.26-0.31 s later (what the engine keeps ahead and the
  // device's buffer), so the run-down is heard in the 0.6 s left after it.
  fInstall.Write("quavlin.cfg", PulseServer::Description(0) + "\r\n100\r\n");
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
  ExpectRunDown(x, end);
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
  const int device = DeviceNumber(fInstall, PulseServer::Description(0));
  ASSERT_GT(device, 0) << fInstall.Run({}).out;
  fInstall.Write("quavlin.cfg", std::to_string(device) + "\r\n100\r\n");
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

// A change of the default sink (the default device -1) and a sink that goes
// away (a device named on line 1): the sound moves to the other sink and
// the track plays on to its end with its run-down.
TEST_F(RealDevice, TrackMovesToTheOtherSinkAndPlaysToItsEnd) {
  struct Case {
    const char* line1;
    int from, to;  // sinks
    std::function<bool(const PulseServer&)> action;
  } cases[] = {
      {"-1", 0, 1, [](const PulseServer& s) { return s.Pactl("set-default-sink " + PulseServer::SinkName(1)); }},
      {"Quav-Sink-2", 1, 0, [](const PulseServer& s) { return s.UnloadSink(1); }},
  };
  fInstall.Write("tone.wav", WavTone(4.6, 440, 2, kRate));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line1);
    fInstall.Write("quavlin.cfg", std::string(c.line1) + "\r\n100\r\n");
    if (&c != cases) {
      ASSERT_TRUE(fServer.StartRecording());
    }
    bool acted = false;
    double actedAt = 0;
    const PlayerRun r = RunWhile(
        {"tone.wav"}, [&] { acted = c.action(fServer); }, actedAt);
    const auto x = fServer.StopRecordings();
    EXPECT_TRUE(acted);
    ASSERT_EQ(r.exitCode, 0) << r.err << r.out.substr(0, 400);
    EXPECT_EQ(r.err, "");
    EXPECT_NE(r.out.find("Playing: 100%  - 0:04 - "), std::string::npos) << "stopped at the total";
    const auto before = SoundSpans(x[c.from], 0.01f, kRate / 10), after = SoundSpans(x[c.to], 0.01f, kRate / 10);
    ASSERT_EQ(before.size(), 1u);
    ASSERT_EQ(after.size(), 1u);
    // The moved part: at least the last two seconds of the tone and the
    // run-down, and the sound as a whole the whole track (the two monitors
    // start recording together).
    const double moved = static_cast<double>(after[0].end - after[0].begin) / kRate;
    const double whole = static_cast<double>(after[0].end - before[0].begin) / kRate;
    EXPECT_GT(moved, 2.0);
    EXPECT_GT(whole, 4.1);
    EXPECT_LT(whole, 4.9);
    EXPECT_LT(before[0].end, after[0].begin + kRate / 5) << "no gap of more than what was on its way";
    ExpectRunDown(x[c.to], after[0].end);
  }
}

// The server killed mid-track: the run ends within 3 s with exit code 2 and
// says why, on standard error too.
TEST_F(RealDevice, ServerKilledMidTrackEndsTheRunWithExitCode2) {
  fInstall.Write("quavlin.cfg", "-1\r\n100\r\n");
  fInstall.Write("tone.wav", WavTone(10, 440, 2, kRate));
  double killedAt = 0;
  const PlayerRun r = RunWhile(
      {"tone.wav"}, [&] { fServer.Kill(); }, killedAt);
  EXPECT_EQ(r.exitCode, 2) << r.out.substr(0, 400);
  EXPECT_LT(r.seconds - killedAt, 3.0);
  EXPECT_NE(r.out.find("Error(11): Output device lost\r\n"), std::string::npos) << r.out;
  EXPECT_NE(r.err.find("The output device went away"), std::string::npos) << r.err;
}

}  // namespace
