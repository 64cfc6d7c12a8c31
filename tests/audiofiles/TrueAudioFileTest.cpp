#include <gtest/gtest.h>

#include "ApeBuilders.h"
#include "ApeStreamBuilders.h"
#include "AudioFiles.h"
#include "TestSupport.h"
#include "TrueAudioFiles.h"

using apestream::TtaHeader;
using apestream::WriteExtended;
using testsupport::Bytes;
using testsupport::TempDir;

namespace {

struct TtaRead {
  TTrueAudioFile tta;
  TAudioError result = FileErr_None;
};

void ReadTta(TtaRead& r, const std::string& bytes, uintmax_t size = 0) {
  TempDir dir;
  r.result = r.tta.ReadFromFile(WriteExtended(dir, "t.tta", bytes, size));
}

}  // namespace

TEST(TrueAudioFile, TenMegabytesWorkedExample) {
  TtaRead r;
  ReadTta(r, TtaHeader(2, 16, 44100, 4410000), 10000000);
  const TTrueAudioFile& t = r.tta;
  EXPECT_EQ(r.result, ApeErr_NoTag);
  EXPECT_TRUE(t.Valid());
  EXPECT_EQ(t.Bitrate(), 800000);
  EXPECT_EQ(t.Duration(), 100);
  EXPECT_EQ(t.Samplerate(), 44100);
  EXPECT_EQ(t.Channels(), 2);
  EXPECT_EQ(t.Bits(), 16u);
  EXPECT_EQ(t.AudioFormat(), 1u);
  EXPECT_EQ(t.Samples(), 4410000u);
}

TEST(TrueAudioFile, IdentifierAloneMakesItValid) {
  TtaRead noSamples;
  ReadTta(noSamples, TtaHeader(1, 24, 96000, 0), 5000);
  EXPECT_TRUE(noSamples.tta.Valid());
  EXPECT_EQ(noSamples.tta.Duration(), 0);
  EXPECT_EQ(noSamples.tta.Bitrate(), 0);
  EXPECT_EQ(noSamples.tta.Channels(), 1);
  EXPECT_EQ(noSamples.tta.Bits(), 24u);

  TtaRead noRate;
  ReadTta(noRate, TtaHeader(2, 16, 0, 1000), 5000);
  EXPECT_TRUE(noRate.tta.Valid());
  EXPECT_EQ(noRate.tta.Duration(), 0);
  EXPECT_EQ(noRate.tta.Bitrate(), 0);

  // A header cut after the bits per sample reads zeros beyond them.
  TtaRead cut;
  ReadTta(cut, TtaHeader(2, 16, 44100, 4410000).str().substr(0, 10));
  EXPECT_TRUE(cut.tta.Valid());
  EXPECT_EQ(cut.tta.Channels(), 2);
  EXPECT_EQ(cut.tta.Bits(), 16u);
  EXPECT_EQ(cut.tta.Samples(), 0u);
  EXPECT_EQ(cut.tta.Samplerate(), 0);
  EXPECT_EQ(cut.tta.Duration(), 0);
}

TEST(TrueAudioFile, WrongIdentifierIsNotValid) {
  TempDir dir;
  TTrueAudioFile t;
  t.ReadFromFile(WriteExtended(dir, "good.tta", TtaHeader(2, 16, 44100, 441000), 100000));
  ASSERT_TRUE(t.Valid());

  std::string raw = TtaHeader(2, 16, 44100, 441000);
  raw[3] = '2';
  t.ReadFromFile(WriteExtended(dir, "bad.tta", raw, 100000));
  EXPECT_FALSE(t.Valid());
  EXPECT_EQ(t.Samplerate(), 0);
  EXPECT_EQ(t.Channels(), 0);
  EXPECT_EQ(t.Duration(), 0);
  EXPECT_EQ(t.Bitrate(), 0);
  EXPECT_EQ(t.Bits(), 0u);
  EXPECT_EQ(t.Samples(), 0u);

  t.ReadFromFile(WriteExtended(dir, "tiny.tta", "TTA"));
  EXPECT_FALSE(t.Valid());

  t.ReadFromFile(WriteExtended(dir, "again.tta", TtaHeader(2, 16, 44100, 441000), 100000));
  ASSERT_EQ(t.Bits(), 16u);
  EXPECT_EQ(t.ReadFromFile(dir.file("missing.tta")), FileErr_NoFile);
  EXPECT_EQ(t.Bits(), 0u);
  EXPECT_EQ(t.Samples(), 0u);
  EXPECT_EQ(t.Header().SampleRate, 0u);
}

TEST(TrueAudioFile, BehindID3v2AndBitrateWithTags) {
  const std::string id3 = apebuild::Id3v2Tag(90);
  const std::string tag =
      apebuild::ApeTag({apebuild::ApeItem("Album", "Disc"), apebuild::ApeItem("Genre", "Jazz")}, {.withHeader = false});
  Bytes body = TtaHeader(2, 16, 44100, 441000);
  body.zeros(100000 - id3.size() - body.size() - tag.size() - 128);
  TtaRead r;
  ReadTta(r, id3 + body.str() + tag + apebuild::Id3v1Tag());
  EXPECT_EQ(r.result, FileErr_None);
  EXPECT_TRUE(r.tta.Valid());
  EXPECT_TRUE(r.tta.ID3v1Present());
  EXPECT_EQ(r.tta.Duration(), 10);
  EXPECT_EQ(r.tta.Bitrate(), 80000);  // the whole 100 000 bytes over 10 s
  EXPECT_EQ(r.tta.Album(), u"Disc");
  EXPECT_EQ(r.tta.Genre(), u"Jazz");
}
