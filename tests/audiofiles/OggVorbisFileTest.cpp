#include <gtest/gtest.h>

#include "AudioFiles.h"
#include "OggFlacBuilders.h"
#include "OggVorbisFiles.h"
#include "ReadBytes.h"

using namespace oggflac;
using testsupport::Bytes;
using testsupport::TempDir;

namespace {

using OggRead = testsupport::BytesRead<TOggVorbisFile>;
using testsupport::ReadBytes;

// Nothing of the stream is taken over after a failed read.
void ExpectNoStreamValues(const TOggVorbisFile& f) {
  EXPECT_FALSE(f.Valid());
  EXPECT_EQ(f.Samplerate(), 0);
  EXPECT_EQ(f.Channels(), 0);
  EXPECT_EQ(f.BitRateNominal(), 0);
  EXPECT_EQ(f.Samples(), 0);
  EXPECT_EQ(f.Duration(), 0);
  EXPECT_EQ(f.Bitrate(), 0);
}

// A file of exactly `size` bytes: a valid start, then zeros, so that the
// last-page scan finds no capture pattern.
std::string PaddedWithoutLastPage(size_t size, uint8_t channels) {
  OggFileParams params;
  params.id.channels = channels;
  std::string file = OggVorbisFile(params);
  file = file.substr(0, file.find("OggS", 100));  // first two pages only
  file.resize(size, '\0');
  return file;
}

}  // namespace

TEST(OggVorbisFile, ReadsWellFormedFile) {
  OggFileParams params;
  params.comments = {"TITLE=Song",     "ARTIST=Band",   "ALBUM=Record",   "DATE=2004",   "TRACKNUMBER=3/12",
                     "GENRE=Rock",     "VERSION=live",  "PERFORMER=Perf", "COPYRIGHT=c", "LICENSE=l",
                     "ORGANIZATION=o", "DESCRIPTION=d", "LOCATION=here",  "CONTACT=me",  "ISRC=X1"};
  const std::string bytes = OggVorbisFile(params);
  OggRead r;
  ReadBytes(r, bytes);
  const TOggVorbisFile& f = r.file;
  ASSERT_EQ(r.result, FileErr_None);
  EXPECT_TRUE(f.Valid());
  EXPECT_EQ(f.FileSize(), static_cast<int64_t>(bytes.size()));
  EXPECT_EQ(f.Samplerate(), 44100);
  EXPECT_EQ(f.Channels(), 2);
  EXPECT_EQ(f.BitRateNominal(), 128);
  EXPECT_EQ(f.Samples(), 441000);
  EXPECT_EQ(f.Duration(), 10);
  EXPECT_EQ(f.Bitrate(), RoundToInt32(bytes.size() * 8 / 10.0));
  EXPECT_EQ(f.Title(), u"Song");
  EXPECT_EQ(f.Artist(), u"Band");
  EXPECT_EQ(f.Album(), u"Record");
  EXPECT_EQ(f.Year(), u"2004");
  EXPECT_EQ(f.Track(), u"3/12");
  EXPECT_EQ(f.Genre(), u"Rock");
  EXPECT_EQ(f.Version(), u"live");
  EXPECT_EQ(f.Performer(), u"Perf");
  EXPECT_EQ(f.Copyright(), u"c");
  EXPECT_EQ(f.License(), u"l");
  EXPECT_EQ(f.Organization(), u"o");
  EXPECT_EQ(f.Description(), u"d");
  EXPECT_EQ(f.Location(), u"here");
  EXPECT_EQ(f.Contact(), u"me");
  EXPECT_EQ(f.ISRC(), u"X1");
  EXPECT_EQ(f.GetPropertyByFieldname(u"genre"), u"Rock");
  EXPECT_EQ(f.GetPropertyByIndex(1), u"Band");
  std::vector<std::u16string> names;
  f.GetAllFields(names);
  ASSERT_EQ(names.size(), 15u);
  EXPECT_EQ(names[4], u"TRACKNUMBER");
  EXPECT_TRUE(f.SecondOggVorbisPage().Comments.ValidComment());
  EXPECT_EQ(f.SecondOggVorbisPage().Comments.VendorString(), "quav test");
  EXPECT_EQ(f.SecondOggVorbisPage().CommentSize(), static_cast<int32_t>(CommentPacket(params.comments).size()));
  EXPECT_TRUE(f.FirstOggVorbisPage().ValidPage());
  EXPECT_TRUE(f.SecondOggVorbisPage().ValidPage());
}

TEST(OggVorbisFile, FailureTable) {
  struct Case {
    const char* what;
    std::string bytes;
    TAudioError expected;
  };
  auto withId = [](auto change) {
    OggFileParams params;
    change(params.id);
    return OggVorbisFile(params);
  };
  const std::string good = OggVorbisFile();
  const size_t secondPage = good.find("OggS", 4);
  std::string twoSegments = OggPage({20, 10}, IdentificationPacket()) + good.substr(secondPage);
  std::string size29 = OggPage({29}, IdentificationPacket().substr(0, 29)) + good.substr(secondPage);
  std::string noSecond = good;
  noSecond[secondPage] = 'X';
  const std::string firstPage = good.substr(0, secondPage);
  const std::string packet = CommentPacket({"TITLE=x"});
  std::string wrongType = packet;
  wrongType[0] = 1;

  const std::vector<Case> cases = {
      {"shorter than 10 bytes", "OggS\0\0", FileErr_FileOpenR},
      {"empty", "", FileErr_FileOpenR},
      {"no capture pattern", "RIFF" + good.substr(4), OVErr_InvalidFirstPageHeader},
      {"first page two segments", twoSegments, OVErr_InvalidFirstPage},
      {"first packet of 29 bytes", size29, OVErr_InvalidFirstPage},
      {"packet type 3", withId([](VorbisId& v) { v.packetType = 3; }), OVErr_InvalidFirstPage},
      {"id vorbiz", withId([](VorbisId& v) { v.id = "vorbiz"; }), OVErr_InvalidFirstPage},
      {"no channels", withId([](VorbisId& v) { v.channels = 0; }), OVErr_InvalidFirstPage},
      {"rate 0", withId([](VorbisId& v) { v.sampleRate = 0; }), OVErr_InvalidFirstPage},
      {"negative rate", withId([](VorbisId& v) { v.sampleRate = 0x80000000; }), OVErr_InvalidFirstPage},
      {"stop flag 0", withId([](VorbisId& v) { v.stopFlag = 0; }), OVErr_InvalidFirstPage},
      {"first page truncated", good.substr(0, 40), OVErr_InvalidFirstPage},
      {"no second page", firstPage, OVErr_InvalidSecondPageHeader},
      {"second pattern broken", noSecond, OVErr_InvalidSecondPageHeader},
      {"comment continues", firstPage + OggPage({255, 255}, std::string(510, 'c')), OVErr_CommentTooLarge},
      {"empty segment table", firstPage + OggPage({}, "") + packet, OVErr_InvalidSecondPage},
      {"wrong comment type", firstPage + OggPage(Lacing(packet.size()), wrongType), OVErr_InvalidSecondPage},
      {"comment packet truncated", firstPage + OggPage(Lacing(packet.size()), packet.substr(0, 12)),
       OVErr_InvalidSecondPage},
  };
  for (const Case& c : cases) {
    OggRead r;
    ReadBytes(r, c.bytes);
    EXPECT_EQ(r.result, c.expected) << c.what << ": got " << AudioErrorName(r.result);
    ExpectNoStreamValues(r.file);
    EXPECT_EQ(r.file.FileSize(), static_cast<int64_t>(c.bytes.size())) << c.what;
    EXPECT_EQ(r.file.Title(), u"") << c.what;
  }

  OggRead missing;
  TempDir dir;
  EXPECT_EQ(missing.file.ReadFromFile(dir.file("none.ogg")), FileErr_NoFile);
  ExpectNoStreamValues(missing.file);
}

TEST(OggVorbisFile, FramingByteFailureKeepsComments) {
  const std::string good = OggVorbisFile();
  const std::string firstPage = good.substr(0, good.find("OggS", 4));
  const std::string packet = CommentPacket({"TITLE=kept", "DATE=1999"}, "v", 0);
  OggRead r;
  ReadBytes(r, firstPage + OggPage(Lacing(packet.size()), packet));
  EXPECT_EQ(r.result, OVErr_InvalidSecondPage);
  ExpectNoStreamValues(r.file);
  EXPECT_EQ(r.file.Title(), u"kept");
  EXPECT_EQ(r.file.Year(), u"1999");
  EXPECT_FALSE(r.file.SecondOggVorbisPage().Comments.ValidComment());
}

TEST(OggVorbisFile, StopFlagAnyNonZeroPasses) {
  OggFileParams params;
  params.id.stopFlag = 2;
  OggRead r;
  ReadBytes(r, OggVorbisFile(params));
  EXPECT_EQ(r.result, FileErr_None);
  EXPECT_TRUE(r.file.Valid());
}

TEST(OggVorbisFile, CommentPacketAcrossLacingValues) {
  // A comment packet of more than 255 bytes (several lacing values) and one
  // of exactly 510 bytes (ended by a 0 lacing value) both stay on the page.
  for (size_t target : {700u, 510u}) {
    OggFileParams params;
    const size_t base = CommentPacket({"TITLE=Song", "COMMENT="}).size();
    params.comments = {"TITLE=Song", "COMMENT=" + std::string(target - base, 'x')};
    ASSERT_EQ(CommentPacket(params.comments).size(), target);
    OggRead r;
    ReadBytes(r, OggVorbisFile(params));
    EXPECT_EQ(r.result, FileErr_None) << target;
    EXPECT_EQ(r.file.SecondOggVorbisPage().CommentSize(), static_cast<int32_t>(target));
    EXPECT_EQ(r.file.Title(), u"Song");
    EXPECT_EQ(r.file.GetPropertyByFieldname(u"comment").size(), target - base);
  }
}

TEST(OggVorbisFile, CommentPacketLongerThanItsLacingSays) {
  // The lacing values give the comment packet 4 bytes less than it holds
  // (the setup packet 4 more, so the page stays whole): the comments and
  // the framing byte are read from the file all the same.
  OggFileParams params;
  const std::string comment = CommentPacket(params.comments);
  const std::string setup = Bytes().u8(5).raw("vorbis").fill(40, 0x11);
  const std::string good = OggVorbisFile(params);
  const size_t second = good.find("OggS", 4);
  const size_t third = good.find("OggS", second + 4);
  std::string file = good.substr(0, second);
  file += OggPage(Concat(Lacing(comment.size() - 4), Lacing(setup.size() + 4)), comment + setup, 0, 1);
  file += good.substr(third);
  ASSERT_EQ(file.size(), good.size());
  OggRead r;
  ReadBytes(r, file);
  EXPECT_EQ(r.result, FileErr_None);
  EXPECT_TRUE(r.file.Valid());
  EXPECT_EQ(r.file.SecondOggVorbisPage().CommentSize(), static_cast<int32_t>(comment.size() - 4));
  EXPECT_EQ(r.file.Samplerate(), 44100);
  EXPECT_EQ(r.file.Channels(), 2);
  EXPECT_EQ(r.file.BitRateNominal(), 128);
  EXPECT_EQ(r.file.Samples(), 441000);
  EXPECT_EQ(r.file.Duration(), 10);
  std::vector<std::u16string> names;
  r.file.GetAllFields(names);
  EXPECT_EQ(names.size(), params.comments.size());
  EXPECT_EQ(r.file.Title(), u"Song");
  EXPECT_EQ(r.file.Genre(), u"Rock") << "the last comment, wholly beyond the lacing's end";

  // A real encoder's file damaged the same way.
  if (!testsupport::HaveProgram("oggenc") || !testsupport::HaveProgram("ffmpeg"))
    GTEST_SKIP() << "oggenc or ffmpeg not installed";
  TempDir dir;
  const std::string wav = dir.file("s.wav");
  ASSERT_TRUE(testsupport::EncodeTone(wav, 1, 44100, 2));
  const std::string ogg = dir.file("s.ogg");
  ASSERT_TRUE(testsupport::Shell("oggenc -Q -t Title -a Artist -G Genre -o '" + ogg + "' '" + wav + "'"));
  std::string bytes = testsupport::ReadWholeFile(ogg);
  const size_t page = bytes.find("OggS", 4);
  ASSERT_NE(page, std::string::npos);
  auto& lacing = reinterpret_cast<unsigned char&>(bytes[page + 27]);
  ASSERT_GT(lacing, 4);
  ASSERT_LT(lacing, 255) << "the encoder's comment packet fits one lacing value";
  lacing = static_cast<unsigned char>(lacing - 4);
  testsupport::WriteWholeFile(ogg, bytes);
  TGeneralAudioFile f(ogg);
  EXPECT_EQ(f.LastError(), FileErr_None);
  EXPECT_TRUE(f.Valid());
  EXPECT_EQ(f.Samplerate(), 44100);
  EXPECT_EQ(f.Duration(), 1);
  EXPECT_EQ(f.Title(), u"Title");
  EXPECT_EQ(f.Artist(), u"Artist");
  EXPECT_EQ(f.Genre(), u"Genre");
}

TEST(OggVorbisFile, CommentPacketSpillingOntoNextPageIsRefused) {
  // 255 lacing values of 255: the packet continues on the third page.
  const std::string packet = CommentPacket({"TITLE=Song", "COVER=" + std::string(70000, 'p')});
  const std::string good = OggVorbisFile();
  std::string file = good.substr(0, good.find("OggS", 4));
  file += OggPage(std::vector<uint8_t>(255, 255), packet.substr(0, 255 * 255), 0, 1);
  file += OggPage(Lacing(packet.size() - 255 * 255), packet.substr(255 * 255), 0, 2, 1);
  OggRead r;
  ReadBytes(r, file);
  EXPECT_EQ(r.result, OVErr_CommentTooLarge);
  ExpectNoStreamValues(r.file);
  EXPECT_EQ(r.file.Title(), u"");
}

TEST(OggVorbisFile, NominalBitrateFallback) {
  // 1,000,000 bytes, no capture pattern near the end, 128 kbit/s nominal:
  // 1e6 / 128 / 2 / 125 * 2 = 62.5 s, rounded to 62 (halves to even).
  OggRead stereo;
  ReadBytes(stereo, PaddedWithoutLastPage(1000000, 2));
  ASSERT_EQ(stereo.result, FileErr_None);
  EXPECT_EQ(stereo.file.Samples(), 0);
  EXPECT_EQ(stereo.file.BitRateNominal(), 128);
  EXPECT_EQ(stereo.file.Duration(), 62);
  EXPECT_EQ(stereo.file.Bitrate(), 129032);

  OggRead mono;
  ReadBytes(mono, PaddedWithoutLastPage(1000000, 1));
  EXPECT_EQ(mono.file.Duration(), 125);
  EXPECT_EQ(mono.file.Bitrate(), 64000);

  // No duration at all: the bitrate is the nominal one.
  OggFileParams params;
  params.id.nominal = 96999;
  std::string small = OggVorbisFile(params);
  small = small.substr(0, small.find("OggS", 100));
  OggRead tiny;
  ReadBytes(tiny, small);
  EXPECT_EQ(tiny.file.BitRateNominal(), 96);
  EXPECT_EQ(tiny.file.Duration(), 0) << "size / 96 / 2 / 125 * 2 is below one half";
  EXPECT_EQ(tiny.file.Bitrate(), 96000);
}

TEST(OggVorbisFile, LastPageScanWindow) {
  // The granule is taken from the nearest "OggS" at FileSize - 16 or
  // before, back to FileSize - 11766.
  const std::string start = PaddedWithoutLastPage(2000, 2);
  auto fileWithPatternAt = [&](size_t size, std::vector<std::pair<size_t, uint32_t>> marks) {
    std::string file = start;
    file.resize(size, '\0');
    for (auto [distance, granule] : marks) {
      const std::string header = Bytes().raw("OggS").u8(0).u8(4).u64le(granule);
      file.replace(size - distance, std::min(header.size(), distance), header.substr(0, distance));
    }
    return file;
  };
  struct Case {
    size_t size;
    std::vector<std::pair<size_t, uint32_t>> marks;  // distance from the end, granule
    int32_t samples;
  };
  const std::vector<Case> cases = {
      {50000, {{16, 44100}}, 44100},
      {50000, {{15, 44100}}, 0},
      {50000, {{11766, 88200}}, 88200},
      {50000, {{11767, 88200}}, 0},
      {50000, {{5000, 88200}, {300, 132300}}, 132300},
      {50000, {{252, 132300}, {251, 88200}}, 88200},
      {12000, {{11766, 88200}}, 88200},
  };
  for (const Case& c : cases) {
    OggRead r;
    ReadBytes(r, fileWithPatternAt(c.size, c.marks));
    EXPECT_EQ(r.result, FileErr_None);
    EXPECT_EQ(r.file.Samples(), c.samples) << "first mark at -" << c.marks[0].first;
  }

  // A small file: the scan reaches the first page, whose granule is 0.
  OggRead small;
  ReadBytes(small, start.substr(0, 300));
  EXPECT_EQ(small.file.Samples(), 0);
}

TEST(OggVorbisFile, LargeGranulePositions) {
  // All 64 bits count: streams longer than 2^31 samples (13.5 hours at
  // 44.1 kHz) keep their length; -1 (no packet ends on the page) and other
  // negative positions are unknown, and the nominal formula answers.
  struct Case {
    int64_t granule, samples;
    int32_t duration;
  };
  for (const Case& c : {Case{0x80000000, 0x80000000, 48696}, Case{(int64_t(1) << 32) + 88200, 4295055496, 97394},
                        Case{-1, 0, 0}, Case{INT64_MIN, 0, 0}}) {
    OggFileParams params;
    params.lastGranule = c.granule;
    OggRead r;
    ReadBytes(r, OggVorbisFile(params));
    EXPECT_EQ(r.file.Samples(), c.samples) << c.granule;
    EXPECT_EQ(r.file.Duration(), c.duration) << c.granule;
    EXPECT_GE(r.file.Bitrate(), 0) << c.granule;
  }

  OggFileParams params;

  params.lastGranule = 66150;  // 1.5 s rounds to 2, 2.5 s to 2
  OggRead half;
  ReadBytes(half, OggVorbisFile(params));
  EXPECT_EQ(half.file.Duration(), 2);
  params.lastGranule = 110250;
  ReadBytes(half, OggVorbisFile(params));
  EXPECT_EQ(half.file.Duration(), 2);
}

TEST(OggVorbisFile, LeadingId3v2Tag) {
  const std::string bytes = Id3v2Tag(1000) + OggVorbisFile();
  OggRead r;
  ReadBytes(r, bytes);
  ASSERT_EQ(r.result, FileErr_None);
  EXPECT_EQ(r.file.FileSize(), static_cast<int64_t>(bytes.size()));
  EXPECT_EQ(r.file.Bitrate(), RoundToInt32(bytes.size() * 8 / 10.0)) << "the tag counts";
  EXPECT_EQ(r.file.Title(), u"Song");
  EXPECT_EQ(r.file.FirstOggVorbisPage().PositionInStream(), 1010);

  OggRead footer;
  ReadBytes(footer, Id3v2Tag(500, 4, true) + OggVorbisFile());
  EXPECT_EQ(footer.result, FileErr_None);
  EXPECT_EQ(footer.file.FirstOggVorbisPage().PositionInStream(), 520);
}

TEST(OggVorbisFile, ReuseClearsEarlierValues) {
  OggRead r;
  ReadBytes(r, OggVorbisFile());
  ASSERT_TRUE(r.file.Valid());
  ReadBytes(r, "RIFF0000000000000000000000000000000000000000");
  EXPECT_EQ(r.result, OVErr_InvalidFirstPageHeader);
  ExpectNoStreamValues(r.file);
  EXPECT_EQ(r.file.Title(), u"");
}

// Files made by real encoders, with values known from how they were made.
TEST(OggVorbisFile, RealEncoderFiles) {
  if (!testsupport::HaveProgram("oggenc") || !testsupport::HaveProgram("ffmpeg"))
    GTEST_SKIP() << "oggenc or ffmpeg not installed";
  TempDir dir;
  const std::string wav = dir.file("s.wav");
  ASSERT_TRUE(testsupport::EncodeTone(wav, 3, 48000, 2));
  const std::string ogg = dir.file("s.ogg");
  ASSERT_TRUE(testsupport::Shell(
      "oggenc -Q -b 128 -t 'Caf\xC3\xA9' -a Artist -l Album -d 1999 -N 7 -G Jazz -c 'COMMENT=two=parts' -o '" + ogg +
      "' '" + wav + "'"));
  TGeneralAudioFile f(ogg);
  ASSERT_EQ(f.LastError(), FileErr_None);
  const TOggVorbisFile* o = f.OggFile();
  ASSERT_NE(o, nullptr);
  EXPECT_TRUE(f.Valid());
  EXPECT_EQ(f.Samplerate(), 48000);
  EXPECT_EQ(f.Channels(), 2);
  EXPECT_EQ(o->Samples(), 144000) << "3 s at 48 kHz";
  EXPECT_EQ(f.Duration(), 3);
  EXPECT_EQ(o->BitRateNominal(), 128);
  EXPECT_EQ(f.Bitrate(), RoundToInt32(f.FileSize() * 8 / 3.0));
  EXPECT_EQ(f.Title(), u"Caf\u00E9");
  EXPECT_EQ(f.Artist(), u"Artist");
  EXPECT_EQ(f.Album(), u"Album");
  EXPECT_EQ(f.Year(), u"1999");
  EXPECT_EQ(f.Track(), u"7");
  EXPECT_EQ(f.Genre(), u"Jazz");
  EXPECT_EQ(o->GetPropertyByFieldname(u"comment"), u"two=parts");
  EXPECT_NE(o->SecondOggVorbisPage().Comments.VendorString().find("libVorbis"), std::string::npos);

  // A comment header too big for one page.
  const std::string big = dir.file("big.ogg");
  ASSERT_TRUE(
      testsupport::Shell("oggenc -Q -c 'NOTES=" + std::string(70000, 'n') + "' -o '" + big + "' '" + wav + "'"));
  TGeneralAudioFile b(big);
  EXPECT_EQ(b.LastError(), OVErr_CommentTooLarge);
  EXPECT_FALSE(b.Valid());

  // Another codec in an Ogg container.
  const std::string opus = dir.file("s.oga");
  if (testsupport::Shell("ffmpeg -nostdin -loglevel error -i '" + wav + "' -c:a libopus -f ogg '" + opus + "'")) {
    TGeneralAudioFile op(opus);
    EXPECT_EQ(op.LastError(), OVErr_InvalidFirstPage);
  }
}
