// Folder and playlist playback through the built program.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <map>
#include <filesystem>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "PlayerHarness.h"

namespace {

using playertest::PlayerInstall;
using playertest::PlayerRun;
using playertest::WavTone;

const std::string kBanner = "Quavlin " QUAV_VERSION "\r\n" + std::string(35, '-') + "\r\n";
const char* kJpeg = "\xFF\xD8\xFF\xE0\x00\x10JFIF\x00\x01\x01\x00\x00\x01\x00\x01\x00\x00\xFF\xD9";

// The lines a run wrote, without the status lines (which end in a lone CR)
// and without blank lines.
std::vector<std::string> PlainLines(const std::string& out) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < out.size()) {
    size_t end = out.find("\r\n", start);
    if (end == std::string::npos) end = out.size();
    std::string line = out.substr(start, end - start);
    const size_t cr = line.rfind('\r');
    if (cr != std::string::npos) line = line.substr(cr + 1);
    if (line.find_first_not_of(' ') != std::string::npos) lines.push_back(line);
    start = end + 2;
  }
  return lines;
}

// Header lines only ("Playing file: ..." and "can't play ...").
std::vector<std::string> TrackLines(const std::string& out) {
  std::vector<std::string> picked;
  for (const auto& l : PlainLines(out))
    if (l.rfind("Playing file: ", 0) == 0 || l.rfind("can't play ", 0) == 0) picked.push_back(l);
  return picked;
}

TEST(FolderPlayback, OrderCountsAndLastPlaylist) {
  REQUIRE_ENGINE();
  PlayerInstall install;
  const std::string music = install.File("music");
  install.Write("music/c.wav", WavTone(0.2));
  install.Write("music/a.wav", WavTone(0.2));
  install.Write("music/B/b.wav", WavTone(0.2));
  install.Write("music/cover.jpg", kJpeg);
  install.Write("music/notes.m3u", "#EXTM3U\r\n");
  install.Write("music/Z.JPG", kJpeg);

  const PlayerRun r = install.Run({music});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out.substr(0, kBanner.size() + 24), kBanner + "Volume: 20 Shuffle: no\r\n");
  // Pictures and playlists count as positions but not in the " from " count
  // (Z.JPG does: the extension test is case-sensitive).
  EXPECT_EQ(TrackLines(r.out), (std::vector<std::string>{
                                   "Playing file: 1 a 0:00 from 4",
                                   "Playing file: 2 b 0:00 from 4",
                                   "Playing file: 3 c 0:00 from 4",
                                   "can't play " + music + "/cover.jpg",
                                   "can't play " + music + "/notes.m3u",
                                   "can't play " + music + "/Z.JPG",
                               }));
  EXPECT_EQ(testsupport::ReadWholeFile(install.File("lastplay.m3u")),
            "#EXTM3U\r\n#Last playlist quavlin " QUAV_VERSION "\r\n" + music + "/a.wav\r\n" + music + "/B/b.wav\r\n" +
                music + "/c.wav\r\n" + music + "/Z.JPG\r\n");

  // The n switch: no last-playlist file, the same count.
  const PlayerRun n = install.Run({music, "/n"});
  ASSERT_EQ(n.exitCode, 0) << n.err;
  EXPECT_FALSE(std::filesystem::exists(install.File("lastplay.m3u"))) << "the start deleted it and nothing wrote it";
  EXPECT_EQ(TrackLines(n.out).front(), "Playing file: 1 a 0:00 from 4");
}

TEST(FolderPlayback, RunsThatPlayNothingSaySoAndRelativePaths) {
  REQUIRE_ENGINE();
  PlayerInstall install;
  std::filesystem::create_directory(install.File("empty"));
  const PlayerRun r = install.Run({"empty"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.err, "nothing to play in empty\r\n");
  EXPECT_EQ(r.out, kBanner + "Volume: 20 Shuffle: no\r\n");
  EXPECT_EQ(testsupport::ReadWholeFile(install.File("lastplay.m3u")),
            "#EXTM3U\r\n#Last playlist quavlin " QUAV_VERSION "\r\n");

  // A relative folder shows relative entries; the last playlist names them
  // in full, so that it plays from anywhere.
  install.Write("rel/x.txt", "text");
  const PlayerRun rel = install.Run({"rel/"});
  EXPECT_EQ(rel.exitCode, 1) << rel.err;
  EXPECT_EQ(TrackLines(rel.out), std::vector<std::string>{"can't play rel/x.txt"});
  EXPECT_EQ(rel.err, "nothing to play in rel/\r\n");
  EXPECT_EQ(testsupport::ReadWholeFile(install.File("lastplay.m3u")),
            "#EXTM3U\r\n#Last playlist quavlin " QUAV_VERSION "\r\n" + install.File("rel/x.txt") + "\r\n");

  // Folders that cannot be read: the whole run, or one subfolder of it
  // (beside the installation, whose folders the unprivileged run opens up).
  namespace fs = std::filesystem;
  const testsupport::TempDir other;
  other.write("locked/a.wav", WavTone(0.1));
  other.write("part/a.wav", WavTone(0.1));
  other.write("part/sub/b.wav", WavTone(0.1));
  const auto open = fs::perms::owner_all | fs::perms::others_read | fs::perms::others_exec;
  fs::permissions(other.path(), open);
  fs::permissions(other.file("part"), open);
  fs::permissions(other.file("locked"), fs::perms::none);
  fs::permissions(other.file("part/sub"), fs::perms::none);
  std::string skip;
  const PlayerRun locked = playertest::RunUnprivileged(install, {other.file("locked"), "/n"}, skip);
  const PlayerRun part = playertest::RunUnprivileged(install, {other.file("part"), "/n"}, skip);
  fs::permissions(other.file("locked"), fs::perms::owner_all);
  fs::permissions(other.file("part/sub"), fs::perms::owner_all);
  if (!skip.empty()) GTEST_SKIP() << skip;
  EXPECT_EQ(locked.exitCode, 1);
  EXPECT_EQ(locked.err, "nothing to play in " + other.file("locked") + ": Permission denied\r\n");
  EXPECT_EQ(part.exitCode, 0);
  EXPECT_EQ(part.err, "Cannot open folder \"" + other.file("part/sub") + "\". Permission denied\r\n");
  EXPECT_EQ(TrackLines(part.out), std::vector<std::string>{"Playing file: 1 a 0:00 from 1"});
}

TEST(FolderPlayback, ShuffleDiffersBetweenRuns) {
  REQUIRE_ENGINE();
  PlayerInstall install;
  // Files the engine refuses at once, so that only the order is tested.
  for (char c = 'a'; c <= 'j'; ++c) install.Write(std::string("mix/") + c + ".txt", "not audio");
  const PlayerRun first = install.Run({"mix", "/r"});
  const PlayerRun second = install.Run({"-R", "mix"});
  ASSERT_EQ(first.exitCode, 1) << "nothing played";
  ASSERT_EQ(second.exitCode, 1);
  EXPECT_NE(first.out.find("Volume: 20 Shuffle: yes\r\n"), std::string::npos);
  const auto a = TrackLines(first.out);
  const auto b = TrackLines(second.out);
  ASSERT_EQ(a.size(), 10u);
  EXPECT_NE(a, b) << "two runs, two orders (equal by chance once in 3.6 million)";
  auto sortedA = a, sortedB = b;
  std::sort(sortedA.begin(), sortedA.end());
  std::sort(sortedB.begin(), sortedB.end());
  EXPECT_EQ(sortedA, sortedB);
  // The last-playlist file holds the shuffled order of the second run.
  std::string expected = "#EXTM3U\r\n#Last playlist quavlin " QUAV_VERSION "\r\n";
  for (const auto& l : b) expected += install.File(l.substr(std::string("can't play ").size())) + "\r\n";
  EXPECT_EQ(testsupport::ReadWholeFile(install.File("lastplay.m3u")), expected);

  // A single file shuffled plays that file.
  install.Write("one/only.wav", WavTone(0.2));
  const PlayerRun one = install.Run({"one", "/r"});
  EXPECT_EQ(TrackLines(one.out), std::vector<std::string>{"Playing file: 1 only 0:00 from 1"});
}

TEST(FolderPlayback, DurationBeyond32BitByteCounts) {
  REQUIRE_ENGINE();
  if (!testsupport::HaveProgram("ffmpeg")) GTEST_SKIP() << "ffmpeg not installed";
  PlayerInstall install;
  std::filesystem::create_directory(install.File("long"));
  const std::string flac = install.File("long/long.flac");
  ASSERT_TRUE(testsupport::EncodeTone(flac, 0.3, 192000, 2, "-c:a flac"));
  // Claim 100 minutes in the stream header: 6000 s of 192 kHz stereo is
  // 4.6 GB of 16-bit samples, more than 32 bits can count.
  std::string bytes = testsupport::ReadWholeFile(flac);
  ASSERT_EQ(bytes.substr(0, 4), "fLaC");
  uint64_t packed = 0;
  for (int i = 0; i < 8; ++i) packed = packed << 8 | static_cast<uint8_t>(bytes[18 + i]);
  const uint64_t totalMask = (uint64_t{1} << 36) - 1;
  packed = (packed & ~totalMask) | uint64_t{192000} * 6000;
  for (int i = 7; i >= 0; --i, packed >>= 8) bytes[18 + i] = static_cast<char>(packed & 0xFF);
  testsupport::WriteWholeFile(flac, bytes);

  const PlayerRun r = install.Run({"long"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(TrackLines(r.out), std::vector<std::string>{"Playing file: 1 long 100:00 from 1"});
}

TEST(FolderPlayback, FinishedTracksReleaseTheirFiles) {
  REQUIRE_ENGINE();
  PlayerInstall install;
  const std::string music = install.File("many");
  for (char c = 'a'; c <= 'e'; ++c) install.Write(std::string("many/") + c + ".wav", WavTone(0.1));
  playertest::PtySession session(install, {music});
  // Count the files in the folder that the program holds open (the track
  // playing may be open twice for a moment: the engine and the tag reader).
  size_t most = 0;
  while (session.WaitExit(0.02) == -1) {
    std::set<std::string> open;
    std::error_code ec;
    const std::string fds = "/proc/" + std::to_string(session.Pid()) + "/fd";
    for (const auto& fd : std::filesystem::directory_iterator(fds, ec)) {
      const auto target = std::filesystem::read_symlink(fd.path(), ec);
      if (!ec && target.string().rfind(music, 0) == 0) open.insert(target.string());
    }
    most = std::max(most, open.size());
    ASSERT_LT(session.SecondsSinceStart(), 30);
  }
  EXPECT_NE(session.Output().find("Playing file: 5 e 0:00 from 5"), std::string::npos) << session.Output();
  EXPECT_GE(most, 1u) << "the sampling saw the open track";
  // The track playing and the next one, opened to be joined to it.
  EXPECT_LE(most, 2u) << "tracks that finished are still open";
}

TEST(FolderPlayback, DashDownloadGetsAdvice) {
  REQUIRE_ENGINE();
  PlayerInstall install;
  using namespace std::string_literals;
  install.Write("dash/video.mp4", "\0\0\0\x18"s + "ftypdash" + "\0\0\0\0"s + "iso6mp41" + std::string(64, '\0'));
  const PlayerRun r = install.Run({"dash"});
  EXPECT_EQ(r.exitCode, 1) << r.err;
  EXPECT_NE(r.out.find("can't play dash/video.mp4\r\n"
                       "Convert YouTube DASH audio to m4a: ffmpeg -i input_file -vn -acodec copy output.m4a\r\n"),
            std::string::npos)
      << r.out;
}

TEST(FolderPlayback, UnwritableLastPlaylistEndsBeforePlaying) {
  REQUIRE_ENGINE();
  PlayerInstall install;
  install.Write("music/a.wav", WavTone(0.2));
  // A directory in the way cannot be deleted at the start nor written.
  std::filesystem::create_directory(install.File("lastplay.m3u"));
  const PlayerRun r = install.Run({install.File("music")});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.err, "Exception EInOutError in module quavlin at 0000000000000000.\r\nIs a directory.\r\n\r\n");
  EXPECT_EQ(r.out.find("Playing file"), std::string::npos);
}

TEST(PlaylistPlayback, FiveLineExampleNumbersAndCounts) {
  REQUIRE_ENGINE();
  PlayerInstall install;
  install.Write("a.wav", WavTone(0.2));
  install.Write("b.wav", WavTone(1.2));
  install.Write("list.m3u", "#EXTM3U\r\n#EXTINF:1,a\r\na.wav\r\n#EXTINF:1,b\r\nb.wav\r\n");
  const PlayerRun r = install.Run({"list.m3u"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(TrackLines(r.out),
            (std::vector<std::string>{"Playing file: 3 a 0:00 from 3", "Playing file: 5 b 0:01 from 2"}));
  EXPECT_FALSE(std::filesystem::exists(install.File("lastplay.m3u")));
}

TEST(PlaylistPlayback, LinesWithoutAFileArePassedOver) {
  REQUIRE_ENGINE();
  PlayerInstall install;
  install.Write("a.wav", WavTone(0.2));
  install.Write("notes.txt", "plain text");
  std::filesystem::create_directory(install.File("dir"));
  install.Write("list.m3u", "a.wav \nhttp://example.com/a.wav\ndir\nnotes.txt\n\na.wav\n");
  const PlayerRun r = install.Run({"list.m3u"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  // 6 lines; four name no file before the last one.
  EXPECT_EQ(TrackLines(r.out), (std::vector<std::string>{"can't play notes.txt", "Playing file: 6 a 0:00 from 2"}));

  // Played from elsewhere, names are looked up beside the playlist; a file
  // URL names a local file; a PLS list numbers and names its entries.
  std::filesystem::create_directory(install.File("elsewhere"));
  install.Write("elsewhere/b.wav", WavTone(0.2));
  install.Write("more.pls", "[playlist]\nFile1=file://" + install.File("a.wav") + "\nFile2=b.wav\nTitle2=Bee\n");
  playertest::RunOptions options;
  options.cwd = install.File("elsewhere");
  const PlayerRun away = install.Run({install.File("list.m3u")}, options);
  EXPECT_EQ(away.exitCode, 0) << away.err;
  EXPECT_EQ(TrackLines(away.out), (std::vector<std::string>{"can't play notes.txt", "Playing file: 6 a 0:00 from 2"}));
  const PlayerRun pls = install.Run({install.File("more.pls")}, options);
  EXPECT_EQ(TrackLines(pls.out),
            (std::vector<std::string>{"Playing file: 1 a 0:00 from 2", "Playing file: 2 Bee 0:00 from 2"}));

  // A list whose lines name no file plays nothing, and says so.
  install.Write("none.m3u", "#EXTM3U\nmissing.wav\n");
  const PlayerRun none = install.Run({"none.m3u"});
  EXPECT_EQ(none.exitCode, 1);
  EXPECT_EQ(none.err, "nothing to play in none.m3u\r\n");
}

TEST(PlaylistPlayback, ShuffledListKeepsTheNumbersOfItsLines) {
  REQUIRE_ENGINE();
  PlayerInstall install;
  std::string list = "#EXTM3U\n";
  std::vector<std::string> inOrder;
  for (char c = 'a'; c <= 'f'; ++c) {
    install.Write(std::string(1, c) + ".wav", WavTone(0.05));
    list += std::string(1, c) + ".wav\n";
    inOrder.push_back("Playing file: " + std::to_string(c - 'a' + 2) + " " + c + " 0:00 from 6");
  }
  install.Write("list.m3u", list);
  // Six entries stay in order once in 720 shuffles; two runs that both
  // do, once in half a million.
  std::vector<std::vector<std::string>> runs;
  for (int run = 0; run < 2; ++run) {
    const PlayerRun r = install.Run({"list.m3u", "/r"});
    EXPECT_NE(r.out.find("Shuffle: yes"), std::string::npos);
    runs.push_back(TrackLines(r.out));
    std::vector<std::string> sorted = runs.back();
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(sorted, inOrder) << "every line once, with its number and count";
  }
  EXPECT_TRUE(runs[0] != inOrder || runs[1] != inOrder) << "played in order twice";
}

TEST(QueuePlayback, SeveralArgumentsAreOneQueue) {
  REQUIRE_ENGINE();
  PlayerInstall install;
  install.Write("a.wav", WavTone(0.1));
  install.Write("music/b.wav", WavTone(0.1));
  install.Write("music/c.wav", WavTone(0.1));
  install.Write("lists/d.wav", WavTone(0.1));
  install.Write("lists/list.m3u", "#EXTM3U\nd.wav\n");
  const PlayerRun r = install.Run({"-x", "a.wav", "music", "/n", "lists/list.m3u", "missing.wav"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.err,
            "ignored: -x\r\nCannot open file \"" + install.File("missing.wav") + "\". No such file or directory\r\n");
  EXPECT_EQ(TrackLines(r.out),
            (std::vector<std::string>{"Playing file: 1 a 0:00 from 4", "Playing file: 2 b 0:00 from 4",
                                      "Playing file: 3 c 0:00 from 4", "Playing file: 4 d 0:00 from 4"}));
  EXPECT_FALSE(std::filesystem::exists(install.File("lastplay.m3u")));
}

// The left bar each track of a run showed most often while it sounded.
std::vector<std::string> LoudestBars(const std::string& out) {
  std::vector<std::string> bars;
  std::map<std::string, int> seen;
  const auto flush = [&] {
    if (seen.empty()) return;
    bars.push_back(
        std::max_element(seen.begin(), seen.end(), [](auto& a, auto& b) { return a.second < b.second; })->first);
    seen.clear();
  };
  const std::regex piece("Playing file: |- L ([-*]{13}) ");
  for (auto it = std::sregex_iterator(out.begin(), out.end(), piece); it != std::sregex_iterator(); ++it) {
    if (!(*it)[1].matched)
      flush();
    else if ((*it)[1].str() != std::string(13, '-'))
      ++seen[(*it)[1].str()];
  }
  flush();
  return bars;
}

TEST(ReplayGain, TrackOrAlbumGainSetsEachTracksLevel) {
  REQUIRE_ENGINE();
  if (!testsupport::HaveProgram("ffmpeg")) GTEST_SKIP() << "ffmpeg not installed";
  PlayerInstall install("0\r\n100\r\n");  // a half-scale tone fills 11 marks
  const auto encode = [&](const std::string& name, const std::string& tags) {
    return testsupport::Shell(
        "ffmpeg -nostdin -v error -f lavfi -i 'aevalsrc=0.5*sin(880*PI*t)|0.5*sin(880*PI*t):d=0.6' " + tags + " '" +
        install.File(name) + "'");
  };
  for (const char* folder : {"all", "mixed"}) std::filesystem::create_directory(install.File(folder));
  const std::string album = "-metadata REPLAYGAIN_ALBUM_GAIN='-12.04 dB' ";
  // Vorbis comments, an ID3v2 user text frame, an APE tag.
  ASSERT_TRUE(encode("all/1.flac", album + "-metadata REPLAYGAIN_TRACK_GAIN='-6.02 dB'"));
  ASSERT_TRUE(encode("all/2.mp3", album + "-c:a libmp3lame -b:a 192k -metadata REPLAYGAIN_TRACK_GAIN='-12.04 dB'"));
  ASSERT_TRUE(encode("all/3.wv", album + "-metadata REPLAYGAIN_TRACK_GAIN='+6.02 dB' "
                                         "-metadata REPLAYGAIN_TRACK_PEAK=0.7"));
  // On a terminal, for a status line every 50 ms.
  const PlayerRun both = playertest::RunOnTerminal(install, {"all", "/g", "/n"});
  EXPECT_NE(both.out.find("Volume: 100 Shuffle: no\r\r\nReplayGain: album\r\r\n"), std::string::npos) << both.out;
  EXPECT_EQ(LoudestBars(both.out), std::vector<std::string>(3, "-----********")) << "all at -12 dB";

  // One track without an album gain, one without any: the track gains, the
  // third held below full scale by its peak, the last at the volume set.
  ASSERT_TRUE(encode("mixed/0.flac", ""));
  ASSERT_TRUE(encode("mixed/1.flac", "-metadata REPLAYGAIN_TRACK_GAIN='-6.02 dB'"));
  for (const char* name : {"2.mp3", "3.wv"})
    std::filesystem::copy_file(install.File(std::string("all/") + name), install.File(std::string("mixed/") + name));
  const PlayerRun track = playertest::RunOnTerminal(install, {"mixed", "/g", "/n"});
  EXPECT_NE(track.out.find("\nReplayGain: track\r\r\n"), std::string::npos) << track.out;
  EXPECT_EQ(LoudestBars(track.out),
            (std::vector<std::string>{"--***********", "---**********", "-----********", "-************"}));
  const PlayerRun off = playertest::RunOnTerminal(install, {"mixed", "/n"});
  EXPECT_EQ(off.out.find("ReplayGain"), std::string::npos);
  EXPECT_EQ(LoudestBars(off.out), std::vector<std::string>(4, "--***********")) << "off unless asked for";
}

TEST(ListPlayback, FileThatCannotBeReadIsReportedAndTheRunGoesOn) {
  REQUIRE_ENGINE();
  PlayerInstall install;
  install.Write("music/a.wav", WavTone(0.2));
  const std::string locked = install.Write("music/b.wav", WavTone(0.2));
  install.Write("music/c.wav", WavTone(0.2));
  install.Write("list.m3u", "music/b.wav\nmusic/c.wav\n");
  std::filesystem::permissions(locked, std::filesystem::perms::none);
  const std::string reason = "Cannot open file \"" + locked + "\". Permission denied\r\n";

  std::string skip;
  const PlayerRun folder = playertest::RunUnprivileged(install, {"music", "/n"}, skip);
  if (!skip.empty()) GTEST_SKIP() << skip;
  EXPECT_EQ(folder.exitCode, 0) << folder.err;
  EXPECT_EQ(TrackLines(folder.out), (std::vector<std::string>{"Playing file: 1 a 0:00 from 3", "can't play music/b.wav",
                                                              "Playing file: 3 c 0:00 from 3"}))
      << folder.out;
  EXPECT_EQ(folder.err, reason);

  const PlayerRun list = playertest::RunUnprivileged(install, {"list.m3u"}, skip);
  EXPECT_EQ(list.exitCode, 0) << list.err;
  EXPECT_EQ(TrackLines(list.out), (std::vector<std::string>{"can't play music/b.wav", "Playing file: 2 c 0:00 from 2"}))
      << list.out;
  EXPECT_EQ(list.err, reason);
}

TEST(PlaylistPlayback, Utf8PlaylistsPlayWithMarkAndAccentedNames) {
  REQUIRE_ENGINE();
  PlayerInstall install;
  install.Write("Bj\xC3\xB6rk.wav", WavTone(0.2));
  install.Write("a.wav", WavTone(0.2));
  install.Write("utf8.m3u", "\xEF\xBB\xBF#EXTM3U\r\n#EXTINF:1,Bj\xC3\xB6rk\r\nBj\xC3\xB6rk.wav\r\na.wav\r\n");
  const PlayerRun r = install.Run({"utf8.m3u"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(TrackLines(r.out),
            (std::vector<std::string>{"Playing file: 3 Bj\xC3\xB6rk 0:00 from 2", "Playing file: 4 a 0:00 from 2"}));

  // The program's own last playlist, UTF-8 with the accented name first.
  install.Write("music/\xC3\x89t\xC3\xA9.wav", WavTone(0.2));
  const PlayerRun folder = install.Run({"music"});
  ASSERT_EQ(folder.exitCode, 0) << folder.err;
  const std::string last = testsupport::ReadWholeFile(install.File("lastplay.m3u"));
  install.Write("again.m3u", last);
  const PlayerRun again = install.Run({"again.m3u"});
  ASSERT_EQ(again.exitCode, 0) << again.err;
  EXPECT_EQ(TrackLines(again.out), std::vector<std::string>{"Playing file: 3 \xC3\x89t\xC3\xA9 0:00 from 1"});

  // Windows-1252 in the first 1000 bytes is still turned away.
  install.Write("ansi.m3u", "#EXTM3U\r\nBj\xF6rk.wav\r\n");
  const PlayerRun ansi = install.Run({"ansi.m3u"});
  EXPECT_EQ(ansi.exitCode, 2);
  EXPECT_TRUE(std::regex_match(
      ansi.out, std::regex(kBanner + "Volume: 20 Shuffle: no\r\nError\\(-?\\d+\\): Can't play the file\r\n")))
      << ansi.out;
}

TEST(PlaylistPlayback, InvalidUtf8EndsBeforeAnyTrack) {
  REQUIRE_ENGINE();
  PlayerInstall install;
  install.Write("a.wav", WavTone(0.2));
  // The text test only looks at the first 1000 bytes.
  install.Write("ansi.m3u", "a.wav\r\n#" + std::string(1000, '-') + "\r\nBj\xF6rk.wav\r\n");
  const PlayerRun r = install.Run({"ansi.m3u"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.out, kBanner + "Volume: 20 Shuffle: no\r\n");
  EXPECT_EQ(r.err,
            "Exception EEncodingError in module quavlin at 0000000000000000.\r\n"
            "No mapping for the Unicode character exists in the target multi-byte code page.\r\n\r\n");
}

}  // namespace
