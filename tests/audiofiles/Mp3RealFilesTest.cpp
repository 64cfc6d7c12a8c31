// Files made by real encoders (lame, ffmpeg) and tagged by real taggers
// (id3v2, mid3v2), read through the facade. The expected values are what
// the tools were told to write: three seconds of a 440 Hz tone at the
// given rate, bitrate and channel count, and the tag text passed to them.
#include <gtest/gtest.h>

#include "AudioFiles.h"
#include "Mp3Files.h"
#include "TestSupport.h"

using testsupport::EncodeTone;
using testsupport::HaveProgram;
using testsupport::Shell;
using testsupport::TempDir;

namespace {

class Mp3RealFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!HaveProgram("ffmpeg")) GTEST_SKIP() << "ffmpeg is not installed";
    fWav = fDir.file("tone.wav");
    ASSERT_TRUE(EncodeTone(fWav, 3, 44100, 2));
  }

  // The mutagen command-line tagger and its library in the system's Python.
  static bool HaveMid3v2() { return HaveProgram("mid3v2") && Shell("mid3v2 --version"); }
  static bool HaveMutagen() { return Shell("/usr/bin/python3 -c 'import mutagen.id3'"); }

  TempDir fDir;
  std::string fWav;
};

TEST_F(Mp3RealFiles, LameCbrTaggedById3v2) {
  if (!HaveProgram("lame") || !HaveProgram("id3v2")) GTEST_SKIP() << "lame or id3v2 is not installed";
  const std::string mp3 = fDir.file("cbr.mp3");
  ASSERT_TRUE(Shell("lame --quiet -b 128 --cbr '" + fWav + "' '" + mp3 + "'"));
  // id3v2 writes an ID3v2.3 tag and an ID3v1 tag; genre 17 as "(17)".
  ASSERT_TRUE(
      Shell("id3v2 -t 'Song Title' -a 'The Band' -A 'An Album' -y 2004 -T 3 -g 17 -c 'A comment' '" + mp3 + "'"));

  TGeneralAudioFile file(mp3);
  ASSERT_NE(file.MP3File(), nullptr);
  const TMP3File& reader = *file.MP3File();
  EXPECT_EQ(file.LastError(), FileErr_None);
  EXPECT_TRUE(file.Valid());
  EXPECT_EQ(file.Title(), u"Song Title");
  EXPECT_EQ(file.Artist(), u"The Band");
  EXPECT_EQ(file.Album(), u"An Album");
  EXPECT_EQ(file.Year(), u"2004");
  EXPECT_EQ(file.Track(), u"3");
  EXPECT_EQ(file.Genre(), u"Rock");
  EXPECT_EQ(reader.Comment(), u"A comment");
  EXPECT_EQ(file.Bitrate(), 128000);
  EXPECT_EQ(file.Samplerate(), 44100);
  EXPECT_EQ(file.Channels(), 2);
  EXPECT_EQ(file.Duration(), 3);
  EXPECT_EQ(reader.ID3v2Tag().Version().Major, 3);
  EXPECT_TRUE(reader.ID3v1Tag().Exists());
  EXPECT_EQ(reader.ID3v1Tag().Title(), u"Song Title");
  EXPECT_EQ(reader.ID3v1TagSize(), 128u);
  EXPECT_FALSE(reader.MpegInfo().Vbr()) << "lame's Info frame is not a Xing header";
  EXPECT_EQ(reader.MpegInfo().Layer(), 3);
  EXPECT_EQ(reader.MpegInfo().Version(), 1);
  // The audio starts right behind the tag.
  EXPECT_EQ(reader.MpegInfo().FirstHeaderPosition(), reader.ID3v2TagSize());
}

TEST_F(Mp3RealFiles, OnlyAnId3v1Tag) {
  if (!HaveProgram("lame") || !HaveProgram("id3v2")) GTEST_SKIP() << "lame or id3v2 is not installed";
  const std::string mp3 = fDir.file("v1.mp3");
  ASSERT_TRUE(Shell("lame --quiet -b 96 '" + fWav + "' '" + mp3 + "'"));
  ASSERT_TRUE(Shell("id3v2 -1 -t 'Old Title' -a 'Old Artist' -y 1999 -T 7 -g 8 '" + mp3 + "'"));

  TGeneralAudioFile file(mp3);
  EXPECT_EQ(file.LastError(), Mp3ERR_NoTag);
  EXPECT_TRUE(file.Valid());
  EXPECT_EQ(file.Title(), u"Old Title");
  EXPECT_EQ(file.Artist(), u"Old Artist");
  EXPECT_EQ(file.Year(), u"1999");
  EXPECT_EQ(file.Track(), u"7");
  EXPECT_EQ(file.Genre(), u"Jazz");
  EXPECT_EQ(file.Bitrate(), 96000);
  EXPECT_EQ(file.MP3File()->ID3v1Tag().Version(), 1);
}

TEST_F(Mp3RealFiles, LameVbrMonoTaggedByMutagenV24) {
  if (!HaveProgram("lame") || !HaveMid3v2()) GTEST_SKIP() << "lame or mid3v2 (python3-mutagen) is not installed";
  const std::string mp3 = fDir.file("vbr.mp3");
  ASSERT_TRUE(Shell("lame --quiet -V 2 -m m '" + fWav + "' '" + mp3 + "'"));
  // mid3v2 writes ID3v2.4 with UTF-8 text.
  ASSERT_TRUE(
      Shell("mid3v2 -t 'Grüße ☃' -a 'Künstler' -A 'Ålbum' -y 2011 -T 5/9 -g 'Trip-Hop' "
            "--TXXX 'MOOD:calm' -c 'note:Ein Kommentar:eng' -c 'Leer' '" +
            mp3 + "'"));

  TGeneralAudioFile file(mp3);
  ASSERT_NE(file.MP3File(), nullptr);
  const TMP3File& reader = *file.MP3File();
  EXPECT_EQ(file.LastError(), FileErr_None);
  EXPECT_EQ(reader.ID3v2Tag().Version().Major, 4);
  EXPECT_EQ(file.Title(), u"Grüße ☃");
  EXPECT_EQ(file.Artist(), u"Künstler");
  EXPECT_EQ(file.Album(), u"Ålbum");
  EXPECT_EQ(file.Year(), u"2011") << "version 2.4 keeps the year in TDRC";
  EXPECT_EQ(file.Track(), u"5/9");
  EXPECT_EQ(file.Genre(), u"Trip-Hop");
  EXPECT_EQ(reader.ID3v2Tag().GetUserText(u"MOOD"), u"calm");
  EXPECT_EQ(reader.ID3v2Tag().GetExtendedComment("eng", u"note"), u"Ein Kommentar");
  EXPECT_EQ(reader.Comment(), u"Leer");
  EXPECT_FALSE(reader.ID3v1Tag().Exists());

  EXPECT_TRUE(file.Valid());
  EXPECT_TRUE(reader.MpegInfo().Vbr()) << "lame writes a Xing header for VBR";
  EXPECT_EQ(file.Channels(), 1);
  EXPECT_EQ(file.Samplerate(), 44100);
  EXPECT_EQ(file.Duration(), 3);
  // 3 s at 1152 samples per frame is 115 frames, plus lame's padding.
  EXPECT_GE(reader.MpegInfo().Frames(), 115);
  EXPECT_LE(reader.MpegInfo().Frames(), 120);
  EXPECT_GT(file.Bitrate(), 32000);
  EXPECT_LT(file.Bitrate(), 320000);
}

TEST_F(Mp3RealFiles, MutagenV23WritesUtf16) {
  if (!HaveProgram("lame") || !HaveMutagen()) GTEST_SKIP() << "lame or mid3v2 (python3-mutagen) is not installed";
  const std::string mp3 = fDir.file("v23.mp3");
  ASSERT_TRUE(Shell("lame --quiet -b 160 '" + fWav + "' '" + mp3 + "'"));
  // mutagen saving version 2.3 writes text outside Latin-1 as UTF-16.
  ASSERT_TRUE(
      Shell("/usr/bin/python3 -c \"import sys; from mutagen.id3 import ID3, TIT2, TPE1, TYER, TCON; "
            "t = ID3(); t.add(TIT2(encoding=3, text='Снег ☃')); t.add(TPE1(encoding=0, text='Ascii Artist')); "
            "t.add(TYER(encoding=0, text='1987')); t.add(TCON(encoding=0, text='(9)')); "
            "t.save(sys.argv[1], v2_version=3)\" '" +
            mp3 + "'"));

  TGeneralAudioFile file(mp3);
  const TMP3File& reader = *file.MP3File();
  EXPECT_EQ(file.LastError(), FileErr_None);
  EXPECT_EQ(reader.ID3v2Tag().Version().Major, 3);
  EXPECT_EQ(file.Title(), u"Снег ☃");
  EXPECT_EQ(file.Artist(), u"Ascii Artist");
  EXPECT_EQ(file.Year(), u"1987");
  EXPECT_EQ(file.Genre(), u"Metal");
  EXPECT_EQ(file.Bitrate(), 160000);
  const int title = IndexOfFrame(reader.ID3v2Tag().Frames(), "TIT2");
  ASSERT_GE(title, 0);
  EXPECT_EQ(reader.ID3v2Tag().Frames()[title]->Data()[0], '\x01') << "UTF-16 with a byte-order mark";
}

TEST_F(Mp3RealFiles, FfmpegLayerIITaggedById3v2) {
  if (!HaveProgram("id3v2")) GTEST_SKIP() << "id3v2 is not installed";
  const std::string mp2 = fDir.file("layer2.mp2");
  ASSERT_TRUE(Shell("ffmpeg -v error -y -i '" + fWav + "' -c:a mp2 -b:a 192k '" + mp2 + "'"));
  ASSERT_TRUE(Shell("id3v2 -2 -t 'Zwei Ebenen' -a 'Encoder' '" + mp2 + "'"));

  TGeneralAudioFile file(mp2);
  ASSERT_NE(file.MP3File(), nullptr) << "\".mp2\" files go to the MP3 reader";
  EXPECT_EQ(file.LastError(), FileErr_None);
  EXPECT_FALSE(file.MP3File()->ID3v1Tag().Exists());
  EXPECT_EQ(file.Title(), u"Zwei Ebenen");
  EXPECT_EQ(file.Artist(), u"Encoder");
  EXPECT_EQ(file.MP3File()->MpegInfo().Layer(), 2);
  EXPECT_EQ(file.Bitrate(), 192000);
  EXPECT_EQ(file.Samplerate(), 44100);
  EXPECT_EQ(file.Channels(), 2);
  EXPECT_EQ(file.Duration(), 3);
}

TEST_F(Mp3RealFiles, FfmpegMpeg2WithItsOwnTag) {
  if (!Shell("ffmpeg -v error -hide_banner -encoders | grep -q libmp3lame")) GTEST_SKIP() << "no libmp3lame in ffmpeg";
  const std::string mp3 = fDir.file("mpeg2.mp3");
  ASSERT_TRUE(Shell("ffmpeg -v error -y -i '" + fWav +
                    "' -c:a libmp3lame -b:a 64k -ar 22050 -ac 1 "
                    "-metadata title='Halbe Rate – ½' -metadata album='Zweite' -metadata genre='Ambient' '" +
                    mp3 + "'"));
  TGeneralAudioFile file(mp3);
  EXPECT_EQ(file.LastError(), FileErr_None);
  EXPECT_EQ(file.MP3File()->ID3v2Tag().Version().Major, 4) << "ffmpeg writes ID3v2.4 by default";
  EXPECT_EQ(file.Title(), u"Halbe Rate – ½");
  EXPECT_EQ(file.Album(), u"Zweite");
  EXPECT_EQ(file.Genre(), u"Ambient");
  EXPECT_EQ(file.MP3File()->MpegInfo().Version(), 2);
  EXPECT_EQ(file.Samplerate(), 22050);
  EXPECT_EQ(file.Channels(), 1);
  EXPECT_EQ(file.Bitrate(), 64000);
  EXPECT_EQ(file.Duration(), 3);
}

}  // namespace
