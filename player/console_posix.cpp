#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cstdlib>

#include "Console.h"

namespace console {

namespace {

volatile sig_atomic_t gResized = 1;

void OnResize(int) { gResized = 1; }

}  // namespace

// Terminals here take UTF-8 as it is.
void WriteText(std::FILE* stream, std::string_view text) {
  if (!text.empty()) std::fwrite(text.data(), 1, text.size(), stream);
}

bool OutputIsTerminal() {
  static const bool terminal = ::isatty(STDOUT_FILENO) != 0;
  return terminal;
}

int OutputColumns() {
  static int columns = 0;
  static bool watching = false;
  if (!OutputIsTerminal()) return 0;
  if (!watching) {
    struct sigaction action {};
    action.sa_handler = OnResize;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGWINCH, &action, nullptr);
    watching = true;
  }
  if (gResized) {
    gResized = 0;
    winsize size{};
    columns = ::ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) == 0 ? size.ws_col : 0;
  }
  return columns;
}

bool OutputClosed() {
  pollfd out{STDOUT_FILENO, 0, 0};
  return ::poll(&out, 1, 0) == 1 && (out.revents & POLLERR) != 0;
}

void EndForClosedOutput() {
  struct sigaction current {};
  ::sigaction(SIGPIPE, nullptr, &current);
  // The default ends the process; the terminal's handler restores the
  // terminal first.
  if (current.sa_handler != SIG_IGN) ::raise(SIGPIPE);
  std::exit(1);
}

}  // namespace console
