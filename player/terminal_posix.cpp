#include "Terminal.h"

#include <signal.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cstdlib>

namespace {

// Shared with the signal handlers. gSavedMode is what the key mode
// replaced; it is written only while gApplied is 0.
termios gSavedMode;
volatile sig_atomic_t gWanted = 0;   // a KeyInputMode is alive on a terminal
volatile sig_atomic_t gApplied = 0;  // the key mode is set on the terminal
bool gAtExitRegistered = false;

constexpr int kRestoringSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE, SIGTSTP};

// Changing the mode or discarding input from a background process group
// stops the process with SIGTTOU (reading, with SIGTTIN); only the
// foreground group may do either. Every call here is async-signal-safe.
bool InForeground() {
  const pid_t foreground = ::tcgetpgrp(STDIN_FILENO);
  return foreground != -1 && foreground == ::getpgrp();
}

void ApplyMode() {
  if (!gWanted || gApplied || !InForeground()) return;
  termios current;
  if (::tcgetattr(STDIN_FILENO, &current) != 0) return;
  gSavedMode = current;
  termios keys = current;
  keys.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO);
  keys.c_cc[VMIN] = 0;
  keys.c_cc[VTIME] = 0;
  if (::tcsetattr(STDIN_FILENO, TCSANOW, &keys) == 0) gApplied = 1;
}

void RestoreMode() {
  if (!gApplied) return;
  gApplied = 0;
  // Moved to the background meanwhile: the shell has the terminal and has
  // set its own mode.
  if (!InForeground()) return;
  ::tcflush(STDIN_FILENO, TCIFLUSH);
  ::tcsetattr(STDIN_FILENO, TCSANOW, &gSavedMode);
}

void OnRestoringSignal(int signal) {
  RestoreMode();
  if (signal == SIGTSTP) {
    // Suspend with the terminal as the shell expects it; SIGCONT sets the
    // key mode again.
    ::signal(SIGTSTP, SIG_DFL);
    ::raise(SIGTSTP);
    return;
  }
  ::signal(signal, SIG_DFL);
  ::raise(signal);
}

void InstallHandler(int signal, void (*handler)(int)) {
  struct sigaction action {};
  action.sa_handler = handler;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  ::sigaction(signal, &action, nullptr);
}

// Continued after a suspension, or moved between foreground and background
// by the shell.
void OnContinue(int) {
  if (!gWanted) return;
  InstallHandler(SIGTSTP, OnRestoringSignal);
  ApplyMode();
}

}  // namespace

KeyInputMode::KeyInputMode() {
  if (gWanted || !::isatty(STDIN_FILENO)) return;
  fOwner = true;
  if (!gAtExitRegistered) {
    std::atexit(RestoreMode);
    gAtExitRegistered = true;
  }
  for (int signal : kRestoringSignals) InstallHandler(signal, OnRestoringSignal);
  InstallHandler(SIGCONT, OnContinue);
  gWanted = 1;
  ApplyMode();
}

KeyInputMode::~KeyInputMode() {
  if (!fOwner) return;
  RestoreMode();
  gWanted = 0;
  for (int signal : kRestoringSignals) ::signal(signal, SIG_DFL);
  ::signal(SIGCONT, SIG_DFL);
}

std::vector<KeyPress> PollKeys() {
  static KeyDecoder decoder;
  if (!gApplied || !InForeground()) return {};
  int waiting = 0;
  if (::ioctl(STDIN_FILENO, FIONREAD, &waiting) != 0 || waiting <= 0) {
    decoder.Idle();
    return {};
  }
  char bytes[256];
  const ssize_t got = ::read(STDIN_FILENO, bytes, sizeof bytes);
  if (got <= 0) return {};
  return decoder.Feed(std::string_view(bytes, static_cast<size_t>(got)));
}
