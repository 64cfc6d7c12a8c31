#include "FolderList.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "Console.h"
#include "FileAccess.h"
#include "TestSupport.h"

namespace {

using testsupport::TempDir;
using Paths = std::vector<std::string>;

TEST(CollectFolderFiles, SubfolderContentsStandAtTheSubfoldersPlace) {
  TempDir dir;
  dir.write("c.mp3", "c");
  dir.write("a.mp3", "a");
  dir.write("B/y.mp3", "y");
  dir.write("B/x.mp3", "x");
  dir.write("B/Deep/z.ogg", "z");
  dir.write(".hidden", "h");
  const std::string root = dir.path().string();
  EXPECT_EQ(CollectFolderFiles(root), (Paths{root + "/.hidden", root + "/a.mp3", root + "/B/Deep/z.ogg",
                                             root + "/B/x.mp3", root + "/B/y.mp3", root + "/c.mp3"}));
  // A trailing separator is not doubled.
  EXPECT_EQ(CollectFolderFiles(root + "/").front(), root + "/.hidden");
}

TEST(CollectFolderFiles, NameOrderIgnoresLetterCase) {
  TempDir dir;
  for (const char* name : {"b.wav", "A.wav", "a.wav", "C.wav", "10.wav", "2.wav"}) dir.write(name, "x");
  const std::string root = dir.path().string() + "/";
  EXPECT_EQ(CollectFolderFiles(root),
            (Paths{root + "10.wav", root + "2.wav", root + "A.wav", root + "a.wav", root + "b.wav", root + "C.wav"}));
}

TEST(CollectFolderFiles, EmptyMissingAndLoopingFolders) {
  TempDir dir;
  std::filesystem::create_directories(dir.path() / "empty");
  EXPECT_TRUE(CollectFolderFiles(dir.file("empty")).empty());
  EXPECT_TRUE(CollectFolderFiles(dir.file("missing")).empty());

  // A link back to an ancestor must not make the walk endless.
  dir.write("loop/song.wav", "x");
  std::filesystem::create_directory_symlink(dir.path() / "loop", dir.path() / "loop" / "again");
  const std::string root = dir.file("loop");
  EXPECT_EQ(CollectFolderFiles(root), (Paths{root + "/song.wav"}));
}

TEST(CollectFolderFiles, RelativeFolderGivesRelativePaths) {
  TempDir dir;
  dir.write("music/one.wav", "x");
  const auto previous = std::filesystem::current_path();
  std::filesystem::current_path(dir.path());
  const Paths files = CollectFolderFiles("music");
  std::filesystem::current_path(previous);
  EXPECT_EQ(files, (Paths{"music/one.wav"}));
}

TEST(Shuffle, GeneratorSequenceFromAFixedSeed) {
  // s = s * 134775813 + 1 (mod 2^32); draw = (s * m) >> 32.
  PlayerRandom random(12345);
  std::vector<uint32_t> draws;
  for (uint32_t m : {10u, 9u, 8u, 7u, 6u, 5u, 4u, 3u, 2u}) draws.push_back(random.Below(m));
  EXPECT_EQ(draws, (std::vector<uint32_t>{3, 2, 0, 3, 3, 1, 1, 0, 0}));

  PlayerRandom zero(0);
  EXPECT_EQ(zero.Below(1000), 0u);
  EXPECT_EQ(zero.State(), 1u);
  EXPECT_EQ(zero.Below(1u << 31), 67387907u);  // s = 134775814
}

TEST(Shuffle, SwapsFromTheLastEntryDown) {
  // Seed 12345 draws 3 (i=9), 2 (i=8), 0, 3, 3, 1, 1, 0, 0 (i=1).
  Paths entries{"0", "1", "2", "3", "4", "5", "6", "7", "8", "9"};
  PlayerRandom random(12345);
  ShuffleEntries(entries, random);
  EXPECT_EQ(entries, (Paths{"5", "8", "7", "4", "1", "6", "9", "0", "2", "3"}));

  Paths one{"only"};
  PlayerRandom r1(7);
  ShuffleEntries(one, r1);
  EXPECT_EQ(one, Paths{"only"});
  EXPECT_EQ(r1.State(), 7u) << "no draw for fewer than two entries";
  Paths none;
  ShuffleEntries(none, r1);
  EXPECT_TRUE(none.empty());
}

TEST(Shuffle, ProcessGeneratorKeepsEveryEntry) {
  const Paths sorted{"1", "2", "3", "4", "5", "6", "7", "8"};
  Paths a = sorted;
  ShuffleEntries(a);
  std::sort(a.begin(), a.end());
  EXPECT_EQ(a, sorted);
}

TEST(LastPlaylist, ListedEntriesAndCount) {
  EXPECT_FALSE(IsListedEntry("/m/cover.jpg"));
  EXPECT_FALSE(IsListedEntry("/m/list.m3u"));
  EXPECT_TRUE(IsListedEntry("/m/COVER.JPG"));
  EXPECT_TRUE(IsListedEntry("/m/list.M3U"));
  EXPECT_TRUE(IsListedEntry("/m/a.jpg.mp3"));
  EXPECT_TRUE(IsListedEntry("/m.jpg/noext"));
  EXPECT_FALSE(IsListedEntry(".jpg"));
  EXPECT_EQ(ListedCount({"cover.jpg", "a.mp3", "b.mp3", "c.mp3", "COVER.JPG", "x.m3u"}), 4);
  EXPECT_EQ(LastPlaylistFile("/opt/q/"), "/opt/q/lastplay.m3u");
}

TEST(LastPlaylist, ContentIsUtf8WithCrLf) {
  const Paths entries{"/m/cover.jpg", "/m/a.mp3", "/m/Bj\xC3\xB6rk/\xE6\x97\xA5.flac", "/m/p.m3u"};
  const std::string expected =
      "#EXTM3U\r\n#Last playlist quavlin " QUAV_VERSION "\r\n/m/a.mp3\r\n/m/Bj\xC3\xB6rk/\xE6\x97\xA5.flac\r\n";
  EXPECT_EQ(LastPlaylistText(entries), expected);
  EXPECT_EQ(LastPlaylistText({}), "#EXTM3U\r\n#Last playlist quavlin " QUAV_VERSION "\r\n");

  TempDir dir;
  const std::string path =
      dir.write("lastplay.m3u", "old content that is longer than the new one .....................");
  WriteLastPlaylist(path, entries);
  EXPECT_EQ(testsupport::ReadWholeFile(path), expected);
}

TEST(LastPlaylist, UnwritableFileRaisesInOutError) {
  TempDir dir;
  EXPECT_THROW(WriteLastPlaylist(dir.file("no/such/dir/lastplay.m3u"), {}), EInOutError);
  if (::geteuid() != 0) {
    std::filesystem::create_directory(dir.path() / "ro");
    ::chmod(dir.file("ro").c_str(), 0555);
    EXPECT_THROW(WriteLastPlaylist(dir.file("ro/lastplay.m3u"), {}), EInOutError);
    ::chmod(dir.file("ro").c_str(), 0755);
  }
}

}  // namespace
