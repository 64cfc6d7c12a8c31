#include "PlayerHarness.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>

namespace playertest {

std::string WavTone(double seconds, double frequency, int channels, int rate) {
  const uint32_t frames = static_cast<uint32_t>(std::lround(seconds * rate));
  const uint32_t dataBytes = frames * static_cast<uint32_t>(channels) * 2;
  testsupport::Bytes b;
  b.raw("RIFF").u32le(36 + dataBytes).raw("WAVE");
  b.raw("fmt ").u32le(16).u16le(1).u16le(static_cast<uint32_t>(channels)).u32le(static_cast<uint32_t>(rate));
  b.u32le(static_cast<uint32_t>(rate * channels * 2)).u16le(static_cast<uint32_t>(channels * 2)).u16le(16);
  b.raw("data").u32le(dataBytes);
  for (uint32_t i = 0; i < frames; ++i) {
    const double v = 0.5 * std::sin(2 * M_PI * frequency * i / rate);
    const auto sample = static_cast<int16_t>(std::lround(v * 32767));
    for (int c = 0; c < channels; ++c) b.u16le(static_cast<uint16_t>(sample));
  }
  return b.str();
}

PlayerInstall::PlayerInstall(std::optional<std::string> config) {
  const std::string built = testsupport::BuiltProgram("player/quavlin");
  std::filesystem::copy_file(built, Program());
  std::filesystem::permissions(Program(), std::filesystem::perms::owner_all);
  if (config) fDir.write("quavlin.cfg", *config);
}

PlayerRun PlayerInstall::Run(const std::vector<std::string>& args, const RunOptions& options) const {
  RunOptions inInstall = options;
  if (inInstall.cwd.empty()) inInstall.cwd = fDir.path().string();
  if (inInstall.timeoutSeconds <= 0) inInstall.timeoutSeconds = 60;
  std::vector<std::string> argv{Program()};
  argv.insert(argv.end(), args.begin(), args.end());
  return testsupport::Run(argv, inInstall);
}

bool EngineCanPlay() {
  static const bool canPlay = [] {
    PlayerInstall install;
    install.Write("probe.wav", WavTone(0.05));
    const PlayerRun r = install.Run({"probe.wav"});
    return r.exitCode == 0 && r.out.find("Playing file: ") != std::string::npos;
  }();
  return canPlay;
}

PtySession::PtySession(const PlayerInstall& install, const std::vector<std::string>& args) {
  const std::string program = install.Program();
  const std::string cwd = install.Dir().path().string();
  fStart = Now();
  fPid = ::forkpty(&fMaster, nullptr, nullptr, nullptr);
  if (fPid < 0) throw std::runtime_error("forkpty");
  if (fPid == 0) {
    if (::chdir(cwd.c_str()) != 0) std::_Exit(126);
    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    ::execv(argv[0], argv.data());
    std::_Exit(127);
  }
}

PtySession::~PtySession() {
  if (!fExited && fPid > 0) {
    ::kill(fPid, SIGKILL);
    ::waitpid(fPid, nullptr, 0);
  }
  if (fMaster >= 0) ::close(fMaster);
}

void PtySession::Drain(int timeoutMs) {
  // Everything that is waiting, at most a few chunks per call.
  for (int chunk = 0; chunk < 64; ++chunk) {
    pollfd fd{fMaster, POLLIN, 0};
    if (::poll(&fd, 1, chunk == 0 ? timeoutMs : 0) <= 0) return;
    char buf[4096];
    const ssize_t n = ::read(fMaster, buf, sizeof buf);
    if (n <= 0) return;
    fOutput.append(buf, static_cast<size_t>(n));
  }
}

bool PtySession::WaitFor(const std::string& text, double timeoutSeconds) {
  const double end = Now() + timeoutSeconds;
  while (fOutput.find(text) == std::string::npos) {
    if (Now() > end) return false;
    Drain(50);
  }
  return true;
}

void PtySession::Send(const std::string& bytes) {
  if (::write(fMaster, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size()))
    throw std::runtime_error("write to pty");
}

void PtySession::Terminate() { ::kill(fPid, SIGTERM); }

int PtySession::WaitExit(double timeoutSeconds) {
  const double end = Now() + timeoutSeconds;
  int status = 0;
  while (true) {
    Drain(20);
    const pid_t done = ::waitpid(fPid, &status, WNOHANG);
    if (done == fPid) {
      fExited = true;
      Drain(0);
      return status;
    }
    if (Now() > end) return -1;
  }
}

termios PtySession::Mode() const {
  termios mode{};
  ::tcgetattr(fMaster, &mode);
  return mode;
}

double PtySession::SecondsSinceStart() const { return Now() - fStart; }

}  // namespace playertest
