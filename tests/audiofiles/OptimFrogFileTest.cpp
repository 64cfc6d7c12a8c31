#include <gtest/gtest.h>

#include "ApeBuilders.h"
#include "ApeStreamBuilders.h"
#include "AudioFiles.h"
#include "OptimFrogFiles.h"
#include "TestSupport.h"

using apestream::OfrFields;
using apestream::OfrHeader;
using apestream::WriteExtended;
using testsupport::Bytes;
using testsupport::TempDir;

namespace {

struct OfrRead {
  TOptimFrogFile ofr;
  TAudioError result = FileErr_None;
};

void ReadOfr(OfrRead& r, const std::string& bytes, uintmax_t size = 0) {
  TempDir dir;
  r.result = r.ofr.ReadFromFile(WriteExtended(dir, "t.ofr", bytes, size));
}

OfrFields With(void (*change)(OfrFields&)) {
  OfrFields f;
  change(f);
  return f;
}

}  // namespace

TEST(OptimFrogFile, StereoWorkedExample) {
  // 10 584 000 samples of both channels: 5 292 000 per channel, 120 s.
  OfrRead r;
  ReadOfr(r, OfrHeader(), 1000000);
  const TOptimFrogFile& o = r.ofr;
  EXPECT_EQ(r.result, ApeErr_NoTag);
  EXPECT_TRUE(o.Valid());
  EXPECT_EQ(o.Samplerate(), 44100);
  EXPECT_EQ(o.Channels(), 2);
  EXPECT_EQ(o.Duration(), 120);
  EXPECT_EQ(o.Bitrate(), 66667);  // 1 000 000 x 8 x 44 100 / 5 292 000 = 66 666.7
  EXPECT_EQ(o.Bits(), 16);
  EXPECT_EQ(o.Version(), u"4.694");  // encoder 0x0C20
  EXPECT_EQ(o.Compression(), u"normal");
  EXPECT_EQ(o.Header().Size, 15u);
}

TEST(OptimFrogFile, MonoAndHighLength) {
  OfrRead mono;
  ReadOfr(mono, OfrHeader(With([](OfrFields& f) {
            f.channelMode = 0;
            f.length = 480000;
            f.sampleRate = 48000;
          })),
          100000);
  EXPECT_TRUE(mono.ofr.Valid());
  EXPECT_EQ(mono.ofr.Channels(), 1);
  EXPECT_EQ(mono.ofr.Duration(), 10);
  EXPECT_EQ(mono.ofr.Bitrate(), 80000);

  // The high 16 bits extend the count beyond 32 bits: 2^32 stereo samples.
  OfrRead big;
  ReadOfr(big, OfrHeader(With([](OfrFields& f) {
            f.hiLength = 1;
            f.length = 0;
          })),
          1000);
  EXPECT_EQ(big.ofr.Duration(), 48696);  // 2^31 / 44 100 = 48 695.8
}

TEST(OptimFrogFile, BitsAndCompressionNames) {
  const int8_t bits[] = {8, 8, 16, 16, 24, 24, 32, 32, -32, -32, -32};
  for (uint8_t type = 0; type <= 10; ++type) {
    OfrFields f;
    f.sampleType = type;
    OfrRead r;
    ReadOfr(r, OfrHeader(f), 1000);
    EXPECT_TRUE(r.ofr.Valid()) << int(type);
    EXPECT_EQ(r.ofr.Bits(), bits[type]) << int(type);
  }

  struct Name {
    uint8_t id;
    const char16_t* name;
    bool valid;
  };
  const Name names[] = {{0x00, u"fast", true},    {0x07, u"fast", true},     {0x10, u"high", true},
                        {0x18, u"extra", true},   {0x20, u"best", true},     {0x28, u"ultra", true},
                        {0x30, u"insane", true},  {0x38, u"highnew", true},  {0x40, u"extranew", true},
                        {0x48, u"bestnew", true}, {0x50, u"unknown", false}, {0xF8, u"unknown", false}};
  for (const Name& n : names) {
    Bytes header = OfrHeader();
    std::string raw = header.str();
    raw[22] = static_cast<char>(n.id);
    OfrRead r;
    ReadOfr(r, raw, 1000);
    EXPECT_EQ(r.ofr.Compression(), n.name) << int(n.id);
    EXPECT_EQ(r.ofr.Valid(), n.valid) << int(n.id);
  }
}

TEST(OptimFrogFile, VersionText) {
  const struct {
    uint16_t encoder;
    const char16_t* text;
  } cases[] = {{0x0C20, u"4.694"}, {0x0000, u"4.500"}, {0x000F, u"4.500"}, {0x0010, u"4.501"}, {0xFFFF, u"8.595"}};
  for (const auto& c : cases) {
    OfrFields f;
    f.encoderID = c.encoder;
    OfrRead r;
    ReadOfr(r, OfrHeader(f));
    EXPECT_EQ(r.ofr.Version(), c.text) << c.encoder;
  }
}

TEST(OptimFrogFile, OutOfRangeFieldsAreNotValid) {
  const std::pair<const char*, OfrFields> cases[] = {
      {"sample type 11", With([](OfrFields& f) { f.sampleType = 11; })},
      {"channel mode 2", With([](OfrFields& f) { f.channelMode = 2; })},
      {"sample rate 0", With([](OfrFields& f) { f.sampleRate = 0; })},
      {"negative sample rate", With([](OfrFields& f) { f.sampleRate = -44100; })},
      {"compression 10", With([](OfrFields& f) { f.compressionID = 0x50; })},
  };
  for (const auto& [what, fields] : cases) {
    OfrRead r;
    ReadOfr(r, OfrHeader(fields), 100000);
    EXPECT_FALSE(r.ofr.Valid()) << what;
    EXPECT_EQ(r.ofr.Samplerate(), 0) << what;
    EXPECT_EQ(r.ofr.Channels(), 0) << what;
    EXPECT_EQ(r.ofr.Duration(), 0) << what;
    EXPECT_EQ(r.ofr.Bitrate(), 0) << what;
  }

  OfrRead wrongId;
  std::string raw = OfrHeader().str();
  raw[3] = '!';
  ReadOfr(wrongId, raw, 100000);
  EXPECT_FALSE(wrongId.ofr.Valid());
  EXPECT_EQ(wrongId.ofr.Duration(), 0);
}

TEST(OptimFrogFile, StreamEndingInsideTheHeaderIsRejected) {
  TempDir dir;
  TOptimFrogFile o;
  // A good file first, so stale header bytes would show.
  o.ReadFromFile(WriteExtended(dir, "good.ofr", OfrHeader(), 100000));
  ASSERT_TRUE(o.Valid());

  const std::string cut = OfrHeader().str().substr(0, 22);
  o.ReadFromFile(WriteExtended(dir, "cut.ofr", cut));
  EXPECT_FALSE(o.Valid());
  EXPECT_EQ(o.Duration(), 0);
  EXPECT_EQ(o.Samplerate(), 0);
  EXPECT_EQ(o.Header().SampleRate, 0);
  EXPECT_EQ(o.Header().Length, 0u);
  EXPECT_EQ(o.Version(), u"4.500");

  o.ReadFromFile(WriteExtended(dir, "good2.ofr", OfrHeader(), 100000));
  ASSERT_EQ(o.Compression(), u"normal");
  EXPECT_EQ(o.ReadFromFile(dir.file("missing.ofr")), FileErr_NoFile);
  EXPECT_EQ(o.Compression(), u"fast");
  EXPECT_EQ(o.Bits(), 8);
  EXPECT_EQ(o.Header().Length, 0u);
}

TEST(OptimFrogFile, BitrateCountsTheWholeFile) {
  // Unlike Musepack, the tags stay in the bitrate; the header is found
  // behind the ID3v2 tag.
  const std::string id3 = apebuild::Id3v2Tag(990);
  const std::string tag = apebuild::ApeTag({apebuild::ApeItem("Title", "Frog")});
  OfrFields f;
  f.length = 2 * 44100 * 100;  // 100 s
  Bytes body = OfrHeader(f);
  body.zeros(100000 - body.size() - id3.size() - tag.size());
  OfrRead r;
  ReadOfr(r, id3 + body.str() + tag);
  EXPECT_EQ(r.result, FileErr_None);
  EXPECT_TRUE(r.ofr.Valid());
  EXPECT_EQ(r.ofr.FileSize(), 100000);
  EXPECT_EQ(r.ofr.Duration(), 100);
  EXPECT_EQ(r.ofr.Bitrate(), 8000);
  EXPECT_EQ(r.ofr.Title(), u"Frog");
}
