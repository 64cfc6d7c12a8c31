#include <gtest/gtest.h>

#include "AudioFiles.h"
#include "ReadBytes.h"
#include "RiffAsfBuilders.h"
#include "TestSupport.h"
#include "WavFiles.h"

using namespace riffbuild;
using testsupport::Bytes;
using testsupport::ReadFromBytes;
using testsupport::TempDir;
using namespace std::string_literals;

namespace {

// CD audio: 16-bit stereo at 44,100 Hz, 176,400 bytes per second.
const std::string kCdFmt = PcmFmt(2, 44100, 16);

}  // namespace

TEST(WavFile, CdAudio) {
  Twavfile wav;
  const std::string bytes = Wave({kCdFmt, DataHead(1'764'000, 100)});
  ASSERT_EQ(ReadFromBytes(wav, bytes), FileErr_None);
  EXPECT_TRUE(wav.Valid());
  EXPECT_EQ(wav.FileSize(), static_cast<int64_t>(bytes.size()));
  EXPECT_EQ(wav.Channels(), 2);
  EXPECT_EQ(wav.Samplerate(), 44100);
  EXPECT_EQ(wav.Bitrate(), 1'411'200);
  EXPECT_EQ(wav.Duration(), 10);  // from the stated size, not the bytes present
  for (const std::u16string& text : {wav.Title(), wav.Artist(), wav.Album(), wav.Year(), wav.Track(), wav.Genre()})
    EXPECT_EQ(text, u"");
}

TEST(WavFile, DurationFromDataSize) {
  struct Case {
    const char* what;
    uint32_t dataSize;
    int32_t duration;
  };
  for (const Case& c : {
           Case{"truncated, not rounded", 176'399, 0},
           Case{"just one second", 176'400, 1},
           Case{"0xFFFFFFFF: the length was not known when it was written", 0xFFFFFFFF, 0},
           Case{"sizes are unsigned", 0x80000000, 12173},
           Case{"largest positive size", 0x7FFFFFFF, 12173},
       }) {
    Twavfile wav;
    ASSERT_EQ(ReadFromBytes(wav, Wave({kCdFmt, DataHead(c.dataSize, 4)})), FileErr_None) << c.what;
    EXPECT_EQ(wav.Duration(), c.duration) << c.what;
    EXPECT_EQ(wav.Bitrate(), 1'411'200) << c.what;
  }
}

TEST(WavFile, FormatFieldArithmetic) {
  struct Case {
    const char* what;
    std::string fmt;
    int32_t channels, samplerate, bitrate, duration;
  };
  const std::vector<Case> cases = {
      {"six channels", PcmFmt(6, 48000, 24), 6, 48000, 6'912'000, 2},
      {"mono 8-bit", PcmFmt(1, 8000, 8), 1, 8000, 64'000, 216},
      {"byte rate 0 gives no duration", Fmt(2, 44100, 0, 4, 16), 2, 44100, 1'411'200, 0},
      {"byte rates are unsigned", Fmt(2, 44100, 0xFFFFFFFF, 4, 16), 2, 44100, 1'411'200, 0},
      {"a bitrate beyond 2^31 - 1 is unknown", Fmt(256, 65536, 1, 1, 256), 256, 65536, 0, 1'728'000},
      {"the largest rate that fits", Fmt(2, 0x7FFFFFFF, 1, 1, 16), 2, 0x7FFFFFFF, 0, 1'728'000},
      {"a rate beyond it is unknown", Fmt(2, 0x80000000, 1, 1, 16), 2, 0, 0, 1'728'000},
      {"compressed format, bits 0", Fmt(2, 44100, 16000, 1, 0, 0x55), 2, 44100, 0, 108},
  };
  for (const Case& c : cases) {
    Twavfile wav;
    ASSERT_EQ(ReadFromBytes(wav, Wave({c.fmt, DataHead(1'728'000)})), FileErr_None) << c.what;
    EXPECT_EQ(wav.Channels(), c.channels) << c.what;
    EXPECT_EQ(wav.Samplerate(), c.samplerate) << c.what;
    EXPECT_EQ(wav.Bitrate(), c.bitrate) << c.what;
    EXPECT_EQ(wav.Duration(), c.duration) << c.what;
  }
}

TEST(WavFile, ChunkSearch) {
  const std::string list = Chunk("LIST", Bytes("INFOINAM").u32le(6).raw("Title\0"s));
  struct Case {
    const char* what;
    std::vector<std::string> chunks;
    int32_t bitrate, duration;
  };
  const std::vector<Case> cases = {
      {"LIST between fmt and data", {kCdFmt, list, DataHead(352'800)}, 1'411'200, 2},
      {"odd-sized chunk without pad byte", {kCdFmt, Chunk("junk", "abc"), DataHead(352'800)}, 1'411'200, 2},
      {"pad byte after an odd-sized chunk puts the search off",
       {kCdFmt, Chunk("junk", "abc"), "\0"s, DataHead(352'800)},
       1'411'200,
       0},
      {"identifiers are case-sensitive", {PcmFmt(2, 44100, 16).replace(0, 4, "FMT "), DataHead(352'800)}, 0, 0},
      {"no data chunk", {kCdFmt, list}, 1'411'200, 0},
      {"no chunks at all", {}, 0, 0},
  };
  for (const Case& c : cases) {
    Twavfile wav;
    ASSERT_EQ(ReadFromBytes(wav, Wave(c.chunks)), FileErr_None) << c.what;
    EXPECT_TRUE(wav.Valid());
    EXPECT_EQ(wav.Bitrate(), c.bitrate) << c.what;
    EXPECT_EQ(wav.Duration(), c.duration) << c.what;
  }

  // Each search starts again at the first chunk, so data may precede fmt
  // (the data chunk's stated size is then the true one).
  Twavfile wav;
  ASSERT_EQ(ReadFromBytes(wav, Wave({Chunk("data", std::string(176'400 * 2, '\0')), kCdFmt})), FileErr_None);
  EXPECT_EQ(wav.Duration(), 2);
  EXPECT_EQ(wav.Channels(), 2);
}

TEST(WavFile, NegativeChunkSizesEndTheSearch) {
  struct Case {
    const char* what;
    std::vector<std::string> chunks;
  };
  const std::vector<Case> cases = {
      {"size -8 would read the same chunk again", {Chunk("junk", "", 0xFFFFFFF8), kCdFmt}},
      {"size -100 points before the chunk list", {Chunk("junk", "", 0xFFFFFF9C), kCdFmt}},
      {"most negative size", {Chunk("junk", "", 0x80000000), kCdFmt}},
      {"a later chunk pointing back to the first", {Chunk("aaaa", ""), Chunk("bbbb", "", 0xFFFFFFF0), kCdFmt}},
  };
  for (const Case& c : cases) {
    Twavfile wav;
    ASSERT_EQ(ReadFromBytes(wav, Wave(c.chunks)), FileErr_None) << c.what;
    EXPECT_TRUE(wav.Valid()) << c.what;
    EXPECT_EQ(wav.Channels(), 0) << c.what;  // fmt counts as not found
    EXPECT_EQ(wav.Bitrate(), 0) << c.what;
  }

  // A small negative size still moves forward (here by 4 bytes, into the
  // middle of the chunk) and the search goes on from there.
  Twavfile wav;
  ASSERT_EQ(ReadFromBytes(wav, Wave({Bytes("junk").u32le(0xFFFFFFFC).str() + kCdFmt})), FileErr_None);
  EXPECT_EQ(wav.Channels(), 0);

  // Searching for "data" ends the same way; fmt before it is still found.
  ASSERT_EQ(ReadFromBytes(wav, Wave({kCdFmt, Chunk("junk", "", 0xFFFFFFF8), DataHead(176'400)})), FileErr_None);
  EXPECT_EQ(wav.Channels(), 2);
  EXPECT_EQ(wav.Duration(), 0);
}

TEST(WavFile, NotAWaveFile) {
  struct Case {
    const char* what;
    std::string bytes;
  };
  const std::string wave = Wave({kCdFmt, DataHead(1'764'000)});
  for (const Case& c : {
           Case{"MPEG audio", Bytes().u8(0xFF).u8(0xFB).u8(0x90).u8(0x64).zeros(200).str()},
           Case{"RIFF but AVI", std::string(wave).replace(8, 4, "AVI ")},
           Case{"RIFX", std::string(wave).replace(0, 4, "RIFX")},
           Case{"three bytes", "RIF"},
           Case{"empty", ""},
           Case{"header only", wave.substr(0, 12)},
           Case{"chunk head cut short", wave.substr(0, 18)},
       }) {
    Twavfile wav;
    ASSERT_EQ(ReadFromBytes(wav, c.bytes), FileErr_None) << c.what;
    EXPECT_TRUE(wav.Valid()) << c.what;
    EXPECT_EQ(wav.FileSize(), static_cast<int64_t>(c.bytes.size())) << c.what;
    EXPECT_EQ(wav.Channels(), 0) << c.what;
    EXPECT_EQ(wav.Samplerate(), 0) << c.what;
    EXPECT_EQ(wav.Bitrate(), 0) << c.what;
    EXPECT_EQ(wav.Duration(), 0) << c.what;
  }
}

TEST(WavFile, Failures) {
  TempDir dir;
  Twavfile wav;
  EXPECT_EQ(wav.ReadFromFile(dir.file("missing.wav")), FileErr_NoFile);
  EXPECT_FALSE(wav.Valid());
  EXPECT_EQ(wav.FileSize(), 0);

  // A format chunk cut off by the end of the file: what was read remains.
  const std::string cut = Wave({kCdFmt}).substr(0, 12 + 8 + 6);
  ASSERT_EQ(ReadFromBytes(wav, Wave({kCdFmt, DataHead(1'764'000)})), FileErr_None);
  EXPECT_EQ(ReadFromBytes(wav, cut), FileErr_FileOpenR);
  EXPECT_FALSE(wav.Valid());
  EXPECT_EQ(wav.FileSize(), static_cast<int64_t>(cut.size()));
  EXPECT_EQ(wav.Channels(), 2);
  EXPECT_EQ(wav.Samplerate(), 0);
  EXPECT_EQ(wav.Duration(), 0);
}

TEST(WavFile, RealEncoderFiles) {
  TempDir dir;
  struct Case {
    const char* tool;
    std::string command;
    int32_t channels, samplerate, bitrate, duration;
  };
  const std::string sox = dir.file("sox.wav");
  const std::string sox6 = dir.file("sox6.wav");
  const std::string ff = dir.file("ffmpeg.wav");
  const std::vector<Case> cases = {
      {"sox", "sox -n -r 44100 -c 2 -b 16 '" + sox + "' synth 3 sine 440", 2, 44100, 1'411'200, 3},
      // more than two channels: an extensible format chunk and a "fact" chunk
      {"sox", "sox -n -r 48000 -c 6 -b 24 '" + sox6 + "' synth 2.5 sine 440", 6, 48000, 6'912'000, 2},
      // tags give a LIST chunk before the data
      {"ffmpeg",
       "ffmpeg -nostdin -hide_banner -loglevel error -y -f lavfi -i sine=duration=2 -ac 1 -ar 22050 "
       "-c:a pcm_s16le -metadata title=Tagged -metadata artist=Someone '" +
           ff + "'",
       1, 22050, 352'800, 2},
  };
  for (const Case& c : cases) {
    if (!testsupport::HaveProgram(c.tool)) GTEST_SKIP() << c.tool << " not installed";
    ASSERT_TRUE(testsupport::Shell(c.command)) << c.command;
  }
  for (size_t i = 0; i < cases.size(); ++i) {
    const std::string& path = i == 0 ? sox : i == 1 ? sox6 : ff;
    TGeneralAudioFile file(path);
    ASSERT_EQ(file.LastError(), FileErr_None) << path;
    EXPECT_TRUE(file.Valid());
    EXPECT_EQ(file.Channels(), cases[i].channels) << path;
    EXPECT_EQ(file.Samplerate(), cases[i].samplerate) << path;
    EXPECT_EQ(file.Bitrate(), cases[i].bitrate) << path;
    EXPECT_EQ(file.Duration(), cases[i].duration) << path;
    EXPECT_EQ(file.Title(), u"") << path;
  }
}
