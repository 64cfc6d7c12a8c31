#include "TestSupport.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
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

RunResult Run(const std::vector<std::string>& argv, const std::string* input) {
  int outPipe[2], errPipe[2], inPipe[2];
  if (::pipe(outPipe) || ::pipe(errPipe) || ::pipe(inPipe)) throw std::runtime_error("pipe");
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::dup2(outPipe[1], 1);
    ::dup2(errPipe[1], 2);
    if (input) {
      ::dup2(inPipe[0], 0);
    } else {
      const int devnull = ::open("/dev/null", O_RDONLY);
      ::dup2(devnull, 0);
    }
    ::close(outPipe[0]); ::close(errPipe[0]); ::close(inPipe[1]);
    std::vector<char*> args;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    ::execvp(args[0], args.data());
    std::_Exit(127);
  }
  ::close(outPipe[1]); ::close(errPipe[1]); ::close(inPipe[0]);
  if (input) {
    size_t done = 0;
    while (done < input->size()) {
      const ssize_t n = ::write(inPipe[1], input->data() + done, input->size() - done);
      if (n <= 0) break;
      done += static_cast<size_t>(n);
    }
  }
  ::close(inPipe[1]);
  RunResult r;
  pollfd fds[2] = {{outPipe[0], POLLIN, 0}, {errPipe[0], POLLIN, 0}};
  int open = 2;
  char buf[65536];
  while (open > 0) {
    if (::poll(fds, 2, -1) < 0) {
      if (errno == EINTR) continue;
      break;
    }
    for (int k = 0; k < 2; ++k) {
      if (fds[k].fd < 0 || !(fds[k].revents & (POLLIN | POLLHUP | POLLERR))) continue;
      const ssize_t n = ::read(fds[k].fd, buf, sizeof buf);
      if (n <= 0) {
        ::close(fds[k].fd);
        fds[k].fd = -1;
        --open;
      } else {
        (k == 0 ? r.out : r.err).append(buf, static_cast<size_t>(n));
      }
    }
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return r;
}

bool HaveProgram(const std::string& name) {
  return Shell("command -v " + name);
}

bool Shell(const std::string& command) {
  const std::string line = "(" + command + ") >/dev/null 2>&1";
  return std::system(line.c_str()) == 0;
}

std::string BuiltProgram(const std::string& relative) {
#ifdef QUAV_BINARY_DIR
  return std::string(QUAV_BINARY_DIR) + "/" + relative;
#else
  return relative;
#endif
}

}  // namespace testsupport
