// Trouble that real folders and desktops bring, met as a user meets it: a
// named pipe among the files, a file cut short while it plays, a full disk,
// a reader that goes away, a big library.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "PlayerHarness.h"

namespace {

using playertest::PlayerInstall;
using playertest::PlayerRun;
using playertest::PtySession;
using playertest::WavTone;
namespace fs = std::filesystem;

std::string Quote(const std::string& s) { return "'" + s + "'"; }

TEST(Faults, PipesAndDevicesInAListArePassedOver) {
  REQUIRE_ENGINE();
  PlayerInstall install;
  install.Write("music/a.wav", WavTone(0.2));
  install.Write("music/c.wav", WavTone(0.2));
  ASSERT_EQ(::mkfifo(install.File("music/b.fifo").c_str(), 0644), 0);
  install.Write("list.m3u", "music/b.fifo\n/dev/zero\nmusic/c.wav\n");
  playertest::RunOptions options;
  options.timeoutSeconds = 20;  // opened, the pipe would wait for a writer forever
  const PlayerRun folder = install.Run({"music", "/n"}, options);
  EXPECT_EQ(folder.exitCode, 0) << folder.err;
  EXPECT_NE(folder.out.find("can't play music/b.fifo\r\nPlaying file: 3 c"), std::string::npos) << folder.out;
  const PlayerRun list = install.Run({"list.m3u"}, options);
  EXPECT_EQ(list.exitCode, 0) << list.err;
  EXPECT_NE(list.out.find("can't play music/b.fifo\r\ncan't play /dev/zero\r\nPlaying file: 3 c"), std::string::npos)
      << list.out;
  EXPECT_EQ(list.err, "");
}

TEST(Faults, FileCutShortOrDeletedWhilePlayingEndsItsTrack) {
  REQUIRE_ENGINE();
  PlayerInstall install;
  const std::string a = install.Write("cut/a.wav", WavTone(6));
  install.Write("cut/b.wav", WavTone(0.3));
  const std::string c = install.Write("cut/c.wav", WavTone(0.3));
  PtySession session(install, {"cut", "/n"});
  ASSERT_TRUE(session.WaitFor(" - 0:01 - ", 10)) << session.Output();
  // Another program cuts the playing file to 2 s and deletes a later one.
  fs::resize_file(a, 44 + 2 * 44100 * 4);
  fs::remove(c);
  const double cut = session.SecondsSinceStart();
  const int status = session.WaitExit(10);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status << session.Output();
  EXPECT_LT(session.SecondsSinceStart() - cut, 3.0) << "the first track played on past its data";
  EXPECT_NE(session.Output().find("Playing file: 2 b"), std::string::npos);
  EXPECT_NE(session.Output().find("can't play cut/c.wav"), std::string::npos) << session.Output();
}

TEST(Faults, LastPlaylistIsWrittenWholeOrNotAtAll) {
  REQUIRE_ENGINE();
  if (!testsupport::HaveProgram("prlimit")) GTEST_SKIP() << "prlimit is not installed";
  PlayerInstall install;
  install.Write("music/a.wav", WavTone(0.1));
  // A full disk: no file may grow beyond 20 bytes (the signal that would
  // end the program ignored, so that the write fails as on a full disk).
  const testsupport::RunResult full = testsupport::Run(
      {"sh", "-c",
       "trap '' XFSZ; cd " + Quote(install.Dir().path().string()) + " && exec prlimit --fsize=20 ./quavlin music"});
  EXPECT_EQ(full.exitCode, 1);
  EXPECT_EQ(full.err, "Exception EInOutError in module quavlin at 0000000000000000.\r\nFile too large.\r\n\r\n");
  EXPECT_EQ(full.out.find("Playing file"), std::string::npos) << "reported before anything plays";
  // Nothing half-written, nothing left over.
  for (const auto& entry : fs::directory_iterator(install.Dir().path()))
    EXPECT_EQ(entry.path().filename().string().find("lastplay"), std::string::npos) << entry.path();
}

TEST(Faults, ReaderThatGoesAwayEndsTheRunAtOnce) {
  REQUIRE_ENGINE();
  PlayerInstall install;
  install.Write("long.wav", WavTone(10));
  const std::string player = Quote(install.Program()) + " " + Quote(install.File("long.wav"));
  // The reader stops after the header; the run ends at its next status line
  // (a second at most), not after ten seconds. With the signal ignored too.
  for (const std::string& ignore : {std::string(), std::string("trap '' PIPE; ")}) {
    const testsupport::RunResult r =
        testsupport::Run({"sh", "-c", ignore + player + " | head -c 150 > /dev/null"}, nullptr);
    EXPECT_EQ(r.exitCode, 0) << ignore;
    EXPECT_LT(r.seconds, 4.0) << ignore;
  }
}

TEST(Faults, BigLibraryShowsItsFirstTrackQuickly) {
  REQUIRE_ENGINE();
  PlayerInstall install;
  const std::string tone = WavTone(30);
  for (int folder = 0; folder < 100; ++folder) {
    const std::string dir = install.File("library/" + std::to_string(1000 + folder));
    fs::create_directories(dir);
    for (int file = 0; file < 200; ++file) std::ofstream(dir + "/" + std::to_string(1000 + file) + ".wav") << "";
  }
  install.Write("library/1000/0000.wav", tone);
  PtySession session(install, {"library"});
  ASSERT_TRUE(session.WaitFor("Playing file: 1 0000 0:30 from 20001", 20)) << session.Output().substr(0, 500);
  const double first = session.SecondsSinceStart();
  session.WaitFor(" - 0:01 - ", 5);
  std::ifstream status("/proc/" + std::to_string(session.Pid()) + "/status");
  long peakKiB = 0;
  for (std::string line; std::getline(status, line);)
    if (line.rfind("VmHWM:", 0) == 0) peakKiB = std::stol(line.substr(6));
  session.Terminate();
  std::cout << "big library: first track after " << first << " s, memory peak " << peakKiB / 1024 << " MiB\n";
  EXPECT_GT(peakKiB, 0);
#if defined(__SANITIZE_ADDRESS__)
  // Sanitizers slow everything down several times, and their shadow memory
  // says nothing of the player's own: the release build's run checks it.
  EXPECT_LT(first, 8.0);
#else
  EXPECT_LT(first, 2.0);
  EXPECT_LT(peakKiB, 64 * 1024);
#endif
}

}  // namespace
