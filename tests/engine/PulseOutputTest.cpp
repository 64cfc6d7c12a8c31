// End to end through a real sound server: a private PulseAudio with two
// null sinks, reached through the engine's own output (a sink chosen by its
// description, or the default) and through PortAudio's ALSA "pulse" device,
// recorded from the sinks' monitors.
//
// The playing half runs in a child process (this test binary again, with a
// filter): devices are listed once per process, and the server has to be
// up before that happens.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <thread>

#include "EngineTestSupport.h"

using namespace enginetest;
using testsupport::PulseServer;

namespace {

constexpr const char* kToneEnv = "QUAV_ENGINE_TEST_TONE";
constexpr const char* kDeviceEnv = "QUAV_ENGINE_TEST_DEVICE";

void Pause(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

std::string SelfPath() {
  char buf[4096];
  const ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
  return n > 0 ? std::string(buf, static_cast<size_t>(n)) : std::string();
}

testsupport::RunResult RunChild(const std::string& test, const std::vector<std::string>& env) {
  testsupport::RunOptions options;
  options.env = env;
  options.timeoutSeconds = 30;
  return testsupport::Run({SelfPath(), "--gtest_also_run_disabled_tests", "--gtest_filter=PulseOutput." + test},
                          options);
}

// The listed device of that name; 0 when there is none.
int DeviceNamed(const std::string& name, std::string& names) {
  BASS_DEVICEINFO info;
  for (DWORD i = 1; BASS_GetDeviceInfo(i, &info); ++i) {
    names += std::string(info.name) + " (" + info.driver + "); ";
    if (name == info.name) return static_cast<int>(i);
  }
  return 0;
}

TEST(PulseOutput, PlaysAToneAndItsRunDownToTheEndOnTheChosenSinkOnly) {
  PulseServer server(44100, 2);
  if (!server.Problem().empty()) GTEST_SKIP() << server.Problem();
  testsupport::TempDir dir;
  const std::string tone = ToneFile(dir, "tone.wav", 440, 3.0, 44100, 2);
  // PortAudio's "pulse" device reaches the default sink, the first.
  for (const auto& [device, sink] : {std::pair{std::string("pulse"), 0}, {PulseServer::Description(1), 1}}) {
    SCOPED_TRACE(device);
    ASSERT_TRUE(server.StartRecording());
    const testsupport::RunResult child = RunChild(
        "DISABLED_ChildPlaysTone", {std::string(kToneEnv) + "=" + tone, std::string(kDeviceEnv) + "=" + device});
    EXPECT_EQ(child.exitCode, 0) << child.out << child.err;
    EXPECT_EQ(child.err, "") << "the engine wrote to stderr";
    const auto recordings = server.StopRecordings();
    const std::vector<float>& x = recordings[sink];
    const std::vector<float>& other = recordings[1 - sink];
    EXPECT_LT(Peak(other, 0, other.size()), 0.01) << "heard on the other sink too";

    size_t onset = 0;
    while (onset < x.size() && std::fabs(x[onset]) < 0.1f) ++onset;
    ASSERT_LT(onset + 44100 * 3 / 2, x.size()) << "no tone recorded (" << x.size() << " samples)";
    const size_t rate = 44100;
    // The steady tone: its frequency and level arrive unchanged.
    EXPECT_NEAR(ToneFrequency(x, onset + rate / 10, onset + rate * 7 / 10, 44100), 440.0, 2.0);
    EXPECT_NEAR(Peak(x, onset + rate / 10, onset + rate * 7 / 10), 0.5, 0.1);
    // The child slides the rate down, fades out and frees the engine the
    // moment the fade ends, as the player does; the fade is still on its
    // way to the server then, and is heard to its end: the sound dies away
    // instead of stopping short.
    size_t end = x.size();
    while (end > onset && std::fabs(x[end - 1]) < 0.01f) --end;
    ASSERT_GT(end, onset + rate * 3 / 2);
    // The slide began about half a second before the end (the fade starts
    // 300 ms after it, give or take what the engine had buffered at either
    // moment): the pitch falls well below the tone while it is still loud...
    const double sliding = ToneFrequency(x, end - rate * 3 / 10, end - rate / 5, 44100);
    EXPECT_LT(sliding, 352.0);
    EXPECT_GT(sliding, 20.0);
    EXPECT_GT(Peak(x, end - rate * 3 / 10, end - rate / 5), 0.2);
    // ...and the last 50 ms are the tail of the fade.
    EXPECT_LT(Peak(x, end - rate / 20, end), 0.2) << "the sound was cut off before its fade ended";
  }
}

// The playing half; run by the test above in its own process.
TEST(PulseOutput, DISABLED_ChildPlaysTone) {
  const char* tone = std::getenv(kToneEnv);
  const char* name = std::getenv(kDeviceEnv);
  ASSERT_TRUE(tone != nullptr && name != nullptr);
  std::string names;
  const int device = DeviceNamed(name, names);
  ASSERT_GT(device, 0) << "no device reaches the server: " << names;
  ASSERT_TRUE(BASS_Init(device, 44100, BASS_DEVICE_3D, nullptr, nullptr)) << BASS_ErrorGetCode();
  const HSTREAM h = BASS_StreamCreateFile(FALSE, tone, 0, 0, 0);
  ASSERT_NE(h, 0u);
  ASSERT_TRUE(BASS_ChannelPlay(h, FALSE));
  // A freshly started server may take a moment before it consumes audio.
  for (int i = 0; i < 500 && BASS_ChannelGetLevel(h) == 0; ++i) Pause(10);
  Pause(1000);
  // A second after the tone was first heard, the position says one second.
  EXPECT_NEAR(BASS_ChannelBytes2Seconds(h, BASS_ChannelGetPosition(h, BASS_POS_BYTE)), 1.0, 0.1);
  EXPECT_EQ(BASS_ChannelIsActive(h), static_cast<DWORD>(BASS_ACTIVE_PLAYING));
  EXPECT_EQ(BASS_IsStarted(), static_cast<DWORD>(BASS_ACTIVE_PLAYING));
  EXPECT_GT(BASS_ChannelGetLevel(h) & 0xFFFF, 10000u);
  ASSERT_TRUE(BASS_ChannelSlideAttribute(h, BASS_ATTRIB_FREQ, 1000.0f, 500));
  Pause(300);
  ASSERT_TRUE(BASS_ChannelSlideAttribute(h, BASS_ATTRIB_VOL, 0.0f, 200));
  for (int i = 0; i < 100 && BASS_ChannelIsSliding(h, BASS_ATTRIB_VOL); ++i) Pause(5);
  EXPECT_TRUE(BASS_Free());
}

// BASS_Free lets everything mixed be heard before the device stops: with a
// second of buffer, the child frees the engine a second after the tone was
// first heard, and the server still plays the second it held.
TEST(PulseOutput, FreeLetsTheBufferedAudioBeHeard) {
  PulseServer server;
  if (!server.Problem().empty()) GTEST_SKIP() << server.Problem();
  testsupport::TempDir dir;
  const std::string tone = ToneFile(dir, "tone.wav", 440, 5.0, 44100, 2);
  ASSERT_TRUE(server.StartRecording());
  const testsupport::RunResult child = RunChild("DISABLED_ChildFreesAtOnce", {std::string(kToneEnv) + "=" + tone});
  EXPECT_EQ(child.exitCode, 0) << child.out << child.err;
  const auto spans = testsupport::SoundSpans(server.StopRecording(), 0.1f, 1);
  ASSERT_FALSE(spans.empty()) << "no tone recorded";
  // About 2 s; stopping when Free is called would leave 1 s, stopping once
  // the drain's slack alone has passed 1.25 s.
  EXPECT_GT(static_cast<double>(spans.back().end - spans.front().begin) / server.Rate(), 1.7);
}

TEST(PulseOutput, DISABLED_ChildFreesAtOnce) {
  ASSERT_TRUE(BASS_SetConfig(BASS_CONFIG_DEV_BUFFER, 1000));
  ASSERT_TRUE(BASS_Init(-1, 44100, 0, nullptr, nullptr)) << BASS_ErrorGetCode();
  const HSTREAM h = BASS_StreamCreateFile(FALSE, std::getenv(kToneEnv), 0, 0, 0);
  ASSERT_TRUE(BASS_ChannelPlay(h, FALSE));
  for (int i = 0; i < 500 && BASS_ChannelGetLevel(h) == 0; ++i) Pause(10);
  Pause(1000);
  EXPECT_TRUE(BASS_Free());
}

// A server that dies mid-stream (the child kills it once the tone is
// heard): the engine says so within 3 s, and no call waits for it.
TEST(PulseOutput, ALostServerIsReportedAndNoCallWaitsForIt) {
  PulseServer server;
  if (!server.Problem().empty()) GTEST_SKIP() << server.Problem();
  testsupport::TempDir dir;
  const std::string tone = ToneFile(dir, "tone.wav", 440, 10.0, 44100, 2);
  const testsupport::RunResult child =
      RunChild("DISABLED_ChildLosesTheServer",
               {std::string(kToneEnv) + "=" + tone, "QUAV_SERVER_PID=" + std::to_string(server.Pid())});
  EXPECT_EQ(child.exitCode, 0) << child.out << child.err;
}

TEST(PulseOutput, DISABLED_ChildLosesTheServer) {
  ASSERT_TRUE(BASS_Init(-1, 44100, 0, nullptr, nullptr)) << BASS_ErrorGetCode();
  BASS_DEVICEINFO info;
  ASSERT_TRUE(BASS_GetDeviceInfo(BASS_GetDevice(), &info));
  EXPECT_STREQ(info.driver, "PulseAudio") << "the default device is the server's default sink";
  const HSTREAM h = BASS_StreamCreateFile(FALSE, std::getenv(kToneEnv), 0, 0, 0);
  ASSERT_TRUE(BASS_ChannelPlay(h, FALSE));
  for (int i = 0; i < 500 && BASS_ChannelGetLevel(h) == 0; ++i) Pause(10);
  ASSERT_EQ(BASS_IsStarted(), static_cast<DWORD>(BASS_ACTIVE_PLAYING));
  ::kill(std::atoi(std::getenv("QUAV_SERVER_PID")), SIGKILL);
  const double killed = testsupport::Now();
  while (BASS_IsStarted() == BASS_ACTIVE_PLAYING && testsupport::Now() < killed + 10) Pause(10);
  EXPECT_LT(testsupport::Now() - killed, 3.0) << "not noticed in time";
  ASSERT_EQ(BASS_IsStarted(), static_cast<DWORD>(BASS_ACTIVE_PAUSED_DEVICE));
  EXPECT_EQ(BASS_ChannelIsActive(h), static_cast<DWORD>(BASS_ACTIVE_PAUSED_DEVICE));
  const QWORD position = BASS_ChannelGetPosition(h, BASS_POS_BYTE);
  EXPECT_GT(position, 0u);
  Pause(100);
  EXPECT_EQ(BASS_ChannelGetPosition(h, BASS_POS_BYTE), position) << "the position stands still";
  EXPECT_FALSE(BASS_ChannelPlay(h, FALSE));
  EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_REINIT);
  const double freeing = testsupport::Now();
  EXPECT_TRUE(BASS_Free());
  EXPECT_LT(testsupport::Now() - freeing, 0.5) << "BASS_Free waited for the lost device";
  EXPECT_EQ(BASS_IsStarted(), static_cast<DWORD>(BASS_ACTIVE_STOPPED));
}

}  // namespace

namespace {

// Listing and opening devices writes nothing to the terminal, whatever the
// sound system says while it is probed (run in a fresh process, since the
// device list is made once per process); nor does FFmpeg while it chews on
// damaged and foreign files.
TEST(DeviceProbing, WritesNothingToStandardError) {
  const testsupport::RunResult child = testsupport::Run(
      {SelfPath(), "--gtest_also_run_disabled_tests", "--gtest_filter=DeviceProbing.DISABLED_ListAndOpen"});
  EXPECT_EQ(child.exitCode, 0) << child.out;
  EXPECT_EQ(child.err, "");
}

TEST(DeviceProbing, DISABLED_ListAndOpen) {
  BASS_DEVICEINFO info;
  DWORD defaults = 0;
  for (DWORD i = 1; BASS_GetDeviceInfo(i, &info); ++i) {
    if (info.flags & BASS_DEVICE_DEFAULT) ++defaults;
    EXPECT_EQ(info.flags & ~(BASS_DEVICE_TYPE_MASK | BASS_DEVICE_ENABLED | BASS_DEVICE_DEFAULT), 0u) << info.name;
  }
  EXPECT_LE(defaults, 1u);
  // The default device may or may not open here; either way quietly.
  if (BASS_Init(-1, 44100, BASS_DEVICE_3D, nullptr, nullptr)) {
    EXPECT_NE(BASS_GetDevice(), 0u);
    BASS_Free();
  } else {
    const int code = BASS_ErrorGetCode();
    EXPECT_TRUE(code == BASS_ERROR_DEVICE || code == BASS_ERROR_DRIVER || code == BASS_ERROR_START) << code;
  }
  ASSERT_TRUE(BASS_Init(0, 44100, 0, nullptr, nullptr));
  testsupport::TempDir dir;
  std::string mp3 = testsupport::ReadWholeFile(ToneFile(dir, "t.mp3", 440, 1.0));
  ASSERT_FALSE(mp3.empty());
  for (size_t i = mp3.size() / 3; i < mp3.size() / 3 + 2000; ++i) mp3[i] = static_cast<char>(i * 131);
  std::string noise(20000, '\0');
  for (size_t i = 0; i < noise.size(); ++i) noise[i] = static_cast<char>(i * i * 7 + i / 3);
  for (const auto& [name, bytes] : {std::pair{"damaged.mp3", mp3}, std::pair{"noise.ogg", noise},
                                    std::pair{"noise.flac", noise}, std::pair{"noise.mp4", noise}}) {
    const HSTREAM h = BASS_StreamCreateFile(FALSE, dir.write(name, bytes).c_str(), 0, 0, BASS_STREAM_DECODE);
    if (h != 0) ReadAll(h);
  }
  BASS_Free();
}

}  // namespace
