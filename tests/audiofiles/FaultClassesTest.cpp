// The classes of fault that damaged and hostile files bring, per reader:
// where each is proven, and the cases not proven elsewhere.
//
// kCovered names, for every class and the readers it concerns, the test
// that feeds that fault to that reader and states the outcome; the first
// test below checks that each named test exists, so the list cannot point
// at nothing. The table after it holds the cases that no other test has.
// The last test cuts a real file of every format at every byte of its
// header. Everything runs under AddressSanitizer in CI, so a reader that
// allocated what a size field promises, or read outside its buffers,
// fails there.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "ApeBuilders.h"
#include "ApeStreamBuilders.h"
#include "AudioFiles.h"
#include "FlacFiles.h"
#include "Id3v2Builders.h"
#include "MonkeyFiles.h"
#include "Mp3Builders.h"
#include "Mp3Files.h"
#include "MusePackFiles.h"
#include "OggVorbisFiles.h"
#include "OptimFrogFiles.h"
#include "ReadBytes.h"
#include "RiffAsfBuilders.h"
#include "TestSupport.h"
#include "TrueAudioFiles.h"
#include "WavFiles.h"
#include "WavPackFiles.h"
#include "WmaFiles.h"

using namespace std::string_literals;
using testsupport::Bytes;
using testsupport::TempDir;

namespace {

struct Covered {
  const char* fault;
  const char* reader;
  const char* test;  // Suite.Name
};

const Covered kCovered[] = {
    // A size field that promises far more than the file holds: nothing is
    // allocated or read beyond the file.
    {"size promising gigabytes", "ID3v2 tag and frames", "Id3v2Tag.TruncatedFramesAndBodies"},
    {"size promising gigabytes", "ID3v2 tag in an MP3 file", "Mp3File.TagClaimingMoreThanTheFile"},
    {"size promising gigabytes", "APE item value (2^31 - 1)", "ApeTagItem.ValueSizeMustFitTheStream"},
    {"size promising gigabytes", "APE tag size", "ApeTag.BrokenTagsLeaveNoItems"},
    {"size promising gigabytes", "Vorbis comment vendor and comment lengths",
     "VorbisComments.LengthsReachingPastTheBlockReadOnFromTheStream"},
    {"size promising gigabytes", "FLAC picture MIME and description lengths", "FlacFile.PictureEdgeCases"},
    {"size promising gigabytes", "FLAC picture data", "FlacFile.FailureTable"},
    {"size promising gigabytes", "FLAC block body", "FlacFile.FileEndingInsideTheMetadata"},
    {"size promising gigabytes", "WMA text lengths", "WmaFile.FailuresLeaveResetState"},
    {"size promising gigabytes", "WAV data chunk (2^32 - 1)", "WavFile.DurationFromDataSize"},
    {"size promising gigabytes", "Musepack SV8 numbers",
     "MusePackFile.SV8NumbersRunningOffTheHeaderFallBackToByteZero"},
    // A count with no data behind it: the walk ends at the data's end.
    {"count without data", "Vorbis comment count (2^31 - 1)",
     "VorbisComments.LengthsReachingPastTheBlockReadOnFromTheStream"},
    {"count without data", "Vorbis comments, 65536 empty ones", "VorbisComments.ManyEmptyCommentsAreBounded"},
    {"count without data", "APE item count", "ApeTag.BrokenTagsLeaveNoItems"},
    {"count without data", "WMA object count (2^31 - 1)", "WmaFile.ObjectWalkEnds"},
    {"count without data", "WMA object count in a cut header", "WmaFile.AHeaderCutByTheEndOfTheFileFailsTheRead"},
    // Odd-length UTF-16 text: the half code unit is dropped.
    {"odd-length UTF-16", "ID3v2 text frame", "Id3v2FrameText.ByteOrderMarkQuirk"},
    {"odd-length UTF-16", "WMA texts", "WmaFile.LongTextsAreCutAndSkippedByLength"},
    // A zero sample rate or channel count: no division by zero, values 0.
    {"zero rate or channels", "Ogg Vorbis identification", "OggVorbisFile.FailureTable"},
    {"zero rate or channels", "FLAC STREAMINFO", "FlacFile.FailureTable"},
    {"zero rate or channels", "WAV byte rate", "WavFile.FormatFieldArithmetic"},
    {"zero rate or channels", "Monkey's Audio", "MonkeyFile.FailuresLeaveItInvalid"},
    {"zero rate or channels", "WavPack", "WavPackFile.BlockFileEdgeValues"},
    {"zero rate or channels", "Musepack", "MusePackFile.UnrecognisedAndShortStreams"},
    {"zero rate or channels", "OptimFROG", "OptimFrogFile.OutOfRangeFieldsAreNotValid"},
    {"zero rate or channels", "True Audio", "TrueAudioFile.IdentifierAloneMakesItValid"},
    // A box or block of size 0 (or one pointing back) that would be read
    // again and again: the walk ends.
    {"size-0 box or block", "WMA object", "WmaFile.ObjectWalkEnds"},
    {"size-0 box or block", "FLAC empty blocks without a last one", "FlacFile.EndlessBlockChainsAreBounded"},
    {"size-0 box or block", "WAV chunks of size -8 and pointing back", "WavFile.NegativeChunkSizesEndTheSearch"},
    {"size-0 box or block", "WavPack RIFF data chunk", "WavPackFile.OlderFilesStopEarly"},
    {"size-0 box or block", "ID3v2 padding", "Id3v2Tag.FramesAndPadding"},
    // A tag that claims to start before the file.
    {"tag before the file", "APE tag", "ApeTag.BrokenTagsLeaveNoItems"},
    {"tag before the file", "ID3v1 in a file under 128 bytes", "Id3v1.ShortStreamIsAReadError"},
    // Sizes and counts of 4 GiB or more in 64-bit fields.
    {"4 GiB+ in 64 bits", "Ogg granule position", "OggVorbisFile.LargeGranulePositions"},
    {"4 GiB+ in 64 bits", "OptimFROG sample count", "OptimFrogFile.MonoAndHighLength"},
    {"4 GiB+ in 64 bits", "FLAC 36-bit sample count", "FlacFile.DurationRoundingAndSampleCount"},
    {"4 GiB+ in 64 bits", "64-bit stream reads", "Streams.TypedReadsByteOrder"},
    // A header cut by the end of the file, in every format (and the sweep
    // at the end of this file, byte by byte).
    {"truncated header", "MPEG frames", "MpegInfo.ShortStreamHasNoFrame"},
    {"truncated header", "ID3v2", "Id3v2Tag.HeaderResults"},
    {"truncated header", "ID3v1", "Id3v1.ShortStreamIsAReadError"},
    {"truncated header", "APE tag", "ApeTag.FooterOnlyAndMissingHeader"},
    {"truncated header", "Monkey's Audio", "MonkeyFile.FailuresLeaveItInvalid"},
    {"truncated header", "WavPack", "WavPackFile.BlockFileEdgeValues"},
    {"truncated header", "Musepack", "MusePackFile.UnrecognisedAndShortStreams"},
    {"truncated header", "OptimFROG", "OptimFrogFile.StreamEndingInsideTheHeaderIsRejected"},
    {"truncated header", "True Audio", "TrueAudioFile.IdentifierAloneMakesItValid"},
    {"truncated header", "Ogg Vorbis", "OggVorbisFile.FailureTable"},
    {"truncated header", "FLAC", "FlacFile.FileEndingInsideTheMetadata"},
    {"truncated header", "WMA", "WmaFile.AHeaderCutByTheEndOfTheFileFailsTheRead"},
    {"truncated header", "WAV", "WavFile.Failures"},
};

TEST(FaultClasses, EveryClassIsCoveredByATestThatExists) {
  std::set<std::string> registered;
  const ::testing::UnitTest& unit = *::testing::UnitTest::GetInstance();
  for (int i = 0; i < unit.total_test_suite_count(); ++i) {
    const ::testing::TestSuite& suite = *unit.GetTestSuite(i);
    for (int j = 0; j < suite.total_test_count(); ++j)
      registered.insert(std::string(suite.name()) + "." + suite.GetTestInfo(j)->name());
  }
  std::set<std::string> classes;
  for (const Covered& c : kCovered) {
    EXPECT_TRUE(registered.count(c.test)) << c.fault << " / " << c.reader << ": no test " << c.test;
    classes.insert(c.fault);
  }
  EXPECT_EQ(classes.size(), 8u);
}

// ---- The cases no other test has -------------------------------------------

struct Row {
  const char* fault;
  const char* what;
  std::string name;  // the file name: its extension picks the reader
  std::string bytes;
  TAudioError result;
  bool valid;
  std::function<void(const TGeneralAudioFile&)> more;  // further values, when stated
};

std::vector<Row> Rows() {
  using namespace asfbuild;
  std::vector<Row> rows;

  // WMA: an object size of 2^32 - 1 in an intact header jumps past its end,
  // which ends the walk with what was read before.
  rows.push_back({"size promising gigabytes", "WMA object of size 2^32 - 1", "a.wma",
                  File(Header({FileProperties(128000), Object(kPaddingGuid, "pp", 0xFFFFFFFFull),
                               StreamProperties(2, 44100, 16000)})),
                  FileErr_None, true, [](const TGeneralAudioFile& f) {
                    EXPECT_EQ(f.Duration(), 0) << "the file is tiny at 128 kbit/s";
                    EXPECT_EQ(f.Channels(), 0) << "the stream properties lie beyond the jump";
                  }});
  // ... and in a header that does not fit the file, the jump passes its end.
  rows.push_back(
      {"size promising gigabytes", "WMA object of size 2^32 - 1, header larger than the file", "a.wma",
       Header({FileProperties(128000), Object(kPaddingGuid, "pp", 0xFFFFFFFFull), StreamProperties(2, 44100, 16000)},
              std::nullopt, 1'000'000),
       FileErr_FileOpenR, false, nullptr});

  // WMA: an extended description count of 65535 with one descriptor behind
  // it reads on through the following object to the end of the file.
  const std::string descriptor =
      Bytes().u16le(18).utf16le(u"WM/Genre").u16le(0).u16le(0).u16le(8).utf16le(u"Jazz").str();
  rows.push_back(
      {"count without data", "WMA descriptor count 65535", "a.wma",
       File(Header({FileProperties(128000), Object(kExtendedContentGuid, Bytes().u16le(65535).raw(descriptor))})),
       FileErr_FileOpenR, false, [](const TGeneralAudioFile& f) { EXPECT_EQ(f.Genre(), u""); }});

  // Zero rates: no division, every figure 0.
  rows.push_back({"zero rate or channels", "WMA maximum bitrate, rate and channels 0", "a.wma",
                  File(Header({FileProperties(0), StreamProperties(0, 0, 0)})), FileErr_None, true,
                  [](const TGeneralAudioFile& f) {
                    EXPECT_EQ(f.Duration(), 0);
                    EXPECT_EQ(f.Bitrate(), 0);
                    EXPECT_EQ(f.Samplerate(), 0);
                    EXPECT_EQ(f.Channels(), 0);
                  }});
  rows.push_back({"zero rate or channels", "WAV with no channels, rate or byte rate", "a.wav",
                  riffbuild::Wave({riffbuild::Fmt(0, 0, 0, 0, 16), riffbuild::DataHead(1000, 1000)}), FileErr_None,
                  true, [](const TGeneralAudioFile& f) {
                    EXPECT_EQ(f.Duration(), 0);
                    EXPECT_EQ(f.Bitrate(), 0);
                    EXPECT_EQ(f.Channels(), 0);
                  }});
  rows.push_back({"zero rate or channels", "True Audio with no channels", "a.tta",
                  apestream::TtaHeader(0, 16, 44100, 441000).str() + std::string(5000, 'a'), ApeErr_NoTag, true,
                  [](const TGeneralAudioFile& f) {
                    EXPECT_EQ(f.Channels(), 0);
                    EXPECT_EQ(f.Duration(), 10);
                  }});

  // Monkey's Audio: a descriptor length near 2^32 skips past the end of
  // the file; the header read after it finds nothing.
  std::string far = apebuild::MacDescriptorStream({});
  far.replace(8, 4, Bytes().u32le(0xFFFFFFF0u).str());
  rows.push_back({"size promising gigabytes", "Monkey's Audio descriptor length 2^32 - 16", "a.ape",
                  far + std::string(2000, '\0'), ApeErr_NoTag, false, [](const TGeneralAudioFile& f) {
                    EXPECT_EQ(f.Duration(), 0);
                    EXPECT_EQ(f.Samplerate(), 0);
                  }});

  // MP3: an ID3v2.3 frame whose size says 2^31 - 1 (Mp3File.TagResultsAreMapped
  // has one 40 bytes too long): the frames before it stay, the tag's read
  // error is the result, the audio after the tag is still found.
  {
    using namespace mp3build;
    const std::string body = Id3v2Frame(3, "TIT2", "\0Song"s) + Id3v2Frame(3, "TPE1", "\0Band"s, 0, 0, 0x7FFFFFFF);
    FrameFields frame;
    rows.push_back({"size promising gigabytes", "ID3v2.3 frame of size 2^31 - 1", "a.mp3",
                    Id3v2Tag(3, body) + MpegFrames(frame, 40), MP3ERR_StreamRead, true, [](const TGeneralAudioFile& f) {
                      EXPECT_EQ(f.Title(), u"Song");
                      EXPECT_EQ(f.Artist(), u"");
                      EXPECT_GT(f.Bitrate(), 0);
                    }});
  }

  // 4 GiB+ in 64-bit WMA sizes: objects are walked by the low half of their
  // size; a header size of 2^32 + n is larger than any file here, so the
  // header is walked by its count, which it holds.
  const std::string padding = Object(kPaddingGuid, "pp", (1ull << 32) + 26);
  rows.push_back({"4 GiB+ in 64 bits", "WMA object size 2^32 + its true size", "a.wma",
                  File(Header({FileProperties(8000), padding, StreamProperties(2, 44100, 16000)})), FileErr_None, true,
                  [](const TGeneralAudioFile& f) { EXPECT_EQ(f.Channels(), 2); }});
  const std::string header = Header({FileProperties(8000), StreamProperties(1, 22050, 8000)});
  rows.push_back({"4 GiB+ in 64 bits", "WMA header size 2^32 + its true size", "a.wma",
                  File(Header({FileProperties(8000), StreamProperties(1, 22050, 8000)}, std::nullopt,
                              (1ull << 32) + header.size())),
                  FileErr_None, true, [](const TGeneralAudioFile& f) {
                    EXPECT_EQ(f.Channels(), 1);
                    EXPECT_EQ(f.Samplerate(), 22050);
                  }});
  return rows;
}

TEST(FaultClasses, CasesNotProvenElsewhere) {
  TempDir dir;
  for (const Row& row : Rows()) {
    SCOPED_TRACE(std::string(row.fault) + ": " + row.what);
    const TGeneralAudioFile f(dir.write(row.name, row.bytes));
    EXPECT_EQ(f.LastError(), row.result) << "got " << AudioErrorName(f.LastError());
    EXPECT_EQ(f.Valid(), row.valid);
    EXPECT_EQ(f.FileSize(), static_cast<int64_t>(row.bytes.size()));
    if (row.more) row.more(f);
  }
}

// ---- Every format cut at every byte of its header ----------------------------

std::unique_ptr<TBaseAudioFile> NewReader(TAudioFileType type) {
  switch (type) {
    case at_Mp3: return std::make_unique<TMP3File>();
    case at_Ogg: return std::make_unique<TOggVorbisFile>();
    case at_Flac: return std::make_unique<TFlacFile>();
    case at_Monkey: return std::make_unique<TMonkeyFile>();
    case at_WavPack: return std::make_unique<TWavPackFile>();
    case at_MusePack: return std::make_unique<TMusePackFile>();
    case at_OptimFrog: return std::make_unique<TOptimFrogFile>();
    case at_TrueAudio: return std::make_unique<TTrueAudioFile>();
    case at_Wma: return std::make_unique<TWMAfile>();
    case at_Wav: return std::make_unique<Twavfile>();
    case at_Invalid: break;
  }
  return nullptr;
}

// Every value of the base interface, in one comparable text.
std::u16string Summary(const TBaseAudioFile& r) {
  std::u16string numbers;
  for (int64_t v : {r.FileSize(), int64_t{r.Duration()}, int64_t{r.Bitrate()}, int64_t{r.Samplerate()},
                    int64_t{r.Channels()}, int64_t{r.Valid()}})
    for (char c : std::to_string(v) + ' ') numbers += char16_t(c);
  return numbers + r.Title() + u'|' + r.Artist() + u'|' + r.Album() + u'|' + r.Year() + u'|' + r.Track() + u'|' +
         r.Genre();
}

// A short file of each format from its real encoder (OptimFROG, which has
// none here, from the builder), cut at every length up to the first 160
// bytes and then every 23rd up to 2 KiB: every read returns (no exception
// leaves it), reports the cut file's size, and gives no negative figure.
// The same bytes read from memory give the same outcome and values.
TEST(FaultClasses, EveryFormatCutAtEveryByteOfItsHeader) {
  if (!testsupport::HaveProgram("ffmpeg")) GTEST_SKIP() << "ffmpeg not installed";
  TempDir dir;
  const std::string wav = dir.file("s.wav");
  ASSERT_TRUE(testsupport::EncodeTone(wav, 0.3, 44100, 2, "-metadata title=Cut"));
  std::vector<std::string> files = {wav};
  auto encode = [&](const std::string& name, const std::string& args) {
    const std::string out = dir.file(name);
    if (testsupport::Shell("ffmpeg -nostdin -loglevel error -i '" + wav + "' " + args +
                           " -metadata title=Cut -metadata artist=Someone '" + out + "'"))
      files.push_back(out);
  };
  encode("s.mp3", "-c:a libmp3lame");
  encode("s.ogg", "-c:a libvorbis");
  encode("s.flac", "-c:a flac");
  encode("s.wma", "-c:a wmav2");
  encode("s.wv", "-c:a wavpack");
  encode("s.tta", "-c:a tta");
  if (testsupport::HaveProgram("mpcenc") &&
      testsupport::Shell("mpcenc --silent '" + wav + "' '" + dir.file("s.mpc") + "' 2>/dev/null"))
    files.push_back(dir.file("s.mpc"));
  if (testsupport::HaveProgram("jmac") &&
      testsupport::Shell("jmac c2 '" + wav + "' '" + dir.file("s.ape") + "' >/dev/null 2>&1"))
    files.push_back(dir.file("s.ape"));
  files.push_back(dir.write("s.ofr", apestream::OfrHeader().str() + std::string(3000, 'o')));
  EXPECT_GE(files.size(), 10u);

  for (const std::string& path : files) {
    const std::string bytes = testsupport::ReadWholeFile(path);
    const std::string name = "cut" + path.substr(path.rfind('.'));
    SCOPED_TRACE(name);
    for (size_t cut = 0; cut < std::min<size_t>(bytes.size(), 2048); cut += cut < 160 ? 1 : 23) {
      // A new file each time: one truncated and rewritten in place is
      // flushed to the disk when it closes, which made this test slow.
      std::filesystem::remove(dir.file(name));
      const std::string cutPath = dir.write(name, bytes.substr(0, cut));
      const TGeneralAudioFile f(cutPath);
      EXPECT_EQ(f.FileSize(), static_cast<int64_t>(cut)) << cut;
      EXPECT_GE(f.Duration(), 0) << cut;
      EXPECT_GE(f.Bitrate(), 0) << cut;
      EXPECT_GE(f.Samplerate(), 0) << cut;
      EXPECT_GE(f.Channels(), 0) << cut;
      const std::unique_ptr<TBaseAudioFile> fromMemory = NewReader(f.FileType());
      ASSERT_TRUE(fromMemory && f.BaseAudioFile());
      EXPECT_EQ(testsupport::ReadFromBytes(*fromMemory, bytes.substr(0, cut)), f.LastError()) << cut;
      EXPECT_EQ(Summary(*fromMemory), Summary(*f.BaseAudioFile())) << cut;
      if (::testing::Test::HasFailure()) return;
    }
  }
}

}  // namespace
