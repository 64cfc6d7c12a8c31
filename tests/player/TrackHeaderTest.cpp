#include "TrackHeader.h"

#include <gtest/gtest.h>

#include <clocale>
#include <string>

#include "Console.h"
#include "DeviceInfo.h"
#include "TestSupport.h"

namespace {

using testsupport::TempDir;

TEST(TrackHeader, BareNameWithoutDirectoryAndLastExtension) {
  EXPECT_EQ(BareName("/music/Song.Live.mp3"), "Song.Live");
  EXPECT_EQ(BareName("Song.mp3"), "Song");
  EXPECT_EQ(BareName("dir.d/noext"), "noext");
  EXPECT_EQ(BareName("/music/.hidden"), "");
}

TEST(TrackHeader, FirstLineParts) {
  std::setlocale(LC_NUMERIC, "C");
  HeaderTags none;
  EXPECT_EQ(HeaderFirstLine(1, "/music/Song.Live.mp3", none, 187, std::nullopt), "Playing file: 1 Song.Live 3:07");

  HeaderTags noAlbum{u"Title", u"Artist", u"", u"Rock"};
  EXPECT_EQ(HeaderFirstLine(1, "/m/x.mp3", noAlbum, 187, std::nullopt),
            "Playing file: 1 Title Artist: Artist Genre: Rock 3:07");

  HeaderTags all{u"T\u00f6ne", u"A", u"Al", u"G"};
  EXPECT_EQ(HeaderFirstLine(4, "/m/x.mp3", all, 59, 3), "Playing file: 4 T\xC3\xB6ne Artist: A Album: Al Genre: G 0:59 from 3");

  HeaderTags albumOnly{u"", u"", u"Album", u""};
  EXPECT_EQ(HeaderFirstLine(2, "b.wav", albumOnly, 61, 2), "Playing file: 2 b Album: Album 1:01 from 2");
  EXPECT_EQ(HeaderFirstLine(1, "b.wav", none, 0, std::nullopt), "Playing file: 1 b 0:00");
  EXPECT_EQ(HeaderFirstLine(1, "b.wav", none, 6000, std::nullopt), "Playing file: 1 b 100:00");
}

TEST(TrackHeader, SecondLine) {
  EXPECT_EQ(HeaderSecondLine(320000, 2, u"MPEG Audio"), "Bitrate:  320 kBit/s Channels: 2 Type: MPEG Audio");
  EXPECT_EQ(HeaderSecondLine(128999, 1, u"Ogg/Vorbis"), "Bitrate:  128 kBit/s Channels: 1 Type: Ogg/Vorbis");
  EXPECT_EQ(HeaderSecondLine(0, 0, u"Invalid Audiofile"), "Bitrate:  0 kBit/s Channels: 0 Type: Invalid Audiofile");
}

TEST(TextTest, TopBitInTheFirst1000BytesRefuses) {
  TempDir dir;
  EXPECT_TRUE(LooksLikeTextFile(dir.write("empty.m3u", "")));
  EXPECT_TRUE(LooksLikeTextFile(dir.write("list.m3u", "#EXTM3U\r\na.mp3\r\n")));
  EXPECT_FALSE(LooksLikeTextFile(dir.write("bom.m3u", "\xEF\xBB\xBF#EXTM3U\r\n")));
  EXPECT_FALSE(LooksLikeTextFile(dir.write("late.m3u", std::string(999, 'a') + "\x80")));
  EXPECT_TRUE(LooksLikeTextFile(dir.write("later.m3u", std::string(1000, 'a') + "\xFF")));
  EXPECT_FALSE(LooksLikeTextFile(dir.write("pic.jpg", "\xFF\xD8\xFF\xE0")));
}

TEST(TextTest, UnreadableFileRaisesOpenErrorWithFullPath) {
  TempDir dir;
  try {
    LooksLikeTextFile(dir.file("missing.mp3"));
    FAIL() << "no error raised";
  } catch (const EFOpenError& e) {
    EXPECT_EQ(std::string(e.what()), "Cannot open file \"" + dir.file("missing.mp3") + "\". No such file or directory");
  }
  try {
    LooksLikeTextFile(dir.path().string());
    FAIL() << "no error raised for a directory";
  } catch (const EFOpenError& e) {
    EXPECT_EQ(std::string(e.what()), "Cannot open file \"" + dir.path().string() + "\". Is a directory");
  }
  EXPECT_THROW(AdviseOnDashFile(dir.file("missing.m4a")), EFOpenError);
}

TEST(DashAdvice, RecognisesTheFileTypeBox) {
  using namespace std::string_literals;
  const std::string dash = "\0\0\0\x18"s + "ftypdash" + "\0\0\0\0"s + "iso6mp41";
  EXPECT_TRUE(IsDashAudioHeader(dash));
  EXPECT_TRUE(IsDashAudioHeader(dash + "more"));
  EXPECT_FALSE(IsDashAudioHeader(dash.substr(0, 23)));
  std::string other = dash;
  other[23] = '2';
  EXPECT_FALSE(IsDashAudioHeader(other));
  EXPECT_FALSE(IsDashAudioHeader("\0\0\0\x18"s + "ftypM4A " + "\0\0\0\0"s + "isomiso2"));
}

TEST(DeviceList, InfoLinesAndFlagsInFixedOrder) {
  EXPECT_EQ(DeviceInfoText("Speakers (HD)", "ALSA", 0x02000003u),
            "Speakers (HD)\r\n\tdriver: ALSA\r\n\ttype: Speakers\r\n\tflags: enabled default (33554435)");
  EXPECT_EQ(DeviceInfoText("Loop", "Pulse", 0x0000000Bu),
            "Loop\r\n\tdriver: Pulse\r\n\ttype: Unknown\r\n\tflags: loopback enabled default (11)");
  EXPECT_EQ(DeviceInfoText("X", "", 0), "X\r\n\tdriver: \r\n\ttype: Unknown\r\n\tflags: (0)");
  EXPECT_EQ(DeviceInfoText("HD", "", 0x40000001u), "HD\r\n\tdriver: \r\n\ttype: DisplayPort\r\n\tflags: enabled (1073741825)");
  const char* expected[] = {"Unknown", "Remote Network", "Speakers", "Line", "Headphones", "Microphone",
                            "Headset", "Handset", "Digital", "SPDIF", "HDMI", "Unknown"};
  for (uint32_t type = 0; type <= 11; ++type) EXPECT_STREQ(DeviceTypeText(type << 24), expected[type]) << type;
  EXPECT_STREQ(DeviceTypeText(0xFF000000u), "Unknown");
}

}  // namespace
