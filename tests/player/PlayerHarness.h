// Running the built quavlin program as a black box: a private copy in a
// temporary directory beside its own quavlin.cfg, runs with a chosen
// working directory, and sessions on a pseudo-terminal. Every run has a
// home folder of its own, so a copy without quavlin.cfg never reads or
// writes the files of the user who runs the tests.
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
  // The runs' home folder: HOME, with XDG_CONFIG_HOME and XDG_STATE_HOME
  // empty (their defaults below HOME) unless a run's options set them.
  const testsupport::TempDir& Home() const { return fHome; }
  // The settings above, as "NAME=value".
  std::vector<std::string> Environment() const;
  std::string Program() const { return fDir.file("quavlin"); }
  std::string File(const std::string& name) const { return fDir.file(name); }
  std::string Write(const std::string& name, const std::string& bytes) const { return fDir.write(name, bytes); }

  PlayerRun Run(const std::vector<std::string>& args, const RunOptions& options = {}) const;

 private:
  testsupport::TempDir fDir;
  testsupport::TempDir fHome;
};

// Runs the program as the unprivileged user nobody when this process is
// root (as in CI), so that file permissions apply; otherwise as it is. The
// installation is made readable for that user (not the home folder: a test
// that needs it gives it away). `skip` tells why it could not run.
PlayerRun RunUnprivileged(const PlayerInstall& install, const std::vector<std::string>& args, std::string& skip,
                          const RunOptions& options = {});

// True when the engine opens the silent device and plays a short tone.
bool EngineCanPlay();

// Tests that need real playback stop at once, with one clear message, when
// the engine cannot play at all.
#define REQUIRE_ENGINE() ASSERT_TRUE(playertest::EngineCanPlay()) << "the engine cannot play a tone on device 0"

// How a pseudo-terminal session starts the program.
enum class Launch {
  Direct,      // the program itself leads the session, in the foreground
  Foreground,  // a shell stand-in leads it and runs the program in its own (foreground) group
  Background,  // the same, with the program in a process group of its own that is not the foreground
};

// What the shell stand-in met when the program ended: as a shell regains
// the terminal after a job.
struct ShellReport {
  bool found = false;
  int exitCode = -1;      // -1 unless the program exited
  int signal = 0;         // the signal that ended it
  int stopSignal = 0;     // the signal that stopped it (it is then killed)
  unsigned lflag = 0;     // the terminal's local mode flags afterwards
  bool sameMode = false;  // the whole terminal mode as before the program started
  int unread = -1;        // bytes typed and not read, left to the shell
};

// The program on a pseudo-terminal as its controlling terminal and
// standard input and output.
class PtySession {
 public:
  // columns: the terminal's width (0: the system's default).
  PtySession(const PlayerInstall& install, const std::vector<std::string>& args, Launch launch = Launch::Direct,
             int columns = 0);
  ~PtySession();
  PtySession(const PtySession&) = delete;
  PtySession& operator=(const PtySession&) = delete;

  // Reads output until it contains text (at or after offset from); false
  // after the timeout.
  bool WaitFor(const std::string& text, double timeoutSeconds, size_t from = 0);
  void Send(const std::string& bytes);
  // Resizes the terminal (the program gets SIGWINCH).
  void Resize(int columns);
  void Terminate();  // SIGTERM to the program
  // Waits for the program to end; its wait status, or -1 after the timeout
  // (the program is then killed).
  int WaitExit(double timeoutSeconds);
  // The terminal's current mode (read through the controlling side).
  termios Mode() const;
  const std::string& Output() const { return fOutput; }
  // The stand-in's report, from the output (after WaitExit).
  ShellReport Report() const;
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

// A whole run on a terminal of that width: the exit code, and standard
// output and error together as the terminal passes them on (a CR LF
// arrives as CR CR LF).
PlayerRun RunOnTerminal(const PlayerInstall& install, const std::vector<std::string>& args, int columns = 0,
                        double timeoutSeconds = 60);

using testsupport::Now;

}  // namespace playertest
