#include "PulseServer.h"

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <thread>

namespace testsupport {

namespace {

void Pause(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

std::string Quote(const std::string& s) { return "'" + s + "'"; }

// Ends a child started by Background and reaps it.
void StopProcess(pid_t pid) {
  if (pid <= 0) return;
  ::kill(pid, SIGTERM);
  for (int i = 0; i < 200; ++i) {
    if (::waitpid(pid, nullptr, WNOHANG) == pid) return;
    Pause(10);
  }
  ::kill(pid, SIGKILL);
  ::waitpid(pid, nullptr, 0);
}

bool Poll(const std::string& command, int tries, int ms) {
  for (int i = 0; i < tries; ++i) {
    if (Shell(command)) return true;
    Pause(ms);
  }
  return false;
}

}  // namespace

PulseServer::PulseServer(int rate) : fRate(rate) {
  for (const char* program : {"pulseaudio", "parec", "pactl"}) {
    if (!HaveProgram(program)) {
      fProblem = std::string(program) + " is not installed (scripts/install-deps installs it)";
      return;
    }
  }
  const std::string runtime = fDir.file("run");
  ::mkdir(runtime.c_str(), 0700);
  ::mkdir(fDir.file("home").c_str(), 0700);
  const std::string socket = runtime + "/native";
  for (const auto& [name, value] : {std::pair<std::string, std::string>{"XDG_RUNTIME_DIR", runtime},
                                    {"HOME", fDir.file("home")},
                                    {"PULSE_SERVER", "unix:" + socket}}) {
    const char* old = std::getenv(name.c_str());
    fSavedEnv.emplace_back(name, old ? old : std::string("\x01"));
    ::setenv(name.c_str(), value.c_str(), 1);
  }
  fServer = Background("server",
                       "exec pulseaudio -n --daemonize=no --exit-idle-time=-1 --use-pid-file=no --disable-shm=yes "
                       "-L 'module-native-protocol-unix auth-anonymous=1 socket=" +
                           socket +
                           "' "
                           // Without rewinds the null sink takes up a new stream's latency
                           // at once; with them, a stream may wait up to the idle sink's
                           // two-second period before it is first played.
                           "-L 'module-null-sink sink_name=quavsink rate=" +
                           std::to_string(rate) +
                           " channels=2 norewinds=1' "
                           "-L module-always-sink");
  if (fServer <= 0 || !Poll("pactl info >/dev/null 2>&1", 100, 50))
    fProblem = "the PulseAudio server did not start: " + Log("server");
}

PulseServer::~PulseServer() {
  StopProcess(fRecorder);
  StopProcess(fServer);
  for (const auto& [name, value] : fSavedEnv) {
    if (value == "\x01")
      ::unsetenv(name.c_str());
    else
      ::setenv(name.c_str(), value.c_str(), 1);
  }
}

// Runs a shell command line as a child of this process, its output in
// name.log.
pid_t PulseServer::Background(const std::string& name, const std::string& command) {
  const std::string line = "exec > " + Quote(fDir.file(name + ".log")) + " 2>&1; " + command;
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::execl("/bin/sh", "sh", "-c", line.c_str(), static_cast<char*>(nullptr));
    ::_exit(127);
  }
  return pid > 0 ? pid : 0;
}

std::string PulseServer::Log(const std::string& name) const { return ReadWholeFile(fDir.file(name + ".log")); }

bool PulseServer::StartRecording() {
  if (!fProblem.empty()) return false;
  // Small fragments: the server hands the recording over as it comes, so
  // that nothing is still on its way when the recorder is stopped.
  fRecorder =
      Background("recorder", "exec parec -d quavsink.monitor --latency-msec=20 --raw --format=float32le --rate=" +
                                 std::to_string(fRate) + " --channels=1 > " + Quote(fDir.file("monitor.raw")));
  return fRecorder > 0 && Poll("pactl list short source-outputs | grep -q .", 100, 20);
}

std::vector<float> PulseServer::StopRecording() {
  Pause(300);  // what the sink and the server still hold
  StopProcess(fRecorder);
  fRecorder = 0;
  const std::string raw = ReadWholeFile(fDir.file("monitor.raw"));
  std::vector<float> x(raw.size() / sizeof(float));
  std::memcpy(x.data(), raw.data(), x.size() * sizeof(float));
  return x;
}

std::vector<SoundSpan> SoundSpans(const std::vector<float>& x, float threshold, size_t minGap) {
  std::vector<SoundSpan> spans;
  size_t i = 0;
  while (i < x.size()) {
    while (i < x.size() && std::fabs(x[i]) < threshold) ++i;
    if (i == x.size()) break;
    SoundSpan span{i, i};
    size_t quiet = 0;
    for (; i < x.size() && quiet < minGap; ++i) {
      if (std::fabs(x[i]) >= threshold) {
        quiet = 0;
        span.end = i + 1;
      } else {
        ++quiet;
      }
    }
    spans.push_back(span);
  }
  return spans;
}

double ToneFrequency(const std::vector<float>& x, size_t from, size_t to, int rate) {
  to = std::min(to, x.size());
  double first = -1, last = -1;
  int crossings = 0;
  for (size_t i = from + 1; i < to; ++i) {
    if (x[i - 1] < 0 && x[i] >= 0) {
      const double at = static_cast<double>(i - 1) + x[i - 1] / (x[i - 1] - x[i]);
      if (first < 0)
        first = at;
      else
        ++crossings;
      last = at;
    }
  }
  return crossings > 0 ? crossings * rate / (last - first) : 0.0;
}

}  // namespace testsupport
