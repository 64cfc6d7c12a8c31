#include "PulseServer.h"

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
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

PulseServer::PulseServer(int rate, int sinks) : fRate(rate), fSinks(std::max(1, sinks)) {
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
  std::string command =
      "exec pulseaudio -n --daemonize=no --exit-idle-time=-1 --use-pid-file=no --disable-shm=yes "
      "-L 'module-native-protocol-unix auth-anonymous=1 socket=" +
      socket + "' ";
  for (int i = 0; i < fSinks; ++i) {
    const char* form = i == 0 ? " device.form_factor=speaker" : i == 1 ? " device.form_factor=headphone" : "";
    // Without rewinds the null sink takes up a new stream's latency at
    // once; with them, a stream may wait up to the idle sink's two-second
    // period before it is first played.
    command += "-L 'module-null-sink sink_name=" + SinkName(i) + " rate=" + std::to_string(rate) +
               " channels=2 norewinds=1 sink_properties=\"device.description=" + Description(i) + form + "\"' ";
  }
  // A source of its own is the default source, so that a recorder on a
  // monitor never follows a change of the default sink.
  command += "-L module-null-source -L module-always-sink";
  fServer = Background("server", command);
  // The first sink is the default, whatever the priority the server gives
  // each one's form factor.
  if (fServer <= 0 || !Poll("pactl info >/dev/null 2>&1", 100, 50) || !Pactl("set-default-sink " + SinkName(0)))
    fProblem = "the PulseAudio server did not start: " + Log("server");
}

PulseServer::~PulseServer() {
  for (pid_t recorder : fRecorders) StopProcess(recorder);
  StopProcess(fServer);
  for (const auto& [name, value] : fSavedEnv) {
    if (value == "\x01")
      ::unsetenv(name.c_str());
    else
      ::setenv(name.c_str(), value.c_str(), 1);
  }
}

std::string PulseServer::SinkName(int sink) { return sink == 0 ? "quavsink" : "quavsink" + std::to_string(sink + 1); }

std::string PulseServer::Description(int sink) { return "Quav-Sink-" + std::to_string(sink + 1); }

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
  for (int i = 0; i < fSinks; ++i) {
    const pid_t recorder =
        Background("recorder" + std::to_string(i),
                   "exec parec -d " + SinkName(i) +
                       ".monitor --latency-msec=20 --raw --format=float32le --rate=" + std::to_string(fRate) +
                       " --channels=1 > " + Quote(fDir.file("monitor" + std::to_string(i) + ".raw")));
    if (recorder <= 0) return false;
    fRecorders.push_back(recorder);
  }
  return Poll("test $(pactl list short source-outputs | wc -l) -ge " + std::to_string(fSinks), 100, 20);
}

std::vector<std::vector<float>> PulseServer::StopRecordings() {
  Pause(300);  // what the sinks and the server still hold
  for (pid_t recorder : fRecorders) StopProcess(recorder);
  fRecorders.clear();
  std::vector<std::vector<float>> recordings;
  for (int i = 0; i < fSinks; ++i) {
    const std::string raw = ReadWholeFile(fDir.file("monitor" + std::to_string(i) + ".raw"));
    std::vector<float>& x = recordings.emplace_back(raw.size() / sizeof(float));
    std::memcpy(x.data(), raw.data(), x.size() * sizeof(float));
  }
  return recordings;
}

bool PulseServer::Pactl(const std::string& arguments) const {
  return fProblem.empty() && Shell("pactl " + arguments + " >/dev/null 2>&1");
}

bool PulseServer::UnloadSink(int sink) const {
  return Pactl("unload-module \"$(pactl list short modules | grep 'sink_name=" + SinkName(sink) + " ' | cut -f1)\"");
}

void PulseServer::Kill() {
  if (fServer <= 0) return;
  ::kill(fServer, SIGKILL);
  ::waitpid(fServer, nullptr, 0);
  fServer = 0;
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
  // A busy machine's underruns put silence into a recording; a period that
  // holds more than a millisecond of it is left out of the count.
  const size_t gap = static_cast<size_t>(rate) / 1000;
  double previous = -1, span = 0;
  int periods = 0;
  size_t quiet = 0, longestQuiet = 0;
  for (size_t i = from + 1; i < to; ++i) {
    quiet = std::fabs(x[i]) < 0.01f ? quiet + 1 : 0;
    longestQuiet = std::max(longestQuiet, quiet);
    if (x[i - 1] < 0 && x[i] >= 0) {
      const double at = static_cast<double>(i - 1) + x[i - 1] / (x[i - 1] - x[i]);
      if (previous >= 0 && longestQuiet <= gap) {
        ++periods;
        span += at - previous;
      }
      previous = at;
      longestQuiet = quiet;
    }
  }
  return periods > 0 ? periods * rate / span : 0.0;
}

}  // namespace testsupport
