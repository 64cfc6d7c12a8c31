// End to end through a real sound server: a private PulseAudio with a null
// sink, reached through PortAudio's ALSA "pulse" device, recorded from the
// sink's monitor.
//
// The playing half runs in a child process (this test binary again, with a
// filter): PortAudio lists devices once per process, and the server has to
// be up before that happens.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <thread>

#include "EngineTestSupport.h"

using namespace enginetest;

namespace {

constexpr const char* kToneEnv = "QUAV_ENGINE_TEST_TONE";

void Pause(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

std::string Quote(const std::string& s) { return "'" + s + "'"; }

// Starts a command in the background and returns its PID (0 on failure).
pid_t Background(const testsupport::TempDir& dir, const std::string& name, const std::string& command) {
  const std::string pidFile = dir.file(name + ".pid");
  if (!testsupport::Shell("(" + command + ") > " + Quote(dir.file(name + ".log")) + " 2>&1 & echo $! > " + Quote(pidFile)))
    return 0;
  return static_cast<pid_t>(std::atoi(testsupport::ReadWholeFile(pidFile).c_str()));
}

void StopProcess(pid_t pid) {
  if (pid <= 0) return;
  ::kill(pid, SIGTERM);
  for (int i = 0; i < 200 && ::kill(pid, 0) == 0; ++i) Pause(10);
  if (::kill(pid, 0) == 0) ::kill(pid, SIGKILL);
}

struct ProcessGuard {
  pid_t pid = 0;
  ~ProcessGuard() { StopProcess(pid); }
};

std::string SelfPath() {
  char buf[4096];
  const ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
  return n > 0 ? std::string(buf, static_cast<size_t>(n)) : std::string();
}

TEST(PulseOutput, PlaysAToneAndARunDownThroughTheServer) {
  if (!testsupport::HaveProgram("pulseaudio") || !testsupport::HaveProgram("parec") ||
      !testsupport::HaveProgram("pactl"))
    GTEST_SKIP() << "the PulseAudio server cannot start: pulseaudio, parec or pactl is not installed";
  testsupport::TempDir dir;
  const std::string runtime = dir.file("run");
  ::mkdir(runtime.c_str(), 0700);
  ::mkdir(dir.file("home").c_str(), 0700);
  const std::string socket = runtime + "/native";
  ::setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
  ::setenv("HOME", dir.file("home").c_str(), 1);
  ::setenv("PULSE_SERVER", ("unix:" + socket).c_str(), 1);

  ProcessGuard server;
  server.pid = Background(dir, "server",
                          "exec pulseaudio -n --daemonize=no --exit-idle-time=-1 --use-pid-file=no --disable-shm=yes "
                          "-L 'module-native-protocol-unix auth-anonymous=1 socket=" + socket + "' "
                          "-L 'module-null-sink sink_name=quavsink rate=44100 channels=2'");
  bool up = false;
  for (int i = 0; i < 100 && !up; ++i) {
    up = testsupport::Shell("pactl info >/dev/null 2>&1");
    if (!up) Pause(50);
  }
  if (!up) GTEST_SKIP() << "the PulseAudio server did not start: " << testsupport::ReadWholeFile(dir.file("server.log"));

  ProcessGuard recorder;
  const std::string recording = dir.file("monitor.raw");
  recorder.pid = Background(dir, "recorder",
                            "exec parec -d quavsink.monitor --raw --format=float32le --rate=44100 --channels=1 "
                            "> " + Quote(recording));
  bool recording_started = false;
  for (int i = 0; i < 100 && !recording_started; ++i) {
    recording_started = testsupport::Shell("pactl list short source-outputs | grep -q .");
    if (!recording_started) Pause(20);
  }
  ASSERT_TRUE(recording_started) << testsupport::ReadWholeFile(dir.file("recorder.log"));

  const std::string tone = ToneFile(dir, "tone.wav", 440, 3.0, 44100, 2);
  ::setenv(kToneEnv, tone.c_str(), 1);
  const testsupport::RunResult child = testsupport::Run(
      {SelfPath(), "--gtest_also_run_disabled_tests", "--gtest_filter=PulseOutput.DISABLED_ChildPlaysTone"});
  ::unsetenv(kToneEnv);
  EXPECT_EQ(child.exitCode, 0) << child.out << child.err;
  EXPECT_EQ(child.err, "") << "the engine wrote to stderr";
  Pause(100);
  StopProcess(recorder.pid);
  recorder.pid = 0;

  const std::string raw = testsupport::ReadWholeFile(recording);
  std::vector<float> x(raw.size() / sizeof(float));
  std::memcpy(x.data(), raw.data(), x.size() * sizeof(float));
  size_t onset = 0;
  while (onset < x.size() && std::fabs(x[onset]) < 0.1f) ++onset;
  ASSERT_LT(onset + 44100 * 3 / 2, x.size()) << "no tone recorded (" << x.size() << " samples)";
  const size_t rate = 44100;
  // The steady tone: its frequency and level arrive unchanged.
  EXPECT_NEAR(ToneFrequency(x, onset + rate / 10, onset + rate * 7 / 10, 44100), 440.0, 2.0);
  EXPECT_NEAR(Peak(x, onset + rate / 10, onset + rate * 7 / 10), 0.5, 0.1);
  // The child starts the slide to 1000 Hz one second in, heard about a
  // quarter of a second later (the buffered audio): the pitch falls well
  // below the tone while it is still loud.
  const double sliding = ToneFrequency(x, onset + rate * 145 / 100, onset + rate * 165 / 100, 44100);
  EXPECT_LT(sliding, 352.0);
  EXPECT_GT(sliding, 20.0);
  EXPECT_GT(Peak(x, onset + rate * 145 / 100, onset + rate * 165 / 100), 0.2);
}

// The playing half; run by the test above in its own process.
TEST(PulseOutput, DISABLED_ChildPlaysTone) {
  const char* tone = std::getenv(kToneEnv);
  ASSERT_NE(tone, nullptr);
  int device = -1;
  BASS_DEVICEINFO info;
  std::string names;
  for (DWORD i = 1; BASS_GetDeviceInfo(i, &info); ++i) {
    names += std::string(info.name) + " (" + info.driver + "); ";
    if (std::strcmp(info.name, "pulse") == 0) device = static_cast<int>(i);
  }
  ASSERT_GT(device, 0) << "no PortAudio device reaches the server: " << names;
  ASSERT_TRUE(BASS_Init(device, 44100, BASS_DEVICE_3D, nullptr, nullptr)) << BASS_ErrorGetCode();
  const HSTREAM h = BASS_StreamCreateFile(FALSE, tone, 0, 0, 0);
  ASSERT_NE(h, 0u);
  ASSERT_TRUE(BASS_ChannelPlay(h, FALSE));
  // A freshly started server may take a moment before it consumes audio.
  for (int i = 0; i < 500 && BASS_ChannelGetLevel(h) == 0; ++i) Pause(10);
  Pause(1000);
  EXPECT_EQ(BASS_ChannelIsActive(h), static_cast<DWORD>(BASS_ACTIVE_PLAYING));
  EXPECT_GT(BASS_ChannelGetLevel(h) & 0xFFFF, 10000u);
  ASSERT_TRUE(BASS_ChannelSlideAttribute(h, BASS_ATTRIB_FREQ, 1000.0f, 500));
  Pause(700);
  EXPECT_TRUE(BASS_Free());
}

}  // namespace

namespace {

// Listing and opening devices writes nothing to the terminal, whatever the
// sound system says while it is probed (run in a fresh process, since the
// device list is made once per process).
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
}

}  // namespace
