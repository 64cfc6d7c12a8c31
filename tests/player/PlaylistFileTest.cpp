#include "PlaylistFile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "Console.h"
#include "FileAccess.h"
#include "TestSupport.h"

namespace {

using Lines = std::vector<std::string>;

TEST(PlaylistLines, EveryLineEndAndNoTrailingEmptyLine) {
  EXPECT_EQ(SplitPlaylistLines("a\r\nb\nc\rd"), (Lines{"a", "b", "c", "d"}));
  EXPECT_EQ(SplitPlaylistLines("a\r\n"), (Lines{"a"}));
  EXPECT_EQ(SplitPlaylistLines("a\n\nb\n"), (Lines{"a", "", "b"}));
  EXPECT_EQ(SplitPlaylistLines("a\r\r\nb"), (Lines{"a", "", "b"}));
  EXPECT_EQ(SplitPlaylistLines("\n"), (Lines{""}));
  EXPECT_EQ(SplitPlaylistLines(""), Lines{});
  // Blanks are part of the name.
  EXPECT_EQ(SplitPlaylistLines(" a.mp3 \r\n"), (Lines{" a.mp3 "}));
}

// Every line of an M3U list keeps its number; comments name no file.
std::vector<std::string> Names(const std::vector<PlaylistLine>& lines) {
  std::vector<std::string> names;
  for (const PlaylistLine& l : lines) names.push_back(std::to_string(l.Number) + ":" + l.Name + ":" + l.Title);
  return names;
}

TEST(PlaylistLines, M3uAndPlsAsPeopleWriteThem) {
  testsupport::TempDir dir;
  EXPECT_EQ(Names(ReadPlaylist(dir.write("a.m3u", "\xEF\xBB\xBF#EXTM3U\r\n#EXTINF:3,B\r\n/m/Bj\xC3\xB6rk.mp3\r\n"))),
            (Lines{"1::", "2::", "3:/m/Bj\xC3\xB6rk.mp3:"}));
  EXPECT_EQ(ReadPlaylist(dir.write("empty.m3u", "")).size(), 0u);
  // PLS: entries by number whatever their order, keys in any case, a title
  // without a file naming nothing.
  EXPECT_EQ(Names(ParsePlaylist("\r\n [Playlist]\r\nNumberOfEntries=3\r\nfile2=b.ogg\r\nTitle2=Bee\r\n"
                                "File1=a b.mp3\r\nTitle3=Orphan\r\nFileX=no\r\nVersion=2\r\n")),
            (Lines{"1:a b.mp3:", "2:b.ogg:Bee", "3::Orphan"}));
}

TEST(PlaylistLines, NamesResolveFromThePlaylistsFolderThenTheCurrentOne) {
  testsupport::TempDir dir;
  const std::string list = dir.write("lists/l.m3u", "");
  const std::string beside = dir.write("lists/a.wav", "x");
  dir.write("lists/sub/c.wav", "x");
  const std::string spaced = dir.write("w i/d.wav", "x");
  const std::string previous = std::filesystem::current_path().string();
  std::filesystem::current_path(dir.path());
  dir.write("a.wav", "x");
  dir.write("b.wav", "x");
  // file:///C:/... on Windows, file:///tmp/... elsewhere.
  const std::string url = std::string("file://") + (spaced[0] == '/' ? "" : "/") + dir.file("w%20i/d.wav");
  const std::string host = std::string("file://localhost") + (spaced[0] == '/' ? "" : "/") + dir.file("w%20i/d.wav");
  struct Case {
    std::string name, expected;
  } cases[] = {
      {"a.wav", beside},   // beside the playlist first
      {"b.wav", "b.wav"},  // the current directory when not there
      {"sub/c.wav", dir.file("lists/sub/c.wav")},
      {"missing.wav", ""},
      {"sub", ""},  // a folder is no file
      {spaced, spaced},
      {url, spaced},
      {host, spaced},
      {"file://elsewhere" + dir.file("w%20i/d.wav"), ""},
      {"http://example.com/a.wav", ""},
      {"", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(ResolvePlaylistName(c.name, list), c.expected) << c.name;
  std::filesystem::current_path(previous);
  EXPECT_EQ(FileUrlPath("FILE:///a%2Fb%zz%4"), "/a/b%zz%4");
}

TEST(PlaylistLines, InvalidUtf8RaisesEncodingError) {
  testsupport::TempDir dir;
  // An 8-bit code page playlist: "Björk" with ö as 0xF6.
  const std::string path = dir.write("ansi.m3u", std::string(1200, '#') + "\r\nBj\xF6rk.mp3\r\n");
  try {
    ReadPlaylist(path);
    FAIL() << "no error raised";
  } catch (const EEncodingError& e) {
    EXPECT_STREQ(e.what(), "No mapping for the Unicode character exists in the target multi-byte code page");
  }
  EXPECT_THROW(ReadPlaylist(dir.write("cut.m3u", "a\xE2\x82")), EEncodingError);
  EXPECT_THROW(ReadPlaylist(dir.write("over.m3u", "\xC0\xAF")), EEncodingError);
}

}  // namespace
