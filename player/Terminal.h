// Keyboard input while a track plays.
#pragma once

// While alive, puts standard input - when it is a terminal - in
// non-canonical, no-echo mode, so a single key press is seen at once and
// does not land on the status line. The previous mode comes back when the
// object goes, when the process exits, and on SIGINT, SIGTERM, SIGHUP,
// SIGQUIT, SIGPIPE and SIGTSTP (the signal then takes its default course;
// after a suspension the mode is set again on SIGCONT).
class KeyInputMode {
 public:
  KeyInputMode();
  ~KeyInputMode();
  KeyInputMode(const KeyInputMode&) = delete;
  KeyInputMode& operator=(const KeyInputMode&) = delete;
};

// True when a space is waiting on standard input; any other waiting input
// is discarded. Always false when standard input is not a terminal.
bool StopKeyPressed();
