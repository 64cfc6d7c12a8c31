// The folder list on the platform's own terms: names joined with its
// separator, a folder given with a trailing separator, and the same
// directory reached twice entered once.
#include <gtest/gtest.h>

#include <filesystem>

#include "FolderList.h"
#include "NativeFiles.h"
#include "TestSupport.h"

TEST(FolderPlatform, JoinsWithThePlatformsSeparator) {
  testsupport::TempDir dir;
  dir.write("b/2.mp3", "x");
  dir.write("a.mp3", "x");
  const std::string root = dir.path().string();
  const std::string sep(1, PreferredSeparator());
  const std::vector<std::string> expected{root + sep + "a.mp3", root + sep + "b" + sep + "2.mp3"};
  EXPECT_EQ(CollectFolderFiles(root), expected);
  EXPECT_EQ(CollectFolderFiles(root + sep), expected) << "a trailing separator is not doubled";
  EXPECT_EQ(CollectFolderFiles(root + sep + "b" + sep + ".."),
            (std::vector<std::string>{root + sep + "b" + sep + ".." + sep + "a.mp3",
                                      root + sep + "b" + sep + ".." + sep + "b" + sep + "2.mp3"}));
}

TEST(FolderPlatform, ListedEntriesAndLastPlaylistAcrossSeparators) {
  EXPECT_FALSE(IsListedEntry(std::string("x") + PreferredSeparator() + "cover.jpg"));
  EXPECT_TRUE(IsListedEntry(std::string("x.jpg") + PreferredSeparator() + "song"));
  testsupport::TempDir dir;
  const std::string file = LastPlaylistFile(dir.path().string() + PreferredSeparator());
  WriteLastPlaylist(file, {"a.mp3", "c.jpg"});
  std::string bytes, reason;
  ASSERT_TRUE(ReadFileStart(file, 1000, bytes, reason)) << reason;
  EXPECT_EQ(bytes, "#EXTM3U\r\n#Last playlist quavlin " QUAV_VERSION "\r\na.mp3\r\n");
}
