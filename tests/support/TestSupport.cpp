#include "TestSupport.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

namespace testsupport {

TempDir::TempDir() {
  std::random_device rd;
  const auto base = std::filesystem::temp_directory_path();
  for (int attempt = 0; attempt < 100; ++attempt) {
    auto candidate = base / ("quavtest-" + std::to_string(::getpid()) + "-" + std::to_string(rd()));
    if (std::filesystem::create_directory(candidate)) {
      fPath = candidate;
      return;
    }
  }
  throw std::runtime_error("cannot create a temporary directory");
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::remove_all(fPath, ec);
}

std::string TempDir::write(const std::string& name, std::string_view bytes) const {
  const auto p = fPath / name;
  std::filesystem::create_directories(p.parent_path());
  WriteWholeFile(p.string(), bytes);
  return p.string();
}

std::string ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

void WriteWholeFile(const std::string& path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + path);
}

double Now() {
  timespec ts{};
  ::clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

RunResult Run(const std::vector<std::string>& argv, const RunOptions& options) {
  int outPipe[2], errPipe[2], inPipe[2];
  if (::pipe2(outPipe, O_CLOEXEC) || ::pipe2(errPipe, O_CLOEXEC) || ::pipe2(inPipe, O_CLOEXEC))
    throw std::runtime_error("pipe");
  const double start = Now();
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::dup2(outPipe[1], 1);
    ::dup2(errPipe[1], 2);
    if (options.input) {
      ::dup2(inPipe[0], 0);
    } else {
      const int devnull = ::open("/dev/null", O_RDONLY);
      ::dup2(devnull, 0);
    }
    if (!options.cwd.empty() && ::chdir(options.cwd.c_str()) != 0) std::_Exit(126);
    for (const auto& setting : options.env) ::putenv(const_cast<char*>(setting.c_str()));
    std::vector<char*> args;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    ::execvp(args[0], args.data());
    std::_Exit(127);
  }
  ::close(outPipe[1]);
  ::close(errPipe[1]);
  ::close(inPipe[0]);
  if (options.input) {
    size_t done = 0;
    while (done < options.input->size()) {
      const ssize_t n = ::write(inPipe[1], options.input->data() + done, options.input->size() - done);
      if (n <= 0) break;
      done += static_cast<size_t>(n);
    }
  }
  ::close(inPipe[1]);

  RunResult r;
  pollfd fds[2] = {{outPipe[0], POLLIN, 0}, {errPipe[0], POLLIN, 0}};
  int open = 2;
  bool killed = false;
  char buf[65536];
  while (open > 0) {
    const int ready = ::poll(fds, 2, 100);
    if (ready < 0 && errno != EINTR) break;
    if (!killed && options.timeoutSeconds > 0 && Now() - start > options.timeoutSeconds) {
      ::kill(pid, SIGKILL);
      killed = true;
    }
    if (ready <= 0) continue;
    for (int k = 0; k < 2; ++k) {
      if (fds[k].fd < 0 || !(fds[k].revents & (POLLIN | POLLHUP | POLLERR))) continue;
      const ssize_t n = ::read(fds[k].fd, buf, sizeof buf);
      if (n <= 0) {
        ::close(fds[k].fd);
        fds[k].fd = -1;
        --open;
      } else {
        (k == 0 ? r.out : r.err).append(buf, static_cast<size_t>(n));
        if (k == 0 && r.markerSeconds < 0 && !options.marker.empty() && r.out.find(options.marker) != std::string::npos)
          r.markerSeconds = Now() - start;
      }
    }
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  r.seconds = Now() - start;
  r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return r;
}

RunResult Run(const std::vector<std::string>& argv, const std::string* input) {
  RunOptions options;
  if (input) options.input = *input;
  return Run(argv, options);
}

bool HaveProgram(const std::string& name) { return Shell("command -v " + name); }

bool Shell(const std::string& command) {
  const std::string line = "(" + command + ") >/dev/null 2>&1";
  return std::system(line.c_str()) == 0;
}

bool EncodeTone(const std::string& path, double seconds, int rate, int channels, const std::string& args) {
  char tone[96];
  std::snprintf(tone, sizeof tone, "sine=frequency=440:duration=%g:sample_rate=%d", seconds, rate);
  return Shell("ffmpeg -nostdin -hide_banner -loglevel error -y -f lavfi -i " + std::string(tone) + " -ac " +
               std::to_string(channels) + " " + args + " '" + path + "'");
}

std::string BuiltProgram(const std::string& relative) {
#ifdef QUAV_BINARY_DIR
  return std::string(QUAV_BINARY_DIR) + "/" + relative;
#else
  return relative;
#endif
}

}  // namespace testsupport
