#include <gtest/gtest.h>

#include "AudioFiles.h"
#include "TestSupport.h"

using testsupport::TempDir;

TEST(Facade, ExtensionRule) {
  EXPECT_EQ(AudioFileExtension("SONG.MP3"), ".mp3");
  EXPECT_EQ(AudioFileExtension("dir/song.Mp3"), ".mp3");
  EXPECT_EQ(AudioFileExtension("song"), "");
  EXPECT_EQ(AudioFileExtension("some.dir/song"), "");
  EXPECT_EQ(AudioFileExtension("some.dir\\song"), "");
  EXPECT_EQ(AudioFileExtension("c.x:song"), "");
  EXPECT_EQ(AudioFileExtension("a.tar.GZ"), ".gz");
  EXPECT_EQ(AudioFileExtension("song."), ".");
}

TEST(Facade, UnknownExtensionHasNoReader) {
  TempDir dir;
  for (const std::string name : {"song.mp4", "song", "some.dir/song"}) {
    const std::string path = dir.write(name, "whatever");
    TGeneralAudioFile f(path);
    EXPECT_EQ(f.FileType(), at_Invalid) << name;
    EXPECT_EQ(f.FileTypeName(), u"Invalid Audiofile");
    EXPECT_EQ(f.LastError(), FileErr_NotSupportedFileType);
    EXPECT_EQ(f.Title(), u"");
    EXPECT_EQ(f.Bitrate(), 0);
    EXPECT_FALSE(f.Valid());
    EXPECT_EQ(f.BaseAudioFile(), nullptr);
    EXPECT_EQ(f.Filename(), path);
  }
}

TEST(Facade, TypeNames) {
  EXPECT_STREQ(AudioFileTypeName(at_TrueAudio), "at_TrueAudio");
  EXPECT_EQ(FileTypeNameOf(at_Flac), u"Free Lossless Audio Codec");
  EXPECT_EQ(FileTypeNameOf(at_Wav), u"RIFF WAVE");
  EXPECT_STREQ(AudioErrorName(FileErr_NotSupportedFileType), "FileErr_NotSupportedFileType");
  EXPECT_STREQ(AudioErrorName(Mp3ERR_Cache), "Mp3ERR_Cache");
  EXPECT_EQ(static_cast<int>(FileErr_NotSupportedFileType), 32);
  EXPECT_EQ(static_cast<int>(ApeErr_InvalidApeFile), 27);
}
