#include <gtest/gtest.h>

#include "ApeBuilders.h"
#include "AudioFiles.h"
#include "MonkeyFiles.h"
#include "ReadBytes.h"
#include "TestSupport.h"

using namespace apebuild;
using testsupport::ReadPadded;
using testsupport::TempDir;

TEST(MonkeyFile, DescriptorLayoutWorkedExample) {
  const std::string tag = ApeTag({ApeItem("Title", "Fifteen seconds")});
  const auto f = ReadPadded<TMonkeyFile>(MacDescriptorStream({}), 100000, tag);
  EXPECT_TRUE(f->Valid());
  EXPECT_EQ(f->Version(), 3990);
  EXPECT_EQ(f->VersionStr(), u"3.99");
  EXPECT_EQ(f->TotalSamples(), 664552);
  EXPECT_EQ(f->Duration(), 15);
  EXPECT_EQ(f->Samplerate(), 44100);
  EXPECT_EQ(f->Channels(), 2);
  EXPECT_EQ(f->Bits(), 16);
  EXPECT_EQ(f->CompressionMode(), 2000);
  EXPECT_EQ(f->CompressionModeStr(), u"Normal");
  // The tag does not count: 100000 audio bytes for 664552 samples.
  EXPECT_EQ(f->Bitrate(), 53088);  // 100000 * 8 * 44100 / 664552 = 53088.4
  EXPECT_EQ(f->Title(), u"Fifteen seconds");
  EXPECT_FALSE(f->HasPeakLevel());
  EXPECT_EQ(f->PeakLevel(), 0u);
}

TEST(MonkeyFile, DescriptorAndHeaderLengths) {
  MacHeader longDescriptor;
  longDescriptor.descriptorLength = 56;  // 4 extra bytes to skip
  auto f = ReadPadded<TMonkeyFile>(MacDescriptorStream(longDescriptor), 5000);
  EXPECT_TRUE(f->Valid());
  EXPECT_EQ(f->TotalSamples(), 664552);

  MacHeader longHeader;
  longHeader.headerLength = 32;  // only 24 are read
  f = ReadPadded<TMonkeyFile>(MacDescriptorStream(longHeader), 5000);
  EXPECT_TRUE(f->Valid());
  EXPECT_EQ(f->Samplerate(), 44100);

  MacHeader shortHeader;
  shortHeader.headerLength = 18;  // channels and rate stay zero
  f = ReadPadded<TMonkeyFile>(MacDescriptorStream(shortHeader), 5000);
  EXPECT_FALSE(f->Valid());
  EXPECT_EQ(f->Bits(), 16);
  EXPECT_EQ(f->Channels(), 0);

  // A descriptor length below 52 skips (unsigned) past the end: the header
  // read comes up short.
  MacHeader tiny;
  tiny.descriptorLength = 40;
  f = ReadPadded<TMonkeyFile>(MacDescriptorStream(tiny), 5000);
  EXPECT_FALSE(f->Valid());
  EXPECT_EQ(f->VersionStr(), u"3.99");
}

TEST(MonkeyFile, OldLayoutBlocksPerFrame) {
  struct Case {
    uint16_t version, level;
    int64_t blocksPerFrame;
  } cases[] = {{3970, 2000, 294912}, {3950, 1000, 294912}, {3940, 1000, 73728}, {3900, 3000, 73728},
               {3810, 4000, 73728},  {3810, 3000, 9216},   {3800, 4000, 73728}, {3790, 4000, 9216}};
  for (const Case& c : cases) {
    const auto f = ReadPadded<TMonkeyFile>(MacOldStream(c.version, c.level, 0, 2, 44100, 3, 100), 2000);
    EXPECT_TRUE(f->Valid()) << c.version;
    EXPECT_EQ(f->TotalSamples(), 2 * c.blocksPerFrame + 100) << c.version << " level " << c.level;
    EXPECT_EQ(f->Bits(), 16);
  }
  const auto normal = ReadPadded<TMonkeyFile>(MacOldStream(3970, 2000, 0, 2, 44100, 3, 100), 2000);
  EXPECT_EQ(normal->CompressionModeStr(), u"Normal");
  EXPECT_EQ(normal->VersionStr(), u"3.97");
  EXPECT_EQ(normal->Duration(), 13);  // 589924 / 44100 = 13.38
}

TEST(MonkeyFile, OldLayoutFlags) {
  auto f = ReadPadded<TMonkeyFile>(MacOldStream(3970, 2000, 0x09, 2, 44100, 3, 100), 2000);
  EXPECT_EQ(f->Bits(), 24) << "24-bit wins over 8-bit";
  f = ReadPadded<TMonkeyFile>(MacOldStream(3970, 2000, 0x01, 2, 44100, 3, 100), 2000);
  EXPECT_EQ(f->Bits(), 8);

  f = ReadPadded<TMonkeyFile>(MacOldStream(3970, 2000, 0x34, 1, 22050, 3, 100, 16384), 2000);
  EXPECT_TRUE(f->HasSeekElements());
  EXPECT_TRUE(f->WavNotStored());
  EXPECT_TRUE(f->HasPeakLevel());
  EXPECT_EQ(f->PeakLevel(), 16384u);
  EXPECT_DOUBLE_EQ(f->PeakLevelRatio(), 12.5);  // 16384 / 65536 / 2 * 100
  EXPECT_EQ(f->FormatFlags(), 0x34);
  EXPECT_EQ(f->Channels(), 1);

  f = ReadPadded<TMonkeyFile>(MacOldStream(3970, 2000, 0x04, 2, 44100, 3, 100, 16384), 2000);
  EXPECT_FALSE(f->HasPeakLevel());
  EXPECT_EQ(f->PeakLevel(), 0u) << "the peak level counts only with its flag";
}

TEST(MonkeyFile, CompressionNames) {
  EXPECT_EQ(MonkeyCompressionName(0), u"Unknown");
  EXPECT_EQ(MonkeyCompressionName(6000), u"BrainDead");
  EXPECT_EQ(MonkeyCompressionName(2500), u"2500");
  EXPECT_EQ(MonkeyCompressionName(7000), u"7000");
  EXPECT_EQ(MonkeyVersionText(3990), u"3.99");
  EXPECT_EQ(MonkeyVersionText(3800), u"3.80");
  EXPECT_EQ(MonkeyVersionText(999), u"1.00");
  EXPECT_EQ(MonkeyVersionText(12340), u"12.34");
}

TEST(MonkeyFile, FailuresLeaveItInvalid) {
  auto f = ReadPadded<TMonkeyFile>("NOTMAC" + std::string(100, '\0'));
  EXPECT_FALSE(f->Valid());
  EXPECT_EQ(f->Version(), 0);
  EXPECT_EQ(f->VersionStr(), u"");

  // Cut short after the identifier: the version survives.
  f = ReadPadded<TMonkeyFile>(MacDescriptorStream({}).substr(0, 30));
  EXPECT_FALSE(f->Valid());
  EXPECT_EQ(f->Version(), 3990);
  EXPECT_EQ(f->VersionStr(), u"3.99");
  f = ReadPadded<TMonkeyFile>(MacOldStream(3970, 2000, 0, 2, 44100, 3, 100).substr(0, 35));
  EXPECT_FALSE(f->Valid());
  EXPECT_EQ(f->Version(), 3970);

  MacHeader noFrames;
  noFrames.totalFrames = 0;
  f = ReadPadded<TMonkeyFile>(MacDescriptorStream(noFrames), 1000);
  EXPECT_FALSE(f->Valid());
  EXPECT_EQ(f->TotalSamples(), 0);
  EXPECT_EQ(f->Duration(), 0);
  EXPECT_EQ(f->Bitrate(), 0);

  MacHeader noRate;
  noRate.sampleRate = 0;
  f = ReadPadded<TMonkeyFile>(MacDescriptorStream(noRate), 1000);
  EXPECT_FALSE(f->Valid());
  EXPECT_EQ(f->Duration(), 0);
  EXPECT_EQ(f->Bitrate(), 0);

  // Frame fields at their maximum: no overflow, and the result is invalid.
  MacHeader huge;
  huge.blocksPerFrame = huge.finalFrameBlocks = huge.totalFrames = 0xFFFFFFFFu;
  f = ReadPadded<TMonkeyFile>(MacDescriptorStream(huge), 1000);
  EXPECT_FALSE(f->Valid());
}

TEST(MonkeyFile, ReadsBehindId3v2AndThroughTheFacade) {
  TempDir dir;
  std::string bytes = Id3v2Tag(500) + MacDescriptorStream({});
  bytes.resize(20000, '\x33');
  bytes += ApeTag({ApeItem("Artist", "A")}) + Id3v1Tag();
  TGeneralAudioFile f(dir.write("song.APE", bytes));
  ASSERT_NE(f.MonkeyFile(), nullptr);
  EXPECT_EQ(f.LastError(), FileErr_None);
  EXPECT_TRUE(f.Valid());
  EXPECT_EQ(f.Duration(), 15);
  EXPECT_EQ(f.Artist(), u"A");
  EXPECT_EQ(f.FileTypeName(), u"Monkey's Audio");
  EXPECT_EQ(f.MonkeyFile()->ID3v2TagSize(), 510u);
  // Audio bytes: 20000 - 510 (the ID3v2 tag) = 19490.
  EXPECT_EQ(f.Bitrate(), 10347);  // 19490 * 8 * 44100 / 664552 = 10346.9
}
