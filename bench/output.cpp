// The player's output to a sound server, against the other ways of
// reaching it, on a private PulseAudio server in the same run: what
// playing a 10 s tone costs every thread of the player (processor time and
// wake-ups from /proc/PID/task/*/schedstat, from 2 s to 8 s) on the silent
// device 0, on the engine's own PulseAudio output, through ALSA's pulse
// plug-in (PortAudio's "pulse" device), and for paplay playing the same
// file; the same for a 10 s MP3 on the native output against mpg123
// playing it there with its status line on (-v -o pulse); and how soon the
// player shows its first status line on each output.
//
// Usage: bench_output [rounds, default 5]
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "PulseServer.h"
#include "TestSupport.h"

extern char** environ;

namespace fs = std::filesystem;

namespace {

constexpr double kFrom = 2.0, kTo = 8.0;  // the window sampled, seconds after the start

double Now() { return testsupport::Now(); }

pid_t Start(const std::vector<std::string>& argv, int out = -1) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  if (out >= 0)
    posix_spawn_file_actions_adddup2(&actions, out, 1);
  else
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  std::vector<char*> args;
  for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  pid_t pid = -1;
  if (posix_spawn(&pid, args[0], &actions, nullptr, args.data(), environ) != 0) pid = -1;
  posix_spawn_file_actions_destroy(&actions);
  return pid;
}

// Processor seconds and times scheduled in, summed over a process's threads.
struct Load {
  double cpu = 0;
  double runs = 0;
};
Load ThreadsLoad(pid_t pid) {
  Load load;
  std::error_code ec;
  for (const auto& task : fs::directory_iterator("/proc/" + std::to_string(pid) + "/task", ec)) {
    unsigned long long ns = 0, waited = 0, slices = 0;
    if (std::ifstream(task.path() / "schedstat") >> ns >> waited >> slices) {
      load.cpu += static_cast<double>(ns) * 1e-9;
      load.runs += static_cast<double>(slices);
    }
  }
  return load;
}

// Over the window: processor time (ms), and wake-ups per second.
struct Cost {
  double cpuMs = 1e300;
  double wakeups = 1e300;
  bool ok = false;
};
Cost Sample(const std::vector<std::string>& argv) {
  Cost c;
  const double start = Now();
  const pid_t pid = Start(argv);
  if (pid <= 0) return c;
  auto until = [&](double at) { std::this_thread::sleep_for(std::chrono::duration<double>(start + at - Now())); };
  until(kFrom);
  const Load a = ThreadsLoad(pid);
  const double aAt = Now();
  until(kTo);
  const Load b = ThreadsLoad(pid);
  const double seconds = Now() - aAt;
  int status = -1;
  ::waitpid(pid, &status, 0);
  c.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0 && b.cpu > 0;
  c.cpuMs = 1e3 * (b.cpu - a.cpu) * (kTo - kFrom) / seconds;
  c.wakeups = (b.runs - a.runs) / seconds;
  return c;
}

// Seconds until "Playing: " first shows on the player's output; the run is
// then ended.
double FirstStatusLine(const std::string& player, const std::string& file) {
  int pipeFds[2];
  if (::pipe(pipeFds) != 0) return -1;
  const double start = Now();
  const pid_t pid = Start({player, file}, pipeFds[1]);
  ::close(pipeFds[1]);
  std::string seen;
  char buffer[4096];
  double at = -1;
  for (ssize_t n; at < 0 && (n = ::read(pipeFds[0], buffer, sizeof buffer)) > 0;) {
    seen.append(buffer, static_cast<size_t>(n));
    if (seen.find("Playing: ") != std::string::npos) at = Now() - start;
  }
  ::close(pipeFds[0]);
  if (pid > 0) {
    ::kill(pid, SIGTERM);
    ::waitpid(pid, nullptr, 0);
  }
  return at;
}

struct Way {
  const char* label;
  std::string line1;  // the player's device (quavlin.cfg line 1); empty: a peer
  std::string player;
  Cost cost;
  double startup = 1e300;
  std::vector<std::string> peer = {};  // the peer's command, the file last
  bool mp3 = false;                    // plays the MP3 rather than the tone
};

}  // namespace

int main(int argc, char** argv) {
  const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
  testsupport::PulseServer server;
  if (!server.Problem().empty()) {
    std::printf("output: not measured (%s)\n", server.Problem().c_str());
    return 0;
  }
  testsupport::TempDir dir;
  const std::string tone = dir.file("tone.wav"), shortTone = dir.file("short.wav"), mp3 = dir.file("tone.mp3");
  const std::string sine = "ffmpeg -nostdin -v error -y -f lavfi -i sine=frequency=440:duration=";
  if (!testsupport::Shell(sine + "10 -ac 2 '" + tone + "'") ||
      !testsupport::Shell(sine + "2 -ac 2 '" + shortTone + "'") ||
      !testsupport::Shell(sine + "10 -ac 2 -c:a libmp3lame -b:a 192k '" + mp3 + "'")) {
    std::fprintf(stderr, "output: ffmpeg could not make the tones\n");
    return 1;
  }
  const std::string sink = testsupport::PulseServer::Description(0);
  std::vector<Way> ways = {
      {"device 0", "0", "", {}, 1e300},
      {"native PulseAudio output", sink, "", {}, 1e300},
      {"ALSA pulse plug-in (PortAudio)", "pulse", "", {}, 1e300},
      {"paplay", "", "", {}, 1e300, {"/usr/bin/paplay"}},
      {"MP3, native PulseAudio output", sink, "", {}, 1e300, {}, true},
      {"MP3, mpg123 -v -o pulse", "", "", {}, 1e300, {"/usr/bin/mpg123", "-q", "-v", "-o", "pulse"}, true}};
  if (!fs::exists(ways.back().peer[0])) ways.pop_back();
  for (Way& w : ways) {
    if (w.line1.empty()) continue;
    const fs::path home = dir.path() / (w.line1 + (w.mp3 ? "-mp3" : ""));
    fs::create_directories(home);
    w.player = (home / "quavlin").string();
    fs::copy_file(testsupport::BuiltProgram("player/quavlin"), w.player);
    std::ofstream(home / "quavlin.cfg") << w.line1 << "\r\n20\r\n";
  }
  // The ways in turn, round after round, so that a busy moment of the
  // machine does not fall on one of them alone; the best round counts.
  for (int round = 0; round < rounds; ++round) {
    for (Way& w : ways) {
      std::vector<std::string> command = w.player.empty() ? w.peer : std::vector<std::string>{w.player};
      command.push_back(w.mp3 ? mp3 : tone);
      const Cost c = Sample(command);
      if (!c.ok) continue;
      w.cost.ok = true;
      w.cost.cpuMs = std::min(w.cost.cpuMs, c.cpuMs);
      w.cost.wakeups = std::min(w.cost.wakeups, c.wakeups);
    }
  }
  for (int round = 0; round < 5; ++round)
    for (Way& w : ways)
      if (!w.player.empty() && !w.mp3) {
        const double at = FirstStatusLine(w.player, shortTone);
        if (at >= 0) w.startup = std::min(w.startup, at);
      }

  std::printf("playing a 10 s tone, every thread of the process from %.0f s to %.0f s, best of %d:\n", kFrom, kTo,
              rounds);
  for (const Way& w : ways) {
    if (!w.cost.ok)
      std::printf("  %-32s not measured (the run failed)\n", w.label);
    else
      std::printf("  %-32s %6.1f ms of processor time, %6.1f wake-ups per second\n", w.label, w.cost.cpuMs,
                  w.cost.wakeups);
  }
  const Cost& silent = ways[0].cost;
  const Cost& native = ways[1].cost;
  const Cost& plugin = ways[2].cost;
  if (silent.ok && native.ok && plugin.ok) {
    const double nativeAdds = native.cpuMs - silent.cpuMs, pluginAdds = plugin.cpuMs - silent.cpuMs;
    std::printf("  added to device 0: native %.1f ms, plug-in %.1f ms; native / plug-in %.2f (goal: at most 1)\n",
                nativeAdds, pluginAdds, pluginAdds > 0 ? nativeAdds / pluginAdds : 0.0);
    std::printf("  wake-ups: native / plug-in %.2f (goal: at most 1)\n", native.wakeups / plugin.wakeups);
  }
  if (ways.size() == 6 && ways[4].cost.ok && ways[5].cost.ok)
    std::printf("  MP3: player / mpg123 %.2f (goal: at most 1.0)\n", ways[4].cost.cpuMs / ways[5].cost.cpuMs);
  std::printf("first status line:\n");
  for (const Way& w : ways)
    if (!w.player.empty() && !w.mp3) std::printf("  %-32s %6.1f ms\n", w.label, w.startup * 1e3);
  std::printf("  native / plug-in %.2f (goal: at most 1)\n", ways[1].startup / ways[2].startup);
  return 0;
}
