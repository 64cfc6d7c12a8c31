#include "Terminal.h"

#include <signal.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cstdlib>

namespace {

// Written before the handlers are installed and only read by them.
termios gSavedMode;
termios gKeyMode;
volatile sig_atomic_t gModeActive = 0;
bool gAtExitRegistered = false;

constexpr int kRestoringSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE, SIGTSTP};

void RestoreMode() {
  if (gModeActive) ::tcsetattr(STDIN_FILENO, TCSANOW, &gSavedMode);
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

void OnContinue(int) {
  if (gModeActive) {
    ::tcsetattr(STDIN_FILENO, TCSANOW, &gKeyMode);
    ::signal(SIGTSTP, OnRestoringSignal);
  }
}

void InstallHandler(int signal, void (*handler)(int)) {
  struct sigaction action {};
  action.sa_handler = handler;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  ::sigaction(signal, &action, nullptr);
}

}  // namespace

KeyInputMode::KeyInputMode() {
  if (!::isatty(STDIN_FILENO) || ::tcgetattr(STDIN_FILENO, &gSavedMode) != 0) return;
  gKeyMode = gSavedMode;
  gKeyMode.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO);
  gKeyMode.c_cc[VMIN] = 0;
  gKeyMode.c_cc[VTIME] = 0;
  if (!gAtExitRegistered) {
    std::atexit(RestoreMode);
    gAtExitRegistered = true;
  }
  for (int signal : kRestoringSignals) InstallHandler(signal, OnRestoringSignal);
  InstallHandler(SIGCONT, OnContinue);
  gModeActive = 1;
  ::tcsetattr(STDIN_FILENO, TCSANOW, &gKeyMode);
}

KeyInputMode::~KeyInputMode() {
  if (!gModeActive) return;
  RestoreMode();
  gModeActive = 0;
  for (int signal : kRestoringSignals) ::signal(signal, SIG_DFL);
  ::signal(SIGCONT, SIG_DFL);
}

bool StopKeyPressed() {
  if (!::isatty(STDIN_FILENO)) return false;
  int waiting = 0;
  if (::ioctl(STDIN_FILENO, FIONREAD, &waiting) != 0 || waiting <= 0) return false;
  char key = 0;
  if (::read(STDIN_FILENO, &key, 1) == 1 && key == ' ') return true;
  ::tcflush(STDIN_FILENO, TCIFLUSH);
  return false;
}
