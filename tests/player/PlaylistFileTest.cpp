#include "PlaylistFile.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Console.h"
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

TEST(PlaylistLines, ReadsUtf8AndSkipsByteOrderMark) {
  testsupport::TempDir dir;
  EXPECT_EQ(ReadPlaylistLines(dir.write("a.m3u", "\xEF\xBB\xBF#EXTM3U\r\n/m/Bj\xC3\xB6rk.mp3\r\n")),
            (Lines{"#EXTM3U", "/m/Bj\xC3\xB6rk.mp3"}));
  EXPECT_EQ(ReadPlaylistLines(dir.write("empty.m3u", "")), Lines{});
}

TEST(PlaylistLines, InvalidUtf8RaisesEncodingError) {
  testsupport::TempDir dir;
  // An 8-bit code page playlist: "Björk" with ö as 0xF6.
  const std::string path = dir.write("ansi.m3u", std::string(1200, '#') + "\r\nBj\xF6rk.mp3\r\n");
  try {
    ReadPlaylistLines(path);
    FAIL() << "no error raised";
  } catch (const EEncodingError& e) {
    EXPECT_STREQ(e.what(), "No mapping for the Unicode character exists in the target multi-byte code page");
  }
  EXPECT_THROW(ReadPlaylistLines(dir.write("cut.m3u", "a\xE2\x82")), EEncodingError);
  EXPECT_THROW(ReadPlaylistLines(dir.write("over.m3u", "\xC0\xAF")), EEncodingError);
}

}  // namespace
