#include "TrackHeader.h"

#include <gtest/gtest.h>

#include <clocale>
#include <string>

#include "Console.h"
#include "FileAccess.h"
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
  EXPECT_EQ(HeaderFirstLine(4, "/m/x.mp3", all, 59, 3),
            "Playing file: 4 T\xC3\xB6ne Artist: A Album: Al Genre: G 0:59 from 3");

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

TEST(TextTest, Utf8InTheFirst1000BytesIsTextOtherBytesRefuse) {
  TempDir dir;
  EXPECT_TRUE(LooksLikeTextFile(dir.write("empty.m3u", "")));
  EXPECT_TRUE(LooksLikeTextFile(dir.write("list.m3u", "#EXTM3U\r\na.mp3\r\n")));
  EXPECT_TRUE(LooksLikeTextFile(dir.write("bom.m3u", "\xEF\xBB\xBF#EXTM3U\r\n")));
  EXPECT_TRUE(LooksLikeTextFile(
      dir.write("names.m3u", "Bj\xC3\xB6rk.mp3\r\n\xE6\x97\xA5\xE6\x9C\xAC.mp3\r\n\xF0\x9F\x8E\xB5.flac\r\n")));
  // Windows-1252, a lone continuation byte, an overlong form, a surrogate.
  EXPECT_FALSE(LooksLikeTextFile(dir.write("ansi.m3u", "Bj\xF6rk.mp3\r\n")));
  EXPECT_FALSE(LooksLikeTextFile(dir.write("late.m3u", std::string(999, 'a') + "\x80")));
  EXPECT_FALSE(LooksLikeTextFile(dir.write("overlong.m3u", "\xC0\xAF")));
  EXPECT_FALSE(LooksLikeTextFile(dir.write("surrogate.m3u", "\xED\xA0\x80")));
  EXPECT_TRUE(LooksLikeTextFile(dir.write("later.m3u", std::string(1000, 'a') + "\xFF")));
  EXPECT_FALSE(LooksLikeTextFile(dir.write("pic.jpg", "\xFF\xD8\xFF\xE0")));

  // A sequence cut by the limit counts when it begins well; one that the
  // file itself cuts short does not.
  const std::string euro = "\xE2\x82\xAC";
  EXPECT_TRUE(LooksLikeTextFile(dir.write("cut1.m3u", std::string(999, 'a') + euro)));
  EXPECT_TRUE(LooksLikeTextFile(dir.write("cut2.m3u", std::string(998, 'a') + euro)));
  EXPECT_TRUE(LooksLikeTextFile(dir.write("cut3.m3u", std::string(997, 'a') + "\xF0\x9F\x8E\xB5")));
  EXPECT_FALSE(LooksLikeTextFile(dir.write("short.m3u", std::string(998, 'a') + "\xE2\x82")));
  EXPECT_FALSE(LooksLikeTextFile(dir.write("cutbad.m3u", std::string(998, 'a') + "\xE0\x80\x80")));
  EXPECT_FALSE(LooksLikeTextFile(dir.write("cutbad2.m3u", std::string(999, 'a') + "\xF8\x88\x80")));
}

TEST(ConsoleText, ControlCharactersFromFilesAreReplaced) {
  // Escape sequences that would retitle and recolour the terminal.
  EXPECT_EQ(ConsoleText(u"\x1b]0;x\x07Title\x1b[31m"), "\xEF\xBF\xBD]0;x\xEF\xBF\xBDTitle\xEF\xBF\xBD[31m");
  EXPECT_EQ(ConsoleText(u"Line1\nLine2\rX\tY\x7F"), "Line1\xEF\xBF\xBDLine2\xEF\xBF\xBDX\xEF\xBF\xBDY\xEF\xBF\xBD");
  // C1 controls (U+009B is a one-character CSI); U+00A0 and on are text.
  EXPECT_EQ(ConsoleText(u"\u0080\u009b31m\u00a0\u00e9"),
            "\xEF\xBF\xBD\xEF\xBF\xBD"
            "31m\xC2\xA0\xC3\xA9");
  // A NUL between values separates them; NULs separating nothing go.
  EXPECT_EQ(ConsoleText(std::u16string(u"Rock\0Pop", 8)), "Rock / Pop");
  EXPECT_EQ(ConsoleText(std::u16string(u"Rock\0\0Pop\0", 10)), "Rock / Pop");
  EXPECT_EQ(ConsoleText(std::u16string(u"\0Jazz", 5)), "Jazz");
  EXPECT_EQ(ConsoleText(std::u16string(u"\0", 1)), "");
  EXPECT_EQ(ConsoleText(u"T\u00f6ne \U0001F3B5"), "T\xC3\xB6ne \xF0\x9F\x8E\xB5");
  // File names: bytes that are not UTF-8 (a raw 0x9B is CSI to an 8-bit
  // terminal) become U+FFFD as well.
  EXPECT_EQ(ConsoleName("a\x1b[2Jb.mp3"), "a\xEF\xBF\xBD[2Jb.mp3");
  EXPECT_EQ(ConsoleName("Bj\xF6rk\x9B"
                        "1m.mp3"),
            "Bj\xEF\xBF\xBDrk\xEF\xBF\xBD"
            "1m.mp3");
  EXPECT_EQ(ConsoleName("Bj\xC3\xB6rk.mp3"), "Bj\xC3\xB6rk.mp3");
}

TEST(ConsoleText, HeaderLinesShowFileTextSafely) {
  std::setlocale(LC_NUMERIC, "C");
  HeaderTags tags{u"\x1b]0;x\x07T", u"A\nB", u"", std::u16string(u"Rock\0Pop", 8)};
  EXPECT_EQ(HeaderFirstLine(1, "/m/x.mp3", tags, 61, std::nullopt),
            "Playing file: 1 \xEF\xBF\xBD]0;x\xEF\xBF\xBDT Artist: A\xEF\xBF\xBD"
            "B Genre: Rock / Pop 1:01");
  EXPECT_EQ(HeaderFirstLine(2, "/m/\x1b[31mred.wav", HeaderTags{}, 0, 2),
            "Playing file: 2 \xEF\xBF\xBD[31mred 0:00 from 2");
  EXPECT_EQ(HeaderSecondLine(0, 0, u"X\x1b"), "Bitrate:  0 kBit/s Channels: 0 Type: X\xEF\xBF\xBD");
}

TEST(EngineHeader, TagValuesAndTypeName) {
  using namespace std::string_literals;
  const std::string tags = "TITLE=Song\0artist=A=B\0title=Second\0genre=\0\0"s;
  EXPECT_EQ(EngineTagValue(tags.c_str(), "title"), "Song") << "the first of a name, whatever its case";
  EXPECT_EQ(EngineTagValue(tags.c_str(), "Artist"), "A=B") << "split at the first '='";
  EXPECT_EQ(EngineTagValue(tags.c_str(), "genre"), "");
  EXPECT_EQ(EngineTagValue(tags.c_str(), "album"), "");
  EXPECT_EQ(EngineTagValue(tags.c_str(), "titl"), "");
  EXPECT_EQ(EngineTagValue("\0", "title"), "");
  EXPECT_EQ(EngineTagValue(nullptr, "title"), "");

  EXPECT_EQ(EngineTypeName("opus", "Opus (Opus Interactive Audio Codec)", "Ogg"),
            "Opus (Opus Interactive Audio Codec)");
  EXPECT_EQ(EngineTypeName("pcm_s16be", "PCM signed 16-bit big-endian", "Audio IFF"), "Audio IFF");
  EXPECT_EQ(EngineTypeName("alac", "", "QuickTime / MOV"), "alac");
  EXPECT_EQ(EngineTypeName(nullptr, nullptr, nullptr), "");
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
  EXPECT_EQ(DeviceInfoText("HD", "", 0x40000001u),
            "HD\r\n\tdriver: \r\n\ttype: DisplayPort\r\n\tflags: enabled (1073741825)");
  const char* expected[] = {"Unknown", "Remote Network", "Speakers", "Line",  "Headphones", "Microphone",
                            "Headset", "Handset",        "Digital",  "SPDIF", "HDMI",       "Unknown"};
  for (uint32_t type = 0; type <= 11; ++type) EXPECT_STREQ(DeviceTypeText(type << 24), expected[type]) << type;
  EXPECT_STREQ(DeviceTypeText(0xFF000000u), "Unknown");
}

}  // namespace
