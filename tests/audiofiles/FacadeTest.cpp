// The facade over every reader, one table row per format: which extensions
// pick the reader, what the typed accessors hand out, that no reader writes,
// and that a reader used again keeps nothing of the last file.
#include <gtest/gtest.h>

#include <functional>

#include "ApeBuilders.h"
#include "ApeStreamBuilders.h"
#include "AudioFiles.h"
#include "FlacFiles.h"
#include "Id3v2Builders.h"
#include "MonkeyFiles.h"
#include "Mp3Builders.h"
#include "Mp3Files.h"
#include "MusePackFiles.h"
#include "OggFlacBuilders.h"
#include "OggVorbisFiles.h"
#include "OptimFrogFiles.h"
#include "RiffAsfBuilders.h"
#include "TestSupport.h"
#include "TrueAudioFiles.h"
#include "WavFiles.h"
#include "WavPackFiles.h"
#include "WmaFiles.h"

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

namespace {

// A small valid file of each format and what reading it gives.
struct Row {
  TAudioFileType type;
  std::u16string typeName;
  std::vector<std::string> names;  // every extension, in mixed case
  std::string bytes;
  uintmax_t size;  // the file is grown to it with a hole of zeros
  TAudioError result;
  std::u16string title;
  int32_t duration, bitrate, samplerate, channels;
  TAudioError write, remove;                                     // what UpdateFile and RemoveFromFile answer
  bool settersKept;                                              // the setters change the values in memory
  std::function<void(const TGeneralAudioFile&)> more = nullptr;  // the format's own values
};

std::string ApeTagged(const std::string& stream, size_t size) {
  std::string bytes = stream;
  bytes.resize(size, '\x33');
  return bytes + apebuild::ApeTag({apebuild::ApeItem("Title", "Ape"), apebuild::ApeItem("Genre", "Jazz")});
}

std::string Wma() {
  using namespace asfbuild;
  return File(Header(
      {FileProperties(128000), StreamProperties(2, 44100, 16000),
       ContentDescription(TextZ(u"Title"), TextZ(u"Artist"), TextZ(u""), TextZ(u"A comment"), TextZ(u"")),
       ExtendedContentDescription({StringDescriptor(u"WM/Genre", u"Jazz"), DwordDescriptor(u"WM/TrackNumber", 7)})}));
}

const std::vector<Row>& Rows() {
  using namespace apestream;
  static const std::vector<Row> rows = {
      {at_Mp3,
       u"MPEG Audio",
       {"a.mp3", "b.MP2", "c.mp1"},
       mp3build::SimpleId3v2Tag(3, "Song", "Band") + mp3build::MpegFrames(mp3build::FrameFields(), 400),
       0,
       FileErr_None,
       u"Song",
       10,
       128000,
       44100,
       2,
       FileErr_FileOpenRW,
       FileErr_FileOpenRW,
       true},
      {at_Ogg,
       u"Ogg/Vorbis",
       {"a.ogg", "B.OGA"},
       oggflac::OggVorbisFile(),
       0,
       FileErr_None,
       u"Song",
       10,
       3686,
       44100,
       2,
       FileErr_FileOpenRW,
       OVErr_RemovingNotSupported,
       true,
       [](const TGeneralAudioFile& f) { EXPECT_EQ(f.OggFile()->Samples(), 441000); }},
      {at_Flac,
       u"Free Lossless Audio Codec",
       {"a.flac", "b.FLA"},
       oggflac::FlacFile({oggflac::Comments({"TITLE=x"}, true)}),
       0,
       FileErr_None,
       u"x",
       10,
       800,
       44100,
       2,
       FileErr_FileOpenRW,
       FlacErr_RemovingNotSupported,
       true},
      {at_Monkey,
       u"Monkey's Audio",
       {"a.ape", "b.MAC"},
       ApeTagged(apebuild::MacDescriptorStream({}), 100000),
       0,
       FileErr_None,
       u"Ape",
       15,
       53088,
       44100,
       2,
       FileErr_FileOpenRW,
       FileErr_FileOpenRW,
       true},
      {at_WavPack,
       u"WavPack",
       {"d.wv"},
       ApeTagged(apebuild::WvBlockHeader(441000, apebuild::WvRateIndex(10)) + "\x65\x02\x08", 60000),
       0,
       FileErr_None,
       u"Ape",
       9,
       52245,
       48000,
       2,
       FileErr_FileOpenRW,
       FileErr_FileOpenRW,
       true},
      {at_MusePack,
       u"Musepack",
       {"a.mpc", "b.MP+", "c.mpp"},
       MpcSV7Header(10000).str(),
       100000,
       ApeErr_NoTag,
       u"",
       261,
       3065,
       44100,
       2,
       FileErr_FileOpenRW,
       FileErr_FileOpenRW,
       true},
      {at_OptimFrog,
       u"OptimFROG",
       {"a.ofr", "b.OFS"},
       OfrHeader().str(),
       100000,
       ApeErr_NoTag,
       u"",
       120,
       6667,
       44100,
       2,
       FileErr_FileOpenRW,
       FileErr_FileOpenRW,
       true},
      {at_TrueAudio,
       u"The True Audio",
       {"a.TTA"},
       TtaHeader(2, 16, 44100, 4410000).str(),
       10000000,
       ApeErr_NoTag,
       u"",
       100,
       800000,
       44100,
       2,
       FileErr_FileOpenRW,
       FileErr_FileOpenRW,
       true},
      {at_Wma,
       u"Windows Media Audio",
       {"Song.WMA"},
       Wma(),
       0,
       FileErr_None,
       u"Title",
       0,
       128000,
       44100,
       2,
       WmaErr_WritingNotSupported,
       WmaErr_WritingNotSupported,
       false,
       [](const TGeneralAudioFile& f) { EXPECT_EQ(f.WmaFile()->Comment(), u"A comment"); }},
      {at_Wav,
       u"RIFF WAVE",
       {"t.wav", "Song.Wav"},
       riffbuild::Wave({riffbuild::PcmFmt(2, 44100, 16), riffbuild::DataHead(4, 4)}),
       0,
       FileErr_None,
       u"",
       0,
       1411200,
       44100,
       2,
       WavErr_WritingNotSupported,
       WavErr_WritingNotSupported,
       false},
  };
  return rows;
}

std::string Write(const TempDir& dir, const Row& row, const std::string& name) {
  return apestream::WriteExtended(dir, name, row.bytes, row.size);
}

// The typed accessor of each type, as the reader it hands out.
const TBaseAudioFile* Typed(const TGeneralAudioFile& f, TAudioFileType type) {
  switch (type) {
    case at_Mp3: return f.MP3File();
    case at_Ogg: return f.OggFile();
    case at_Flac: return f.FlacFile();
    case at_Monkey: return f.MonkeyFile();
    case at_WavPack: return f.WavPackFile();
    case at_MusePack: return f.MusePackFile();
    case at_OptimFrog: return f.OptimFrogFile();
    case at_TrueAudio: return f.TrueAudioFile();
    case at_Wma: return f.WmaFile();
    case at_Wav: return f.WavFile();
    default: return nullptr;
  }
}

bool IsApeType(TAudioFileType type) { return type >= at_Monkey && type <= at_TrueAudio; }

void ExpectValuesOf(const Row& row, const TGeneralAudioFile& f, const std::string& name) {
  EXPECT_EQ(f.FileType(), row.type) << name;
  EXPECT_EQ(f.FileTypeName(), row.typeName) << name;
  EXPECT_EQ(f.LastError(), row.result) << name;
  EXPECT_TRUE(f.Valid()) << name;
  EXPECT_EQ(f.Title(), row.title) << name;
  EXPECT_EQ(f.Duration(), row.duration) << name;
  EXPECT_EQ(f.Bitrate(), row.bitrate) << name;
  EXPECT_EQ(f.Samplerate(), row.samplerate) << name;
  EXPECT_EQ(f.Channels(), row.channels) << name;
}

}  // namespace

// Every extension picks its reader, whatever its case; exactly the typed
// accessor of that type hands it out (and BaseApeFile for the APE-tagged
// types); a missing file still gets its reader, which says so.
TEST(Facade, EveryExtensionPicksItsReader) {
  TempDir dir;
  for (const Row& row : Rows()) {
    for (const std::string& name : row.names) {
      const TGeneralAudioFile f(Write(dir, row, name));
      ExpectValuesOf(row, f, name);
      ASSERT_NE(f.BaseAudioFile(), nullptr) << name;
      for (int t = at_Mp3; t <= at_Wav; ++t) {
        const auto type = static_cast<TAudioFileType>(t);
        EXPECT_EQ(Typed(f, type), type == row.type ? f.BaseAudioFile() : nullptr) << name << " as " << t;
      }
      EXPECT_EQ(f.BaseApeFile(), IsApeType(row.type) ? f.BaseAudioFile() : nullptr) << name;
      if (row.more) row.more(f);
    }
    const TGeneralAudioFile missing(dir.file("missing" + AudioFileExtension(row.names[0])));
    EXPECT_EQ(missing.FileType(), row.type);
    EXPECT_EQ(missing.LastError(), FileErr_NoFile) << row.names[0];
    EXPECT_FALSE(missing.Valid());
    EXPECT_EQ(missing.Title(), u"") << row.names[0];
    EXPECT_EQ(missing.Track(), row.type == at_Wma || row.type == at_Mp3 ? u"0" : u"") << row.names[0];
  }
}

// No reader writes: the setters change the values in memory (or nothing),
// updating and removing the tags are refused, and the file stays as it was.
TEST(Facade, ReadersNeverWrite) {
  TempDir dir;
  for (const Row& row : Rows()) {
    const std::string path = Write(dir, row, row.names[0]);
    const std::string before = testsupport::ReadWholeFile(path);
    TGeneralAudioFile f(path);
    const std::u16string genre = f.Genre(), track = f.Track();
    f.SetTitle(u"Changed");
    f.SetGenre(u"Blues");
    f.SetTrack(u"9");
    EXPECT_EQ(f.Title(), row.settersKept ? u"Changed" : row.title) << row.names[0];
    EXPECT_EQ(f.Genre(), row.settersKept ? u"Blues" : genre) << row.names[0];
    EXPECT_EQ(f.Track(), row.settersKept ? u"9" : track) << row.names[0];
    f.SetGenre(u"");
    EXPECT_EQ(f.Genre(), row.settersKept ? u"" : genre) << row.names[0];
    EXPECT_EQ(f.UpdateFile(), row.write) << row.names[0];
    EXPECT_EQ(f.RemoveFromFile(), row.remove) << row.names[0];
    EXPECT_EQ(testsupport::ReadWholeFile(path), before) << row.names[0];
    EXPECT_EQ(TGeneralAudioFile(path).Title(), row.title) << row.names[0];
  }
}

// A reader used again forgets the last file: a missing one leaves nothing,
// and the file read once more gives its values again.
TEST(Facade, ReusedReaderKeepsNothing) {
  TempDir dir;
  for (const Row& row : Rows()) {
    const std::string path = Write(dir, row, row.names[0]);
    TGeneralAudioFile f(path);
    TBaseAudioFile& reader = *f.BaseAudioFile();
    EXPECT_EQ(reader.ReadFromFile(dir.file("gone" + AudioFileExtension(path))), FileErr_NoFile);
    EXPECT_FALSE(reader.Valid()) << row.names[0];
    EXPECT_EQ(reader.FileSize(), 0) << row.names[0];
    EXPECT_EQ(reader.Duration(), 0) << row.names[0];
    EXPECT_EQ(reader.Bitrate(), 0) << row.names[0];
    EXPECT_EQ(reader.Title(), u"") << row.names[0];
    if (row.type == at_Flac) {
      EXPECT_EQ(f.FlacFile()->FlacOffset(), 0);
    }
    EXPECT_EQ(reader.ReadFromFile(path), row.result) << row.names[0];
    EXPECT_EQ(reader.Title(), row.title) << row.names[0];
    EXPECT_EQ(reader.Duration(), row.duration) << row.names[0];
  }
}
