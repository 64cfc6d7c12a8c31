// Single-file playback through the built program on the silent device:
// header, status lines, stop rules, wind-down and the keyboard.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>

#include <algorithm>
#include <filesystem>
#include <regex>
#include <string>

#include "AudioFiles.h"
#include "PlayerHarness.h"
#include "TextUtils.h"

namespace {

using playertest::PlayerInstall;
using playertest::PlayerRun;
using playertest::PtySession;
using playertest::RunOptions;
using playertest::WavTone;

const std::string kBlanking = std::string(67, ' ') + "\r\n";

// The status lines of a run: the pieces between the header and the
// blanking line, each ending in a lone CR.
std::vector<std::string> StatusLines(const std::string& out) {
  std::vector<std::string> lines;
  const std::regex status("(?:Playing|Paused): \\d+%  - \\d+:\\d\\d - [^\r\n]* - cpu \\d+[.,]\\d\\d% *\r(?!\n)");
  for (auto it = std::sregex_iterator(out.begin(), out.end(), status); it != std::sregex_iterator(); ++it)
    lines.push_back(it->str());
  return lines;
}

bool Contains(const std::vector<std::string>& lines, const std::string& piece) {
  for (const auto& l : lines)
    if (l.find(piece) != std::string::npos) return true;
  return false;
}

TEST(SingleFile, HeaderStatusLinesAndTheWholeTrack) {
  REQUIRE_ENGINE();
  PlayerInstall install("0\r\n100\r\n");  // full volume: the meter shows the tone's own peak
  // No reader knows this extension: the header shows the bare name, and
  // the numbers and type as the engine reads the file.
  install.Write("Song.Live.tone", WavTone(2.5));
  RunOptions options;
  options.marker = kBlanking;
  const PlayerRun r = install.Run({"Song.Live.tone"}, options);
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.err, "");
  const std::string head = "Quavlin " QUAV_VERSION "\r\n" + std::string(35, '-') +
                           "\r\nVolume: 100 Shuffle: no\r\n"
                           "Playing file: 1 Song.Live 0:02\r\n"
                           "Bitrate:  1411 kBit/s Channels: 2 Type: WAV / WAVE (Waveform Audio)\r\n";
  ASSERT_EQ(r.out.substr(0, head.size()), head);

  // Into a pipe, one status line per second heard, with the terminal's text.
  const auto lines = StatusLines(r.out);
  ASSERT_EQ(lines.size(), 3u) << r.out;
  EXPECT_EQ(lines[0].substr(0, 21), "Playing: 0%  - 0:00 -");
  EXPECT_EQ(lines[1].substr(0, 21), "Playing: 50%  - 0:01 ");
  EXPECT_EQ(lines[2].substr(0, 23), "Playing: 100%  - 0:02 -");
  // The tone peaks at half scale: eleven of thirteen marks on each side.
  EXPECT_TRUE(Contains(lines, " - L --*********** ***********-- R - ")) << lines[1];
  // Played to its true end, with no run-down after it (that takes half a
  // second).
  EXPECT_GE(r.markerSeconds, 2.5);
  EXPECT_LT(r.seconds - r.markerSeconds, 0.4);
  // Everything written is status lines, then the blanking line at the end.
  std::string joined = head;
  for (const auto& l : lines) joined += l;
  EXPECT_EQ(r.out, joined + kBlanking);
}

TEST(SingleFile, TrackUnderOneSecondPlaysToItsEnd) {
  REQUIRE_ENGINE();
  PlayerInstall install;
  install.Write("short.tone", WavTone(0.7));
  RunOptions options;
  options.marker = kBlanking;
  const PlayerRun r = install.Run({"short.tone"}, options);
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.out.find("Playing file: 1 short 0:00\r\n"), std::string::npos);
  const auto lines = StatusLines(r.out);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].substr(0, 19), "Playing: 0%  - 0:00") << lines[0];
  EXPECT_GE(r.markerSeconds, 0.6);
}

TEST(SingleFile, RedirectedInputPlaysToTheEnd) {
  REQUIRE_ENGINE();
  PlayerInstall install;
  install.Write("tone.tone", WavTone(1.6));
  RunOptions options;
  options.input = std::string("    \n    \n");
  const PlayerRun r = install.Run({"tone.tone"}, options);
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_TRUE(Contains(StatusLines(r.out), "Playing: 100%  - 0:01 -"));
  EXPECT_GE(r.seconds, 1.0 + 0.45);
}

TEST(SingleFile, CpuFigureFollowsTheNumericLocale) {
  REQUIRE_ENGINE();
  if (!testsupport::HaveProgram("localedef") || !std::filesystem::exists("/usr/share/i18n/locales/de_DE"))
    GTEST_SKIP() << "cannot build a German locale here";
  PlayerInstall install;
  const std::string locales = install.File("locales");
  std::filesystem::create_directory(locales);
  ASSERT_TRUE(testsupport::Shell("localedef -i de_DE -f UTF-8 '" + locales + "/de_DE.UTF-8'"));
  install.Write("tone.tone", WavTone(0.3));
  RunOptions options;
  // glibc keeps a small buffer for a locale loaded through LOCPATH for the
  // life of the process, which the leak checker of a sanitised build reports.
  options.env = {"LOCPATH=" + locales, "LC_ALL=de_DE.UTF-8", "ASAN_OPTIONS=detect_leaks=0"};
  const PlayerRun r = install.Run({"tone.tone"}, options);
  ASSERT_EQ(r.exitCode, 0) << r.err;
  const auto lines = StatusLines(r.out);
  ASSERT_FALSE(lines.empty());
  for (const auto& l : lines) EXPECT_TRUE(std::regex_search(l, std::regex(" R - cpu \\d+,\\d\\d% *\r$"))) << l;
}

TEST(SingleFile, HeaderShowsWhatTheTagLibraryReads) {
  REQUIRE_ENGINE();
  if (!testsupport::HaveProgram("ffmpeg")) GTEST_SKIP() << "ffmpeg not installed";
  PlayerInstall install;
  const std::string mp3 = install.File("tagged.mp3");
  ASSERT_TRUE(testsupport::EncodeTone(mp3, 1.2, 44100, 2,
                                      "-c:a libmp3lame -b:a 128k -metadata title='Demo Title' -metadata "
                                      "artist='Demo Artist' -metadata genre='Rock'"));
  const PlayerRun r = install.Run({"tagged.mp3"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  const TGeneralAudioFile file(mp3);
  std::string first = "Playing file: 1 " + (file.Title().empty() ? std::string("tagged") : Utf16ToUtf8(file.Title()));
  if (!file.Artist().empty()) first += " Artist: " + Utf16ToUtf8(file.Artist());
  if (!file.Album().empty()) first += " Album: " + Utf16ToUtf8(file.Album());
  if (!file.Genre().empty()) first += " Genre: " + Utf16ToUtf8(file.Genre());
  first += " 0:01\r\n";
  const std::string second = "Bitrate:  " + std::to_string(file.Bitrate() / 1000) +
                             " kBit/s Channels: " + std::to_string(file.Channels()) +
                             " Type: " + Utf16ToUtf8(file.FileTypeName()) + "\r\n";
  EXPECT_NE(r.out.find(first + second), std::string::npos) << r.out.substr(0, 300);
}

TEST(SingleFile, HeaderFromTheEngineForFormatsWithoutReader) {
  REQUIRE_ENGINE();
  if (!testsupport::HaveProgram("ffmpeg")) GTEST_SKIP() << "ffmpeg not installed";
  PlayerInstall install;
  const std::string music = install.File("music");
  std::filesystem::create_directory(music);
  const auto encode = [&](const std::string& name, int channels, const std::string& args, const char* what) {
    return testsupport::EncodeTone(music + "/" + name, 0.3, 44100, channels,
                                   args + " -metadata title='" + what + " Title' -metadata artist='" + what +
                                       " Artist' -metadata album='" + what + " Album' -metadata genre='" + what +
                                       " Genre'");
  };
  ASSERT_TRUE(encode("a.opus", 2, "-c:a libopus -b:a 64k", "Opus"));
  ASSERT_TRUE(encode("b.m4a", 2, "-c:a aac -b:a 96k", "M4A"));
  ASSERT_TRUE(encode("c.aiff", 1, "-write_id3v2 1", "AIFF"));
  // An AIFF without tags, made by sox: the bare name, the engine's numbers.
  const bool haveSox = testsupport::HaveProgram("sox");
  if (haveSox) {
    ASSERT_TRUE(testsupport::Shell("sox -n -r 22050 -c 2 -b 16 '" + music + "/d.aif' synth 0.3 sine 440"));
  }

  const PlayerRun r = install.Run({"music", "/n"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  const std::string count = haveSox ? "4" : "3";
  const auto header = [&](int n, const std::string& what, const std::string& second) {
    return std::regex("Playing file: " + std::to_string(n) + " " + what + " Title Artist: " + what + " Artist Album: " +
                      what + " Album Genre: " + what + " Genre 0:00 from " + count + "\r\n" + second + "\r\n");
  };
  EXPECT_TRUE(std::regex_search(r.out, header(1, "Opus", "Bitrate:  [1-9]\\d* kBit/s Channels: 2 Type: Opus\\b.*")))
      << r.out;
  EXPECT_TRUE(std::regex_search(r.out, header(2, "M4A", "Bitrate:  [1-9]\\d* kBit/s Channels: 2 Type: AAC\\b.*")))
      << r.out;
  EXPECT_TRUE(std::regex_search(r.out, header(3, "AIFF", "Bitrate:  705 kBit/s Channels: 1 Type: Audio IFF"))) << r.out;
  if (haveSox) {
    EXPECT_NE(r.out.find("Playing file: 4 d 0:00 from 4\r\nBitrate:  705 kBit/s Channels: 2 Type: Audio IFF\r\n"),
              std::string::npos)
        << r.out;
  }
  // The library's answers stay as they were: it has no reader for these.
  const TGeneralAudioFile opus(music + "/a.opus");
  EXPECT_EQ(opus.FileTypeName(), u"Invalid Audiofile");
  EXPECT_EQ(opus.Channels(), 0);
}

TEST(SingleFile, HeaderFromTheEngineWhenTheReaderFindsTheFileInvalid) {
  REQUIRE_ENGINE();
  if (!testsupport::HaveProgram("ffmpeg")) GTEST_SKIP() << "ffmpeg not installed";
  PlayerInstall install;
  // A comment of 70,000 bytes: the comment packet spans Ogg pages.
  const std::string ogg = install.File("big.ogg");
  ASSERT_TRUE(
      testsupport::Shell("ffmpeg -nostdin -hide_banner -loglevel error -f lavfi -i "
                         "sine=frequency=440:duration=0.3 -ac 2 -c:a libvorbis -metadata title='Big Ogg' "
                         "-metadata artist='Ogg Artist' -metadata comment=\"$(head -c 70000 /dev/zero | tr "
                         "'\\0' x)\" '" +
                         ogg + "'"));
  const TGeneralAudioFile file(ogg);
  if (file.Valid()) GTEST_SKIP() << "the Ogg reader reads this file itself";
  const PlayerRun r = install.Run({"big.ogg"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_TRUE(std::regex_search(
      r.out, std::regex("Playing file: 1 Big Ogg Artist: Ogg Artist 0:00\r\nBitrate:  [1-9]\\d* kBit/s Channels: 2 "
                        "Type: Vorbis\r\n")))
      << r.out;
}

TEST(Keyboard, SpaceStopsTheTrackAndTheTerminalComesBack) {
  REQUIRE_ENGINE();
  PlayerInstall install;
  install.Write("long.tone", WavTone(8));
  PtySession session(install, {"long.tone"});
  ASSERT_TRUE(session.WaitFor("Playing: ", 10)) << session.Output();
  const termios playing = session.Mode();
  EXPECT_EQ(playing.c_lflag & (ICANON | ECHO), 0u) << "single keys, no echo while playing";
  session.Send(" ");
  const int status = session.WaitExit(5);
  ASSERT_TRUE(WIFEXITED(status)) << status;
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_LT(session.SecondsSinceStart(), 5.0) << "stopped well before the end of 8 s";
  // (The terminal turns each LF into CR LF.)
  EXPECT_NE(session.Output().find(std::string(67, ' ') + "\r\r\n"), std::string::npos);
  const termios after = session.Mode();
  EXPECT_EQ(after.c_lflag & (ICANON | ECHO), static_cast<tcflag_t>(ICANON | ECHO));
}

// What the keys do, judged by the status line: the heard position, the
// meter, the track playing.
TEST(Keyboard, KeysPauseSeekSkipAndSetTheVolume) {
  REQUIRE_ENGINE();
  PlayerInstall install("0\r\n20\r\n");
  for (const char* name : {"a", "b", "c"}) install.Write(std::string("keys/") + name + ".wav", WavTone(15));
  PtySession session(install, {"keys", "/n"});
  const auto after = [&](const std::string& keys, const std::string& shown) {
    const size_t from = session.Output().size();
    session.Send(keys);
    if (session.WaitFor(shown, 5, from)) return true;
    ADD_FAILURE() << "after " << keys << " no " << shown << " in " << session.Output().substr(from, 2000);
    return false;
  };
  ASSERT_TRUE(session.WaitFor("Playing: 0%  - 0:00 - L ---", 10)) << session.Output();
  // Pause: "Paused", an empty meter, the time standing still; a key that
  // means nothing changes nothing.
  ASSERT_TRUE(after("xp", "Paused: 0%  - 0:00 - L ------------- ------------- R"));
  EXPECT_FALSE(session.WaitFor("0:01", 1.2)) << "the time went on";
  // On again, then 5 s and 60 s on (past the end: the next track), back.
  ASSERT_TRUE(after("p\x1b[C", "Playing: 33%  - 0:05"));
  ASSERT_TRUE(after("\x1bOA", "Playing file: 2 b 0:15 from 3"));
  ASSERT_TRUE(after("\x1b[C\x1b[C", " - 0:10 - "));
  ASSERT_TRUE(after("\x1b[D", " - 0:05 - "));
  // Previous past 3 s: the track's start; within them: the track before.
  ASSERT_TRUE(after("b", " - 0:00 - "));
  ASSERT_TRUE(after("<", "Playing file: 1 a 0:15 from 3"));
  ASSERT_TRUE(after("n", "Playing file: 2 b"));
  ASSERT_TRUE(after(">", "Playing file: 3 c"));
  // The volume, shown for a moment; muted, the meter is empty.
  ASSERT_TRUE(after("++", "Volume: 30"));
  ASSERT_TRUE(after("-", "Volume: 25"));
  ASSERT_TRUE(after("m", "Muted"));
  ASSERT_TRUE(after("", " - L ------------- ------------- R - cpu"));
  ASSERT_TRUE(after("m", "Volume: 25"));
  // q ends the run after the run-down.
  const double quit = playertest::Now();
  session.Send("q");
  const int status = session.WaitExit(5);
  ASSERT_TRUE(WIFEXITED(status)) << status;
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_GT(playertest::Now() - quit, 0.45) << "the run-down";
  EXPECT_EQ(session.Output().find('x'), std::string::npos) << "keys are not echoed";
}

TEST(Keyboard, StatusLineFitsANarrowTerminalAndFollowsItsWidth) {
  REQUIRE_ENGINE();
  PlayerInstall install;
  install.Write("tone.wav", WavTone(3));
  PtySession session(install, {"tone.wav"}, playertest::Launch::Direct, 40);
  ASSERT_TRUE(session.WaitFor(" - 0:01 ", 10)) << session.Output();
  session.Resize(100);
  const size_t wide = session.Output().size();
  ASSERT_EQ(session.WaitExit(10) >> 8, 0);
  const std::string& out = session.Output();
  // Every piece the status line writes over stays under 40 columns until
  // the terminal grows; then the meter comes back.
  const size_t from = out.find("Bitrate:");
  std::vector<size_t> lengths;
  for (size_t start = out.find('\n', from) + 1; start < wide;) {
    const size_t end = out.find_first_of("\r\n", start);
    if (end == std::string::npos || end >= wide) break;
    if (end > start) lengths.push_back(end - start);
    start = end + 1;
  }
  ASSERT_GE(lengths.size(), 2u) << "status lines on a terminal";
  for (size_t length : lengths) EXPECT_LT(length, 40u);
  EXPECT_NE(out.find("Playing: 33%  - 0:01 - cpu "), std::string::npos) << "the meter is cut first";
  EXPECT_NE(out.find(" - L ", wide), std::string::npos) << "the meter back at 100 columns";
}

TEST(Keyboard, InterruptRestoresTheTerminal) {
  REQUIRE_ENGINE();
  PlayerInstall install;
  install.Write("long.tone", WavTone(8));
  PtySession session(install, {"long.tone"});
  ASSERT_TRUE(session.WaitFor("Playing: ", 10)) << session.Output();
  ASSERT_EQ(session.Mode().c_lflag & (ICANON | ECHO), 0u);
  session.Send("\x03");
  const int status = session.WaitExit(5);
  ASSERT_TRUE(WIFSIGNALED(status)) << status;
  EXPECT_EQ(WTERMSIG(status), SIGINT);
  EXPECT_EQ(session.Mode().c_lflag & (ICANON | ECHO), static_cast<tcflag_t>(ICANON | ECHO));
}

TEST(Keyboard, TerminateRestoresTheTerminal) {
  REQUIRE_ENGINE();
  PlayerInstall install;
  install.Write("long.tone", WavTone(8));
  PtySession session(install, {"long.tone"});
  ASSERT_TRUE(session.WaitFor("Playing: ", 10)) << session.Output();
  ASSERT_EQ(session.Mode().c_lflag & (ICANON | ECHO), 0u);
  session.Terminate();
  const int status = session.WaitExit(5);
  ASSERT_TRUE(WIFSIGNALED(status)) << status;
  EXPECT_EQ(WTERMSIG(status), SIGTERM);
  EXPECT_EQ(session.Mode().c_lflag & (ICANON | ECHO), static_cast<tcflag_t>(ICANON | ECHO));
}

}  // namespace
