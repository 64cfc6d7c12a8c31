#include <gtest/gtest.h>

#include "ApeBuilders.h"
#include "ApeStreamBuilders.h"
#include "AudioFiles.h"
#include "MusePackFiles.h"
#include "TestSupport.h"

using apestream::MpcOldHeader;
using apestream::MpcSV7Header;
using apestream::MpcSV8Header;
using apestream::WriteExtended;
using testsupport::Bytes;
using testsupport::TempDir;

namespace {

struct MpcRead {
  TMusePackFile mpc;
  TAudioError result = FileErr_None;
};

// Reads `bytes` (grown to `size` bytes when larger) as a Musepack file.
void ReadMpc(MpcRead& r, const std::string& bytes, uintmax_t size = 0) {
  TempDir dir;
  r.result = r.mpc.ReadFromFile(WriteExtended(dir, "t.mpc", bytes, size));
}

}  // namespace

TEST(MusePackFile, SV7WorkedExample) {
  MpcRead r;
  ReadMpc(r, MpcSV7Header(10000, 0, true), 100000);
  const TMusePackFile& m = r.mpc;
  EXPECT_EQ(r.result, ApeErr_NoTag);
  EXPECT_TRUE(m.Valid());
  EXPECT_EQ(m.StreamVersion(), 7);
  EXPECT_EQ(m.VersionString(), u"7.0");
  EXPECT_EQ(m.Samplerate(), 44100);
  EXPECT_EQ(m.Channels(), 2);
  EXPECT_EQ(m.ChannelModeID(), 2);
  EXPECT_EQ(m.ChannelMode(), u"Joint Stereo");
  EXPECT_EQ(m.FrameCount(), 10000);
  EXPECT_EQ(m.Duration(), 261);  // 11 520 000 / 44 100 = 261.2
  EXPECT_EQ(m.Bitrate(), 3065);  // 800 000 / 261 = 3065.1
  EXPECT_EQ(m.SampleCount(), 0);
  EXPECT_FALSE(m.IsCorrupted());
  // 100 000 / (10 000 x 1152 x 4 + 44) x 100
  EXPECT_DOUBLE_EQ(m.Ratio(), 100000.0 / (10000.0 * 1152 * 4 + 44) * 100);
}

TEST(MusePackFile, SV71AndStereoAndRates) {
  MpcRead r;
  ReadMpc(r, MpcSV7Header(10000, 1, false, 0x17), 50000);
  EXPECT_TRUE(r.mpc.Valid());
  EXPECT_EQ(r.mpc.StreamVersion(), 71);
  EXPECT_EQ(r.mpc.VersionString(), u"7.1");
  EXPECT_EQ(r.mpc.ChannelMode(), u"Stereo");
  EXPECT_EQ(r.mpc.ChannelModeID(), 1);
  EXPECT_EQ(r.mpc.Samplerate(), 48000);
  EXPECT_EQ(r.mpc.Duration(), 240);  // 11 520 000 / 48 000

  const int32_t rates[] = {44100, 48000, 37800, 32000};
  for (uint8_t index = 0; index < 4; ++index) {
    MpcRead s;
    ReadMpc(s, MpcSV7Header(1000, index), 4000);
    EXPECT_EQ(s.mpc.Samplerate(), rates[index]) << int(index);
  }
}

TEST(MusePackFile, SV7BitrateOfFiveMegabytesInFiveMinutes) {
  // 11 484 frames x 1152 / 44 100 = 299.99 s, rounded to 300.
  MpcRead r;
  ReadMpc(r, MpcSV7Header(11484), 5242880);
  EXPECT_EQ(r.mpc.Duration(), 300);
  EXPECT_EQ(r.mpc.Bitrate(), 139810);
  EXPECT_FALSE(r.mpc.IsCorrupted());
}

TEST(MusePackFile, CorruptionThresholds) {
  MpcRead low;
  ReadMpc(low, MpcSV7Header(11484), 100000);  // 2667 bit/s
  EXPECT_EQ(low.mpc.Bitrate(), 2667);
  EXPECT_TRUE(low.mpc.IsCorrupted());

  MpcRead high;
  ReadMpc(high, MpcSV7Header(100), 100000);  // 3 s, 266 667 bit/s
  EXPECT_FALSE(high.mpc.IsCorrupted());

  MpcRead tooHigh;
  ReadMpc(tooHigh, MpcSV7Header(100), 200000);  // 533 333 bit/s
  EXPECT_TRUE(tooHigh.mpc.IsCorrupted());

  MpcRead invalid;
  ReadMpc(invalid, Bytes().zeros(32), 100000);
  EXPECT_FALSE(invalid.mpc.IsCorrupted());
  EXPECT_EQ(invalid.mpc.Ratio(), 0);
}

TEST(MusePackFile, SV8DataIndexAndFields) {
  // Sample count 0x81 0x00 = 128, one byte of beginning silence: the rate
  // byte is b[15] (1-based 16), the channel byte b[16].
  const Bytes header = MpcSV8Header(128, 0, 1, 2, true);
  ASSERT_EQ(static_cast<uint8_t>(header.str()[12]), 0x81);
  ASSERT_EQ(static_cast<uint8_t>(header.str()[13]), 0x00);
  MpcRead r;
  ReadMpc(r, header, 1000);
  const TMusePackFile& m = r.mpc;
  EXPECT_TRUE(m.Valid());
  EXPECT_EQ(m.StreamVersion(), 8);
  EXPECT_EQ(m.VersionString(), u"8.0");
  EXPECT_EQ(m.SampleCount(), 128);
  EXPECT_EQ(m.DataIndex(), 16);
  EXPECT_EQ(m.Samplerate(), 48000);
  EXPECT_EQ(m.Channels(), 2);
  EXPECT_EQ(m.ChannelModeID(), 2);
  EXPECT_EQ(m.Duration(), 0);
  EXPECT_EQ(m.Bitrate(), 0);
}

TEST(MusePackFile, SV8DurationBitrateAndChannels) {
  // 200 s of mono at 32 kHz; sample count and silence take several bytes.
  MpcRead r;
  ReadMpc(r, MpcSV8Header(6400000, 1000, 3, 1, false), 800000);
  const TMusePackFile& m = r.mpc;
  EXPECT_TRUE(m.Valid());
  EXPECT_EQ(m.SampleCount(), 6400000);
  EXPECT_EQ(m.DataIndex(), 12 + 4 + 2 + 1);
  EXPECT_EQ(m.Samplerate(), 32000);
  EXPECT_EQ(m.Channels(), 1);
  EXPECT_EQ(m.ChannelMode(), u"Stereo");
  EXPECT_EQ(m.Duration(), 200);
  EXPECT_EQ(m.Bitrate(), 32000);
  EXPECT_EQ(m.FrameCount(), 0);
  // SV8 has no frame count: the ratio comes from the sample count.
  EXPECT_DOUBLE_EQ(m.Ratio(), 800000.0 / (6400000.0 * 4 + 44) * 100);

  MpcRead six;
  ReadMpc(six, MpcSV8Header(441000, 0, 0, 6, false), 80000);
  EXPECT_EQ(six.mpc.Channels(), 6);
  EXPECT_EQ(six.mpc.Duration(), 10);
}

TEST(MusePackFile, SV8RateIndexAboveTableIsValidWithoutDuration) {
  for (uint8_t index : {4, 7}) {
    MpcRead r;
    ReadMpc(r, MpcSV8Header(4410000, 0, index, 2, false), 100000);
    EXPECT_TRUE(r.mpc.Valid()) << int(index);
    EXPECT_EQ(r.mpc.Samplerate(), 0);
    EXPECT_EQ(r.mpc.Duration(), 0);
    EXPECT_EQ(r.mpc.Bitrate(), 0);
  }
}

TEST(MusePackFile, SV8NumbersRunningOffTheHeaderFallBackToByteZero) {
  // Every byte from 12 on continues a number: the walk stops at the end of
  // the 32 bytes and takes "M" (0x4D) as rate byte and "P" (0x50) as
  // channel byte.
  Bytes header;
  header.raw("MPCK").raw("SH").u8(40).zeros(5).fill(20, 0xFF);
  MpcRead r;
  ReadMpc(r, header, 1000);
  EXPECT_TRUE(r.mpc.Valid());
  EXPECT_EQ(r.mpc.DataIndex(), 1);
  EXPECT_EQ(r.mpc.Samplerate(), 37800);  // 0x4D >> 5 = 2
  EXPECT_EQ(r.mpc.Channels(), 6);        // (0x50 >> 4) + 1

  // Sample count ends at the last byte, silence runs off the end.
  Bytes late;
  late.raw("MPCK").raw("SH").u8(40).zeros(5).fill(19, 0x81).u8(0x01);
  MpcRead s;
  ReadMpc(s, late, 1000);
  EXPECT_EQ(s.mpc.DataIndex(), 1);
}

TEST(MusePackFile, OlderStreamVersions) {
  struct Case {
    uint8_t code;
    uint32_t word1;
    uint8_t version;
    const char16_t* text;
    int32_t frames;
  };
  const Case cases[] = {
      {3, 5000u << 16 | 0x1234, 4, u"4.0", 5000},
      {7, 5000, 5, u"5.0", 5000},
      {11, 5000, 6, u"6.0", 5000},
  };
  for (const Case& c : cases) {
    for (bool joint : {false, true}) {
      MpcRead r;
      ReadMpc(r, MpcOldHeader(c.code, c.word1, joint, 2), 200000);
      EXPECT_TRUE(r.mpc.Valid()) << int(c.code);
      EXPECT_EQ(r.mpc.StreamVersion(), c.version);
      EXPECT_EQ(r.mpc.VersionString(), c.text);
      EXPECT_EQ(r.mpc.FrameCount(), c.frames);
      EXPECT_EQ(r.mpc.ChannelModeID(), joint ? 2 : 1);
      EXPECT_EQ(r.mpc.Samplerate(), 37800);
      EXPECT_EQ(r.mpc.Duration(), 152);  // 5 760 000 / 37 800 = 152.4
    }
  }
}

TEST(MusePackFile, UnrecognisedAndShortStreams) {
  // Version 0: not valid, but the accessors still answer from the bytes.
  Bytes unknown;
  unknown.raw("XYZ!").u32le(1000).zeros(2).u8(1).zeros(21);
  MpcRead r;
  ReadMpc(r, unknown, 1000);
  EXPECT_FALSE(r.mpc.Valid());
  EXPECT_EQ(r.mpc.StreamVersion(), 0);
  EXPECT_EQ(r.mpc.VersionString(), u"0");
  EXPECT_EQ(r.mpc.Channels(), 2);
  EXPECT_EQ(r.mpc.Samplerate(), 48000);
  EXPECT_EQ(r.mpc.Duration(), 0);
  EXPECT_EQ(r.mpc.Bitrate(), 0);
  EXPECT_EQ(r.mpc.ChannelMode(), u"Unknown");

  // 31 bytes of a good SV7 header: rejected.
  MpcRead shortRead;
  ReadMpc(shortRead, MpcSV7Header(10000).str().substr(0, 31));
  EXPECT_FALSE(shortRead.mpc.Valid());
  EXPECT_EQ(shortRead.mpc.Duration(), 0);
  EXPECT_EQ(shortRead.mpc.FrameCount(), 0);

  // A cut SV8 stream is never taken for SV8.
  MpcRead shortSV8;
  ReadMpc(shortSV8, MpcSV8Header(128, 0, 1, 2, true).str().substr(0, 20));
  EXPECT_FALSE(shortSV8.mpc.Valid());
  EXPECT_NE(shortSV8.mpc.StreamVersion(), 8);
  EXPECT_EQ(shortSV8.mpc.Channels(), 2);

  MpcRead empty;
  ReadMpc(empty, "");
  EXPECT_FALSE(empty.mpc.Valid());
}

TEST(MusePackFile, TagsAreLeftOutOfTheBitrate) {
  // ID3v2 before the stream (10 + 990 bytes), an APE tag at the end: only
  // the audio bytes count.
  const std::string id3 = apebuild::Id3v2Tag(990);
  const std::string tag = apebuild::ApeTag({apebuild::ApeItem("Title", "Song"), apebuild::ApeItem("Artist", "Band")});
  Bytes body = MpcSV7Header(11484);
  body.zeros(300000 - body.size());
  MpcRead r;
  ReadMpc(r, id3 + body.str() + tag);
  EXPECT_EQ(r.result, FileErr_None);
  EXPECT_TRUE(r.mpc.Valid());
  EXPECT_EQ(r.mpc.ID3v2TagSize(), 1000u);
  EXPECT_EQ(r.mpc.CombinedTagSize(), 1000u + tag.size());
  EXPECT_EQ(r.mpc.FileSize(), static_cast<int64_t>(id3.size() + body.size() + tag.size()));
  EXPECT_EQ(r.mpc.Duration(), 300);
  EXPECT_EQ(r.mpc.Bitrate(), 8000);  // 300 000 x 8 / 300
  EXPECT_EQ(r.mpc.Title(), u"Song");
  EXPECT_EQ(r.mpc.Artist(), u"Band");
}

TEST(MusePackFile, ReusedObjectForgetsTheEarlierFile) {
  TempDir dir;
  TMusePackFile m;
  m.ReadFromFile(WriteExtended(dir, "a.mpc", MpcSV8Header(4410000, 0, 0, 2, true), 10000));
  EXPECT_EQ(m.SampleCount(), 4410000);
  EXPECT_EQ(m.Duration(), 100);

  m.ReadFromFile(WriteExtended(dir, "b.mpc", MpcSV7Header(1000, 0, false), 10000));
  EXPECT_EQ(m.StreamVersion(), 7);
  EXPECT_EQ(m.SampleCount(), 0);
  EXPECT_EQ(m.DataIndex(), 0);
  EXPECT_EQ(m.Duration(), 26);

  // A 48 kHz mono SV8 file, then a missing one: nothing of the first
  // stays, the accessors answer from an empty header.
  m.ReadFromFile(WriteExtended(dir, "c.mpc", MpcSV8Header(480000, 0, 1, 1, false), 10000));
  EXPECT_EQ(m.Samplerate(), 48000);
  EXPECT_EQ(m.Channels(), 1);
  EXPECT_EQ(m.ReadFromFile(dir.file("missing.mpc")), FileErr_NoFile);
  EXPECT_FALSE(m.Valid());
  EXPECT_EQ(m.Duration(), 0);
  EXPECT_EQ(m.StreamVersion(), 0);
  EXPECT_EQ(m.SampleCount(), 0);
  EXPECT_EQ(m.Channels(), 2);
  EXPECT_EQ(m.Samplerate(), 44100);
}
