// Running the built quavlin program as a black box: a private copy in a
// temporary directory beside its own quavlin.cfg, runs with a chosen
// working directory, and sessions on a pseudo-terminal.
#pragma once

#include <sys/types.h>
#include <termios.h>

#include <optional>
#include <string>
#include <vector>

#include "TestSupport.h"

namespace playertest {

// 16-bit PCM WAVE bytes of a sine tone.
std::string WavTone(double seconds, double frequency = 440, int channels = 2, int rate = 44100);

using PlayerRun = testsupport::RunResult;
using RunOptions = testsupport::RunOptions;  // an empty cwd means the installation directory

class PlayerInstall {
 public:
  // Copies the built program into a fresh directory with this configuration
  // file (no file when nullopt). The default names the silent device 0.
  explicit PlayerInstall(std::optional<std::string> config = std::string("0\r\n20\r\n"));

  const testsupport::TempDir& Dir() const { return fDir; }
  std::string Program() const { return fDir.file("quavlin"); }
  std::string File(const std::string& name) const { return fDir.file(name); }
  std::string Write(const std::string& name, const std::string& bytes) const { return fDir.write(name, bytes); }

  PlayerRun Run(const std::vector<std::string>& args, const RunOptions& options = {}) const;

 private:
  testsupport::TempDir fDir;
};

// True when the engine opens the silent device and plays a short tone.
bool EngineCanPlay();

// Tests that need real playback stop at once, with one clear message, when
// the engine cannot play at all.
#define REQUIRE_ENGINE() \
  ASSERT_TRUE(playertest::EngineCanPlay()) << "the engine cannot play a tone on device 0"

// The program on a pseudo-terminal as its controlling terminal and
// standard input and output.
class PtySession {
 public:
  PtySession(const PlayerInstall& install, const std::vector<std::string>& args);
  ~PtySession();
  PtySession(const PtySession&) = delete;
  PtySession& operator=(const PtySession&) = delete;

  // Reads output until it contains text; false after the timeout.
  bool WaitFor(const std::string& text, double timeoutSeconds);
  void Send(const std::string& bytes);
  void Terminate();  // SIGTERM to the program
  // Waits for the program to end; its wait status, or -1 after the timeout
  // (the program is then killed).
  int WaitExit(double timeoutSeconds);
  // The terminal's current mode (read through the controlling side).
  termios Mode() const;
  const std::string& Output() const { return fOutput; }
  double SecondsSinceStart() const;
  pid_t Pid() const { return fPid; }
  bool Exited() const { return fExited; }

 private:
  void Drain(int timeoutMs);
  int fMaster = -1;
  pid_t fPid = -1;
  bool fExited = false;
  std::string fOutput;
  double fStart = 0;
};

using testsupport::Now;

}  // namespace playertest
