// What reaches the terminal, and what the terminal keeps, through the built
// program on a pseudo-terminal: text from files cannot control it, typed
// keys neither echo nor reach the shell, a background run leaves it alone.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <termios.h>

#include <string>

#include "AudioFiles.h"
#include "Id3v2Builders.h"
#include "PlayerHarness.h"

namespace {

using playertest::Launch;
using playertest::PlayerInstall;
using playertest::PtySession;
using playertest::ShellReport;
using playertest::WavTone;

const std::string kReplacement = "\xEF\xBF\xBD";
constexpr tcflag_t kLineMode = ICANON | ECHO;

TEST(ConsoleSafety, TagsAndNamesCannotControlTheTerminal) {
  REQUIRE_ENGINE();
  if (!testsupport::HaveProgram("ffmpeg")) GTEST_SKIP() << "ffmpeg not installed";
  PlayerInstall install;
  // An MP3 without a tag from the encoder, behind an ID3v2.4 tag whose text
  // holds escape sequences, line breaks, a C1 control and a multi-value
  // genre (values separated by NUL).
  const std::string bare = install.File("bare.mp3");
  ASSERT_TRUE(testsupport::EncodeTone(bare, 0.4, 44100, 2, "-c:a libmp3lame -b:a 128k -id3v2_version 0 -write_xing 0"));
  using mp3build::Id3v2Frame;
  using mp3build::TextContent;
  const std::u16string title =
      u"Evil\x1b]0;x\x07"
      u"Title\x1b[31m\u009b"
      u"31m!";
  const std::string tag = mp3build::Id3v2Tag(
      4, Id3v2Frame(4, "TIT2", TextContent(3, title)) + Id3v2Frame(4, "TPE1", TextContent(3, u"Line1\nLine2")) +
             Id3v2Frame(4, "TALB", TextContent(3, u"Al\rbum")) +
             Id3v2Frame(4, "TCON", TextContent(3, std::u16string(u"Rock\0Pop", 8))));
  const std::string music = install.File("music");
  const std::string mp3 = install.Write("music/a.mp3", tag + testsupport::ReadWholeFile(bare));
  install.Write("music/b\x1b]0;y\x07.wav", WavTone(0.3));
  install.Write("music/c\x1b[2J.txt", "not audio");

  // The library keeps the values exactly as read.
  const TGeneralAudioFile file(mp3);
  ASSERT_TRUE(file.Valid());
  EXPECT_EQ(file.Title(), title);
  EXPECT_EQ(file.Genre(), std::u16string(u"Rock\0Pop", 8));

  PtySession session(install, {music, "/n"});
  const int status = session.WaitExit(30);
  ASSERT_TRUE(WIFEXITED(status)) << status;
  EXPECT_EQ(WEXITSTATUS(status), 0);
  const std::string& out = session.Output();
  EXPECT_EQ(out.find('\x1b'), std::string::npos) << out;
  EXPECT_EQ(out.find('\x07'), std::string::npos) << out;
  const std::string r = kReplacement;
  // (The terminal turns each LF into CR LF.)
  EXPECT_NE(out.find("Playing file: 1 Evil" + r + "]0;x" + r + "Title" + r + "[31m" + r + "31m! Artist: Line1" + r +
                     "Line2 Album: Al" + r + "bum Genre: Rock / Pop 0:00 from 3\r\r\n"),
            std::string::npos)
      << out;
  EXPECT_NE(out.find("Playing file: 2 b" + r + "]0;y" + r + " 0:00 from 3\r\r\n"), std::string::npos) << out;
  EXPECT_NE(out.find("can't play " + music + "/c" + r + "[2J.txt\r\r\n"), std::string::npos) << out;
}

TEST(ConsoleSafety, KeysTypedDuringFolderPlaybackNeitherEchoNorReachTheShell) {
  REQUIRE_ENGINE();
  PlayerInstall install;
  install.Write("music/a.wav", WavTone(0.8));
  install.Write("music/b.wav", WavTone(0.8));
  PtySession session(install, {"music", "/n"}, Launch::Foreground);
  ASSERT_TRUE(session.WaitFor("Playing: ", 10)) << session.Output();
  EXPECT_EQ(session.Mode().c_lflag & kLineMode, 0u) << "no echo while a folder plays";
  session.Send("abc\n");
  ASSERT_TRUE(session.WaitFor("Playing file: 2 ", 10)) << session.Output();
  session.Send("xyz");
  ASSERT_NE(session.WaitExit(20), -1);
  const ShellReport report = session.Report();
  ASSERT_TRUE(report.found) << session.Output();
  EXPECT_EQ(report.exitCode, 0);
  EXPECT_EQ(report.unread, 0) << "typed text left for the shell to run";
  EXPECT_EQ(report.lflag & kLineMode, kLineMode);
  EXPECT_TRUE(report.sameMode);
  EXPECT_EQ(session.Output().find("abc"), std::string::npos) << session.Output();
  EXPECT_EQ(session.Output().find("xyz"), std::string::npos) << session.Output();
  EXPECT_NE(session.Output().find("Playing file: 2 b 0:00 from 2"), std::string::npos) << "both tracks played";
}

TEST(ConsoleSafety, SpaceStillStopsASingleFileAndNothingTypedIsLeft) {
  REQUIRE_ENGINE();
  PlayerInstall install;
  install.Write("long.wav", WavTone(8));
  PtySession session(install, {"long.wav"}, Launch::Foreground);
  ASSERT_TRUE(session.WaitFor("Playing: ", 10)) << session.Output();
  session.Send("x");
  ASSERT_TRUE(session.WaitFor(" - 0:01 - ", 10)) << "another key does not stop it";
  // The space stops; what follows it is still waiting when the run ends.
  session.Send(" more");
  ASSERT_NE(session.WaitExit(5), -1) << "the space stopped the track";
  const ShellReport report = session.Report();
  ASSERT_TRUE(report.found) << session.Output();
  EXPECT_EQ(report.exitCode, 0);
  EXPECT_EQ(report.unread, 0);
  EXPECT_TRUE(report.sameMode);
}

TEST(ConsoleSafety, BackgroundRunPlaysToItsEndWithoutTouchingTheTerminal) {
  REQUIRE_ENGINE();
  PlayerInstall install;
  install.Write("tone.wav", WavTone(1.5));
  PtySession session(install, {"tone.wav"}, Launch::Background);
  ASSERT_TRUE(session.WaitFor("Playing: ", 10)) << session.Output();
  EXPECT_EQ(session.Mode().c_lflag & kLineMode, kLineMode) << "the shell's mode stays while it runs";
  // Typed to the shell, not to the program: no stop, and left for the shell.
  session.Send(" ");
  ASSERT_NE(session.WaitExit(20), -1);
  const ShellReport report = session.Report();
  ASSERT_TRUE(report.found) << session.Output();
  EXPECT_EQ(report.stopSignal, 0) << "stopped by signal " << report.stopSignal;
  EXPECT_EQ(report.exitCode, 0);
  EXPECT_TRUE(report.sameMode);
  EXPECT_EQ(report.unread, 1);
  EXPECT_NE(session.Output().find("Playing: 100%  - 0:01"), std::string::npos) << "played to the total";
  EXPECT_GE(session.SecondsSinceStart(), 1.0);
}

}  // namespace
