#include "PlayerHarness.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <signal.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>

#include "RiffAsfBuilders.h"

namespace playertest {

std::string WavTone(double seconds, double frequency, int channels, int rate) {
  const uint32_t frames = static_cast<uint32_t>(std::lround(seconds * rate));
  testsupport::Bytes samples;
  for (uint32_t i = 0; i < frames; ++i) {
    const double v = 0.5 * std::sin(2 * M_PI * frequency * i / rate);
    const auto sample = static_cast<int16_t>(std::lround(v * 32767));
    for (int c = 0; c < channels; ++c) samples.u16le(static_cast<uint16_t>(sample));
  }
  return riffbuild::PcmWave(static_cast<uint16_t>(channels), static_cast<uint32_t>(rate), samples.str());
}

PlayerInstall::PlayerInstall(std::optional<std::string> config) {
  const std::string built = testsupport::BuiltProgram("player/quavlin");
  std::filesystem::copy_file(built, Program());
  std::filesystem::permissions(Program(), std::filesystem::perms::owner_all);
  if (config) fDir.write("quavlin.cfg", *config);
}

std::vector<std::string> PlayerInstall::Environment() const {
  return {"HOME=" + fHome.path().string(), "XDG_CONFIG_HOME=", "XDG_STATE_HOME="};
}

namespace {

// The options of a run: the installation as working directory, the home
// folder's settings before the run's own (which win), a timeout.
RunOptions InInstall(const PlayerInstall& install, const RunOptions& options) {
  RunOptions inInstall = options;
  if (inInstall.cwd.empty()) inInstall.cwd = install.Dir().path().string();
  if (inInstall.timeoutSeconds <= 0) inInstall.timeoutSeconds = 60;
  inInstall.env = install.Environment();
  inInstall.env.insert(inInstall.env.end(), options.env.begin(), options.env.end());
  return inInstall;
}

}  // namespace

PlayerRun PlayerInstall::Run(const std::vector<std::string>& args, const RunOptions& options) const {
  std::vector<std::string> argv{Program()};
  argv.insert(argv.end(), args.begin(), args.end());
  return testsupport::Run(argv, InInstall(*this, options));
}

PlayerRun RunUnprivileged(const PlayerInstall& install, const std::vector<std::string>& args, std::string& skip,
                          const RunOptions& options) {
  namespace fs = std::filesystem;
  std::vector<std::string> argv;
  if (::geteuid() == 0) {
    if (testsupport::HaveProgram("setpriv")) {
      argv = {"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups", "--"};
    } else if (testsupport::HaveProgram("runuser")) {
      argv = {"runuser", "-u", "nobody", "--"};
    } else {
      skip = "running as root without setpriv or runuser";
      return {};
    }
    // The directories above the installation are not ours to open up.
    for (fs::path p = install.Dir().path().parent_path(); !p.empty() && p != p.root_path(); p = p.parent_path()) {
      if ((fs::status(p).permissions() & fs::perms::others_exec) == fs::perms::none) {
        skip = p.string() + " cannot be entered by nobody";
        return {};
      }
    }
    const auto reachable = fs::perms::others_read | fs::perms::others_exec;
    fs::permissions(install.Program(), reachable | fs::perms::group_read | fs::perms::group_exec,
                    fs::perm_options::add);
    fs::permissions(install.Dir().path(), reachable, fs::perm_options::add);
    for (const auto& entry : fs::recursive_directory_iterator(install.Dir().path()))
      if (entry.is_directory()) fs::permissions(entry.path(), reachable, fs::perm_options::add);
  }
  argv.push_back(install.Program());
  argv.insert(argv.end(), args.begin(), args.end());
  return testsupport::Run(argv, InInstall(install, options));
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

namespace {

constexpr const char* kReportTag = "[shell] ";

bool SameMode(const termios& a, const termios& b) {
  return a.c_iflag == b.c_iflag && a.c_oflag == b.c_oflag && a.c_cflag == b.c_cflag && a.c_lflag == b.c_lflag &&
         std::memcmp(a.c_cc, b.c_cc, sizeof a.c_cc) == 0;
}

// The session leader's part when it stands in for a shell: runs the program
// as a job, waits for it (a stop counts as its end: the program is killed),
// then writes one report line to the terminal and exits.
[[noreturn]] void StandInForShell(char* const* argv, const std::string& cwd, bool background) {
  termios before{};
  ::tcgetattr(STDIN_FILENO, &before);
  const pid_t job = ::fork();
  if (job < 0) std::_Exit(125);
  if (job == 0) {
    if (background) ::setpgid(0, 0);
    if (::chdir(cwd.c_str()) != 0) std::_Exit(126);
    ::execv(argv[0], argv);
    std::_Exit(127);
  }
  if (background) ::setpgid(job, job);
  int status = 0;
  while (::waitpid(job, &status, WUNTRACED) < 0 && errno == EINTR) {
  }
  int stopSignal = 0;
  if (WIFSTOPPED(status)) {
    stopSignal = WSTOPSIG(status);
    ::kill(job, SIGKILL);
    ::waitpid(job, &status, 0);
  }
  termios after{};
  ::tcgetattr(STDIN_FILENO, &after);
  // A canonical terminal counts only finished lines as readable; look
  // without line mode to count every byte typed.
  termios look = after;
  look.c_lflag &= ~static_cast<tcflag_t>(ICANON);
  look.c_cc[VMIN] = 0;
  look.c_cc[VTIME] = 0;
  ::tcsetattr(STDIN_FILENO, TCSANOW, &look);
  int unread = -1;
  ::ioctl(STDIN_FILENO, FIONREAD, &unread);
  ::tcsetattr(STDIN_FILENO, TCSANOW, &after);
  char line[200];
  const int n =
      std::snprintf(line, sizeof line, "\n%sexit=%d signal=%d stopped=%d lflag=%u same=%d unread=%d\n", kReportTag,
                    WIFEXITED(status) ? WEXITSTATUS(status) : -1, WIFSIGNALED(status) ? WTERMSIG(status) : 0,
                    stopSignal, static_cast<unsigned>(after.c_lflag), SameMode(before, after) ? 1 : 0, unread);
  if (n > 0 && ::write(STDOUT_FILENO, line, static_cast<size_t>(n)) < 0) std::_Exit(124);
  std::_Exit(0);
}

}  // namespace

PtySession::PtySession(const PlayerInstall& install, const std::vector<std::string>& args, Launch launch, int columns) {
  const std::string program = install.Program();
  const std::string cwd = install.Dir().path().string();
  std::vector<char*> argv{const_cast<char*>(program.c_str())};
  for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  const std::vector<std::string> environment = install.Environment();
  fStart = Now();
  winsize size{24, static_cast<unsigned short>(columns), 0, 0};
  fPid = ::forkpty(&fMaster, nullptr, nullptr, columns > 0 ? &size : nullptr);
  if (fPid < 0) throw std::runtime_error("forkpty");
  if (fPid == 0) {
    for (const std::string& setting : environment) ::putenv(const_cast<char*>(setting.c_str()));
    if (launch != Launch::Direct) StandInForShell(argv.data(), cwd, launch == Launch::Background);
    if (::chdir(cwd.c_str()) != 0) std::_Exit(126);
    ::execv(argv[0], argv.data());
    std::_Exit(127);
  }
}

ShellReport PtySession::Report() const {
  ShellReport r;
  const size_t at = fOutput.rfind(kReportTag);
  if (at == std::string::npos) return r;
  int same = 0;
  r.found = std::sscanf(fOutput.c_str() + at + std::strlen(kReportTag),
                        "exit=%d signal=%d stopped=%d lflag=%u same=%d unread=%d", &r.exitCode, &r.signal,
                        &r.stopSignal, &r.lflag, &same, &r.unread) == 6;
  r.sameMode = same != 0;
  return r;
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

bool PtySession::WaitFor(const std::string& text, double timeoutSeconds, size_t from) {
  const double end = Now() + timeoutSeconds;
  while (fOutput.find(text, from) == std::string::npos) {
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

void PtySession::Resize(int columns) {
  winsize size{24, static_cast<unsigned short>(columns), 0, 0};
  ::ioctl(fMaster, TIOCSWINSZ, &size);
}

PlayerRun RunOnTerminal(const PlayerInstall& install, const std::vector<std::string>& args, int columns,
                        double timeoutSeconds) {
  PtySession session(install, args, Launch::Direct, columns);
  const int status = session.WaitExit(timeoutSeconds);
  PlayerRun r;
  r.exitCode = status == -1 ? -1 : WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  r.out = session.Output();
  r.seconds = session.SecondsSinceStart();
  return r;
}

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
