#include <gtest/gtest.h>

#include "AudioFiles.h"
#include "Id3v2Builders.h"
#include "Mp3Builders.h"
#include "Mp3Files.h"
#include "TestSupport.h"

using namespace mp3build;
using namespace std::string_literals;
using testsupport::TempDir;

namespace {

// 400 frames of 128 kbit/s at 44100 Hz: 166800 bytes, 10 s.
std::string Audio(const FrameFields& fields = FrameFields(), size_t frames = 400) { return MpegFrames(fields, frames); }

}  // namespace

TEST(Mp3File, Id3v1OnlyAndValidAudio) {
  TempDir dir;
  TMP3File f;
  const std::string path =
      dir.write("a.mp3", Audio() + Id3v1({.title = "Old", .artist = "Band", .year = "1999", .track = 5, .genre = 17}));
  EXPECT_EQ(f.ReadFromFile(path), Mp3ERR_NoTag);
  EXPECT_TRUE(f.Valid());
  EXPECT_EQ(f.Title(), u"Old");
  EXPECT_EQ(f.Artist(), u"Band");
  EXPECT_EQ(f.Year(), u"1999");
  EXPECT_EQ(f.Track(), u"5");
  EXPECT_EQ(f.Genre(), u"Rock");
  EXPECT_EQ(f.ID3v1TagSize(), 128u);
  EXPECT_EQ(f.ID3v2TagSize(), 0u);
  EXPECT_EQ(f.FileSize(), 166800 + 128);
  EXPECT_EQ(f.Bitrate(), 128000);
  EXPECT_EQ(f.Samplerate(), 44100);
  EXPECT_EQ(f.Channels(), 2);
  EXPECT_EQ(f.Duration(), 10);  // the ID3v1 tag counts as audio: 166928 x 8 / 128000
}

TEST(Mp3File, Id3v2BeforeId3v1) {
  TempDir dir;
  TMP3File f;
  const std::string v2 = Id3v2Tag(
      3, Id3v2TextFrame(3, "TIT2", "New") + Id3v2Frame(3, "COMM", CommentContent(0, "eng", u"", u"v2 note")), 0, 100);
  const std::string path =
      dir.write("b.mp3", v2 + Audio() + Id3v1({.title = "Old", .album = "Album", .comment = "v1 note"}));
  EXPECT_EQ(f.ReadFromFile(path), FileErr_None);
  EXPECT_EQ(f.Title(), u"New");
  EXPECT_EQ(f.Album(), u"Album");
  EXPECT_EQ(f.Comment(), u"v2 note");
  EXPECT_EQ(f.MpegInfo().FirstHeaderPosition(), int64_t(v2.size()));
  EXPECT_EQ(f.ID3v2TagSize(), v2.size());
  EXPECT_TRUE(f.Valid());
}

TEST(Mp3File, NoTagsAtAll) {
  TempDir dir;
  TMP3File f;
  EXPECT_EQ(f.ReadFromFile(dir.write("c.mp3", Audio())), Mp3ERR_NoTag);
  EXPECT_EQ(f.Title(), u"");
  EXPECT_EQ(f.Artist(), u"");
  EXPECT_EQ(f.Album(), u"");
  EXPECT_EQ(f.Genre(), u"");
  EXPECT_EQ(f.Comment(), u"");
  EXPECT_EQ(f.Year(), u"");
  EXPECT_EQ(f.Track(), u"0");
}

TEST(Mp3File, TagWithoutAudio) {
  TempDir dir;
  TMP3File f;
  EXPECT_EQ(f.ReadFromFile(dir.write("d.mp3", SimpleId3v2Tag(4, "T", "A") + std::string(5000, 'z'))), FileErr_None);
  EXPECT_FALSE(f.Valid());
  EXPECT_EQ(f.Bitrate(), 0);
  EXPECT_EQ(f.Duration(), 0);
  EXPECT_EQ(f.Samplerate(), 0);
  EXPECT_EQ(f.Channels(), 0);
  EXPECT_EQ(f.Title(), u"T");
}

TEST(Mp3File, ChannelsFromMode) {
  TempDir dir;
  const std::pair<uint8_t, int> modes[] = {{0, 2}, {1, 2}, {2, 2}, {3, 1}};
  for (const auto& [mode, channels] : modes) {
    TMP3File f;
    f.ReadFromFile(dir.write("m.mp3", Audio(FrameFields().mode(mode), 20)));
    EXPECT_TRUE(f.Valid());
    EXPECT_EQ(f.Channels(), channels) << int(mode);
  }
}

TEST(Mp3File, TagClaimingMoreThanTheFile) {
  TempDir dir;
  std::string v2 = Id3v2Tag(3, Id3v2TextFrame(3, "TIT2", "New"), 0, 1000000);
  v2.resize(200);
  TMP3File f;
  EXPECT_EQ(f.ReadFromFile(dir.write("e.mp3", v2 + Audio() + Id3v1({.title = "Old", .artist = "B"}))),
            FileErr_FileOpenR);
  EXPECT_FALSE(f.Valid());
  EXPECT_EQ(f.Bitrate(), 0);
  EXPECT_EQ(f.Title(), u"Old");
  EXPECT_EQ(f.Artist(), u"B");
}

TEST(Mp3File, TagResultsAreMapped) {
  TempDir dir;
  TMP3File f;
  std::string v5 = SimpleId3v2Tag(3, "T", "A");
  v5[3] = 5;
  EXPECT_EQ(f.ReadFromFile(dir.write("f.mp3", v5 + Audio())), MP3ERR_Invalid_Header);
  EXPECT_TRUE(f.Valid());  // the audio search starts at 0 without a tag
  const std::string cut = Id3v2Tag(3, Id3v2Frame(3, "TIT2", "\0x"s, 0, 0, 40));
  EXPECT_EQ(f.ReadFromFile(dir.write("g.mp3", cut + Audio())), MP3ERR_StreamRead);
  // Files too short for a tag header.
  EXPECT_EQ(f.ReadFromFile(dir.write("tiny.mp3", "ID3")), MP3ERR_StreamRead);
  EXPECT_FALSE(f.Valid());
  EXPECT_EQ(f.ReadFromFile(dir.write("empty.mp3", "")), MP3ERR_StreamRead);
  EXPECT_EQ(f.ReadFromFile(dir.file("missing.mp3")), FileErr_NoFile);
  EXPECT_FALSE(f.Valid());
  EXPECT_EQ(f.FileSize(), 0);
}

TEST(Mp3File, FooterCountsInTagSize) {
  TempDir dir;
  TMP3File f;
  const std::string frame = Id3v2TextFrame(4, "TIT2", "T");
  f.ReadFromFile(dir.write("h.mp3", Id3v2Tag(4, frame, kTagFooter, 1000 - uint32_t(frame.size())) + Audio()));
  EXPECT_EQ(f.ID3v2TagSize(), 1020u);
  EXPECT_EQ(f.MpegInfo().FirstHeaderPosition(), 1020);
}

TEST(Mp3File, YearFallback) {
  TempDir dir;
  TMP3File f;
  f.ReadFromFile(dir.write("y1.mp3", Audio() + Id3v1({.year = "1999"})));
  EXPECT_EQ(f.Year(), u"1999");
  f.ReadFromFile(dir.write("y2.mp3", Audio() + Id3v1({.title = "x"})));
  EXPECT_EQ(f.Year(), u"");
  f.ReadFromFile(dir.write("y3.mp3", Audio() + Id3v1({.year = "99", .pad = ' '})));
  EXPECT_EQ(f.Year(), u"99");
  f.ReadFromFile(
      dir.write("y4.mp3", Id3v2Tag(3, Id3v2TextFrame(3, "TYER", "2004")) + Audio() + Id3v1({.year = "1999"})));
  EXPECT_EQ(f.Year(), u"2004");
}

TEST(Mp3File, MapMp3Error) {
  const std::pair<TMP3Error, TAudioError> table[] = {
      {MP3ERR_None, FileErr_None},
      {MP3ERR_NoFile, FileErr_NoFile},
      {MP3ERR_FOpenCrt, FileErr_FileCreate},
      {MP3ERR_FOpenR, FileErr_FileOpenR},
      {MP3ERR_FOpenRW, FileErr_FileOpenRW},
      {MP3ERR_FOpenW, FileErr_FileOpenRW},
      {MP3ERR_SRead, MP3ERR_StreamRead},
      {MP3ERR_SWrite, MP3ERR_StreamWrite},
      {ID3ERR_Cache, Mp3ERR_Cache},
      {ID3ERR_NoTag, Mp3ERR_NoTag},
      {ID3ERR_Invalid_Header, MP3ERR_Invalid_Header},
      {ID3ERR_Compression, Mp3ERR_Compression},
      {ID3ERR_Unclassified, Mp3ERR_Unclassified},
      {MPEGERR_NoFrame, MP3ERR_NoMpegFrame},
      {static_cast<TMP3Error>(14), Mp3ERR_Unclassified},
      {static_cast<TMP3Error>(255), Mp3ERR_Unclassified},
  };
  for (const auto& [from, to] : table) EXPECT_EQ(MapMp3Error(from), to) << int(from);
}
