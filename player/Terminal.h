// Keyboard input while the players run.
#pragma once

#include <vector>

#include "Keys.h"

// While alive, puts standard input - when it is a terminal - in
// non-canonical, no-echo mode, so a single key press is seen at once and
// typed text neither lands on the status line nor reaches the shell after
// the program. The mode is changed only while the process is in the
// terminal's foreground process group: a run started in the background
// leaves the terminal alone (and is not stopped for touching it), and one
// brought to the foreground later gets the mode on SIGCONT.
//
// The previous mode comes back, with input typed and not read discarded,
// when the object goes, when the process exits, and on SIGINT, SIGTERM,
// SIGHUP, SIGQUIT, SIGPIPE and SIGTSTP (the signal then takes its default
// course; after a suspension the mode is set again on SIGCONT). A second
// object while one is alive changes nothing.
class KeyInputMode {
 public:
  KeyInputMode();
  ~KeyInputMode();
  KeyInputMode(const KeyInputMode&) = delete;
  KeyInputMode& operator=(const KeyInputMode&) = delete;

 private:
  bool fOwner = false;
};

// The keys pressed since the last call, read without waiting. Nothing
// unless standard input is a terminal in key mode (a console on Windows)
// and the process is in its foreground.
std::vector<KeyPress> PollKeys();
