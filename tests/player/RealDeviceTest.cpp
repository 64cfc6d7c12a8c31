// The player on a real sound server: a private PulseAudio server with two
// null sinks, the player's quavlin.cfg naming a sink by its description or
// its number in the list (the engine's own output), and both sinks'
// monitors recorded. Tracks must sound whole, in order and, in a list,
// joined without a gap; a track the listener ends runs down audibly; a
// track plays on when its sink goes away or the default sink changes, and
// a server that goes away ends the run.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <functional>
#include <iostream>
#include <regex>
#include <thread>

#include "PlayerHarness.h"
#include "PulseServer.h"
#include "RiffAsfBuilders.h"

using namespace playertest;
using testsupport::PulseServer;
using testsupport::SoundSpans;
using testsupport::ToneFrequency;

namespace {

constexpr int kRate = 44100;

// 16-bit stereo samples of a sine from frame `from` to frame `to` of one
// continuous tone, so that pieces of it join up exactly.
std::string ToneSamples(double hz, int64_t from, int64_t to) {
  testsupport::Bytes samples;
  for (int64_t i = from; i < to; ++i) {
    const auto v = static_cast<int16_t>(std::lround(0.5 * 32767 * std::sin(2 * M_PI * hz * i / kRate)));
    samples.u16le(static_cast<uint16_t>(v)).u16le(static_cast<uint16_t>(v));
  }
  return samples.str();
}

std::string Wav(const std::string& samples) { return riffbuild::PcmWave(2, kRate, samples); }

// Seconds of sound in a recording: gaps of more than a millisecond do not
// count (a busy machine's underruns add silence, never sound).
double HeardSeconds(const std::vector<float>& x) {
  double heard = 0;
  for (const auto& span : SoundSpans(x, 0.01f, kRate / 1000))
    heard += static_cast<double>(span.end - span.begin) / kRate;
  return heard;
}

// The longest run of samples below the threshold between from and to, and
// the largest step from one sample to the next there.
struct Join {
  size_t longestQuiet = 0;
  double largestStep = 0;
};
Join Measure(const std::vector<float>& x, size_t from, size_t to) {
  Join j;
  size_t quiet = 0;
  for (size_t i = from + 1; i < std::min(to, x.size()); ++i) {
    quiet = std::fabs(x[i]) < 0.01f ? quiet + 1 : 0;
    j.longestQuiet = std::max(j.longestQuiet, quiet);
    j.largestStep = std::max(j.largestStep, static_cast<double>(std::fabs(x[i] - x[i - 1])));
  }
  return j;
}

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
    // The first sink, by its description, at full volume.
    fInstall.Write("quavlin.cfg", PulseServer::Description(0) + "\r\n100\r\n");
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

TEST_F(RealDevice, SingleFilePlaysToItsEndAndTheSpaceBarRunsItDown) {
  // 2 s at 440 Hz, then 0.6 s at 1500 Hz: the end is heard whole and steady.
  fInstall.Write("tone.wav", Wav(ToneSamples(440, 0, 2 * kRate) + ToneSamples(1500, 0, kRate * 6 / 10)));
  RunOptions options;
  options.timeoutSeconds = 15;
  const PlayerRun r = fInstall.Run({"tone.wav"}, options);
  std::vector<float> x = fServer.StopRecording();
  ASSERT_EQ(r.exitCode, 0) << r.err << r.out.substr(0, 400);
  EXPECT_EQ(r.err, "");
  auto spans = SoundSpans(x, 0.01f, kRate / 10);
  ASSERT_EQ(spans.size(), 1u) << "one run of sound";
  size_t begin = spans[0].begin, end = spans[0].end;
  EXPECT_NEAR(HeardSeconds(x), 2.6, 0.03) << "the whole track";
  EXPECT_NEAR(ToneFrequency(x, begin + kRate / 10, begin + kRate * 19 / 10, kRate), 440.0, 2.0);
  EXPECT_NEAR(ToneFrequency(x, end - kRate * 5 / 10, end - kRate / 100, kRate), 1500.0, 5.0) << "its last half second";

  // The space bar ends an 8 s tone after a second: the rest is the run-down.
  fInstall.Write("long.wav", WavTone(8, 440, 2, kRate));
  ASSERT_TRUE(fServer.StartRecording());
  PtySession session(fInstall, {"long.wav"});
  ASSERT_TRUE(session.WaitFor(" - 0:01 - ", 10)) << session.Output();
  session.Send(" ");
  const int status = session.WaitExit(10);
  x = fServer.StopRecording();
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  spans = SoundSpans(x, 0.01f, kRate / 10);
  ASSERT_EQ(spans.size(), 1u);
  begin = spans[0].begin;
  end = spans[0].end;
  EXPECT_LT(static_cast<double>(end - begin) / kRate, 4.0) << "ended well before 8 s";
  // The last 300 ms of sound run down: the pitch falls from the tone to well
  // below it. (The slide is heard after the audio already buffered on its
  // way to the sink, so part of this window may still be the steady tone.)
  ExpectRunDown(x, end);
}

TEST_F(RealDevice, PauseSilencesTheSinkAndLosesNothing) {
  fInstall.Write("tone.wav", WavTone(4, 440, 2, kRate));
  PtySession session(fInstall, {"tone.wav"});
  ASSERT_TRUE(session.WaitFor(" - 0:01 - ", 10)) << session.Output();
  session.Send("p");
  ASSERT_TRUE(session.WaitFor("Paused: ", 5));
  session.WaitFor("never shown", 1.5);
  session.Send("p");
  const int status = session.WaitExit(15);
  const std::vector<float> x = fServer.StopRecording();
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  const auto spans = SoundSpans(x, 0.01f, kRate / 1000);
  ASSERT_GE(spans.size(), 2u) << "sound, the pause, sound";
  size_t pause = 0;
  for (size_t i = 1; i < spans.size(); ++i) pause = std::max(pause, spans[i].begin - spans[i - 1].end);
  EXPECT_GT(static_cast<double>(pause) / kRate, 1.2) << "the pause";
  EXPECT_NEAR(HeardSeconds(x), 4.0, 0.03) << "every part of the tone once";
}

TEST_F(RealDevice, TracksOfAFolderJoinWithoutAGap) {
  // One continuous tone cut in two, off a zero crossing: the join must not
  // be heard, neither as silence nor as a click.
  const int64_t cut = kRate + 37, total = 2 * kRate;
  fInstall.Write("halves/1.wav", Wav(ToneSamples(440, 0, cut)));
  fInstall.Write("halves/2.wav", Wav(ToneSamples(440, cut, total)));
  RunOptions options;
  options.timeoutSeconds = 15;
  const PlayerRun r = fInstall.Run({"halves", "/n"}, options);
  const std::vector<float> x = fServer.StopRecording();
  ASSERT_EQ(r.exitCode, 0) << r.err << r.out.substr(0, 400);
  ASSERT_NE(r.out.find("Playing file: 2 2 "), std::string::npos) << r.out;
  const auto spans = SoundSpans(x, 0.01f, kRate / 10);
  ASSERT_EQ(spans.size(), 1u) << "a gap at the join";
  EXPECT_NEAR(static_cast<double>(spans[0].end - spans[0].begin) / kRate, 2.0, 0.1);
  // Around the join (a busy machine may underrun elsewhere): no silence of
  // 10 ms, no click; a sine of amplitude 0.5 at 440 Hz moves at most 0.031
  // between samples.
  const size_t join = spans[0].begin + static_cast<size_t>(cut);
  const Join j = Measure(x, join - kRate / 10, join + kRate / 10);
  std::cout << "join: longest quiet run " << j.longestQuiet << " samples, largest step " << j.largestStep << "\n";
  EXPECT_LT(j.longestQuiet, static_cast<size_t>(kRate / 100)) << "no silence over 10 ms";
  EXPECT_LT(j.largestStep, 0.045) << "a click";
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
  // The sink by its number in the list, this time.
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

  // One run of sound, the three tracks joined: each its whole 1.2 s at its
  // pitch, whatever its rate.
  const auto spans = SoundSpans(x, 0.05f, kRate / 20);
  ASSERT_EQ(spans.size(), 1u) << "recorded " << x.size() << " samples";
  EXPECT_NEAR(HeardSeconds(x), 3.6, 0.05);
  for (size_t i = 0; i < 3; ++i) {
    SCOPED_TRACE(tracks[i].name);
    const size_t from = spans[0].begin + static_cast<size_t>(kRate * (1.2 * static_cast<double>(i) + 0.15));
    EXPECT_NEAR(ToneFrequency(x, from, from + kRate * 9 / 10, kRate), tracks[i].hz, tracks[i].hz / 100);
  }
}

// A change of the default sink (the default device -1) and a sink that goes
// away (a device named on line 1): the sound moves to the other sink and
// the track plays on to its end.
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
    // The moved part: at least the last two seconds of the tone, and the
    // sound as a whole the whole track (the two monitors start recording
    // together).
    const double moved = static_cast<double>(after[0].end - after[0].begin) / kRate;
    const double whole = static_cast<double>(after[0].end - before[0].begin) / kRate;
    EXPECT_GT(moved, 2.0);
    EXPECT_GT(whole, 4.1);
    EXPECT_LT(whole, 4.9);
    EXPECT_LT(before[0].end, after[0].begin + kRate / 5) << "no gap of more than what was on its way";
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
