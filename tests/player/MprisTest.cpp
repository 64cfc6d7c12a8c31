// The desktop's media controls: the player on a private D-Bus session bus
// that the test starts, driven and read with dbus-send as a panel or a
// media key would, judged by what the player then plays.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "PlayerHarness.h"

namespace {

using playertest::PlayerInstall;
using playertest::PtySession;
using playertest::WavTone;

constexpr const char* kName = "org.mpris.MediaPlayer2.quavlin";
constexpr const char* kPlayer = "org.mpris.MediaPlayer2.Player";

// A session bus of the test's own, which this process (and so the players
// it starts) is pointed at while the object lives.
class SessionBus {
 public:
  SessionBus() {
    for (const char* program : {"dbus-daemon", "dbus-send", "dbus-monitor"})
      if (!testsupport::HaveProgram(program)) fProblem = std::string(program) + " is not installed";
    if (!fProblem.empty()) return;
    const std::string socket = fDir.file("bus");
    fDir.write("bus.conf",
               "<busconfig><type>session</type><listen>unix:path=" + socket +
                   "</listen><auth>EXTERNAL</auth><policy context=\"default\"><allow send_destination=\"*\" "
                   "eavesdrop=\"true\"/><allow eavesdrop=\"true\"/><allow own=\"*\"/></policy></busconfig>");
    fDaemon = Start({"dbus-daemon", "--nofork", "--nopidfile", "--config-file=" + fDir.file("bus.conf")}, "daemon");
    for (int i = 0; i < 200 && !std::filesystem::exists(socket); ++i) ::usleep(10'000);
    if (!std::filesystem::exists(socket)) fProblem = "the bus did not start";
    const char* old = std::getenv("DBUS_SESSION_BUS_ADDRESS");
    fSaved = old ? old : "";
    ::setenv("DBUS_SESSION_BUS_ADDRESS", ("unix:path=" + socket).c_str(), 1);
    fMonitor = Start({"dbus-monitor", "--session", "type='signal',path='/org/mpris/MediaPlayer2'"}, "monitor");
  }
  ~SessionBus() {
    for (pid_t pid : {fMonitor, fDaemon})
      if (pid > 0) {
        ::kill(pid, SIGTERM);
        ::waitpid(pid, nullptr, 0);
      }
    if (fSaved.empty())
      ::unsetenv("DBUS_SESSION_BUS_ADDRESS");
    else
      ::setenv("DBUS_SESSION_BUS_ADDRESS", fSaved.c_str(), 1);
  }
  const std::string& Problem() const { return fProblem; }
  std::string Signals() const { return testsupport::ReadWholeFile(fDir.file("monitor.log")); }

  // dbus-send to the player's name; its reply.
  static std::string Send(const std::vector<std::string>& call, const std::string& name = kName) {
    std::vector<std::string> argv{"dbus-send", "--session", "--print-reply", "--dest=" + name,
                                  "/org/mpris/MediaPlayer2"};
    argv.insert(argv.end(), call.begin(), call.end());
    return testsupport::Run(argv).out;
  }
  static std::string Property(const std::string& property, const std::string& interface = kPlayer) {
    return Send({"org.freedesktop.DBus.Properties.Get", "string:" + interface, "string:" + property});
  }
  static std::string Names() {
    return testsupport::Run({"dbus-send", "--session", "--print-reply", "--dest=org.freedesktop.DBus",
                             "/org/freedesktop/DBus", "org.freedesktop.DBus.ListNames"})
        .out;
  }

 private:
  pid_t Start(const std::vector<std::string>& argv, const std::string& log) {
    const std::string out = fDir.file(log + ".log");
    const pid_t pid = ::fork();
    if (pid == 0) {
      if (!std::freopen(out.c_str(), "w", stdout) || ::dup2(STDOUT_FILENO, STDERR_FILENO) < 0) ::_exit(126);
      std::vector<char*> args;
      for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
      args.push_back(nullptr);
      ::execvp(args[0], args.data());
      ::_exit(127);
    }
    return pid;
  }

  testsupport::TempDir fDir;
  std::string fProblem, fSaved;
  pid_t fDaemon = 0, fMonitor = 0;
};

TEST(MediaControls, TheBusDrivesThePlayerAsTheKeysDo) {
  REQUIRE_ENGINE();
  SessionBus bus;
  if (!bus.Problem().empty()) GTEST_SKIP() << bus.Problem();
  PlayerInstall install;
  for (const char* name : {"a", "b"}) install.Write(std::string("mix/") + name + ".wav", WavTone(8));
  PtySession session(install, {"mix", "/n"});
  ASSERT_TRUE(session.WaitFor("Playing: ", 10)) << session.Output();
  std::string status;
  for (int i = 0; i < 100 && status.find("\"Playing\"") == std::string::npos; ++i) {
    status = SessionBus::Property("PlaybackStatus");
    ::usleep(20'000);
  }
  ASSERT_NE(status.find("\"Playing\""), std::string::npos) << "no player on the bus";
  EXPECT_NE(SessionBus::Property("Identity", "org.mpris.MediaPlayer2").find("\"quavlin\""), std::string::npos);
  const std::string metadata = SessionBus::Property("Metadata");
  for (const std::string& piece : {std::string("/org/quavlin/track/0"), std::string("int64 8000000"),
                                   std::string("\"a\""), "\"file://" + install.File("mix/a.wav") + "\""})
    EXPECT_NE(metadata.find(piece), std::string::npos) << piece << " in " << metadata;

  // Each call, and what the player then plays.
  const auto after = [&](const std::vector<std::string>& call, const std::string& shown) {
    const size_t from = session.Output().size();
    SessionBus::Send(call);
    EXPECT_TRUE(session.WaitFor(shown, 5, from)) << call[0] << ": no " << shown;
  };
  after({std::string(kPlayer) + ".PlayPause"}, "Paused: ");
  EXPECT_NE(SessionBus::Property("PlaybackStatus").find("\"Paused\""), std::string::npos);
  after({std::string(kPlayer) + ".Play"}, "Playing: ");
  after({std::string(kPlayer) + ".Seek", "int64:3000000"}, " - 0:03 - ");
  after(
      {"org.freedesktop.DBus.Properties.Set", std::string("string:") + kPlayer, "string:Volume", "variant:double:0.5"},
      "Volume: 50");
  EXPECT_NE(SessionBus::Property("Volume").find("double 0.5"), std::string::npos);
  after({std::string(kPlayer) + ".Next"}, "Playing file: 2 b");
  EXPECT_NE(SessionBus::Property("Metadata").find("\"b\""), std::string::npos);
  EXPECT_NE(SessionBus::Property("CanGoNext").find("boolean false"), std::string::npos);
  after({std::string(kPlayer) + ".SetPosition", "objpath:/org/quavlin/track/1", "int64:4000000"}, " - 0:04 - ");
  after({std::string(kPlayer) + ".Previous"}, " - 0:00 - ");

  // A second player takes a name of its own.
  PtySession second(install, {"mix", "/n"});
  ASSERT_TRUE(second.WaitFor("Playing: ", 10));
  const std::string instance = std::string(kName) + ".instance" + std::to_string(second.Pid());
  bool named = false;
  for (int i = 0; i < 100 && !named; ++i, ::usleep(20'000))
    named = SessionBus::Names().find(instance) != std::string::npos;
  EXPECT_TRUE(named) << SessionBus::Names();
  SessionBus::Send({std::string(kPlayer) + ".Stop"}, instance);
  EXPECT_EQ(second.WaitExit(5) >> 8, 0);

  // Stop ends the run; the changes were signalled.
  SessionBus::Send({std::string(kPlayer) + ".Stop"});
  const int exited = session.WaitExit(5);
  ASSERT_TRUE(WIFEXITED(exited));
  EXPECT_EQ(WEXITSTATUS(exited), 0);
  const std::string signals = bus.Signals();
  for (const char* piece : {"PropertiesChanged", "\"Paused\"", "member=Seeked", "xesam:title"})
    EXPECT_NE(signals.find(piece), std::string::npos) << piece;
}

}  // namespace
