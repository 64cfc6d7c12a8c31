#include <gtest/gtest.h>

#include "ApeBuilders.h"
#include "AudioFiles.h"
#include "TestSupport.h"
#include "ReadBytes.h"
#include "RiffAsfBuilders.h"
#include "WavPackFiles.h"

using namespace apebuild;
using testsupport::ReadPadded;

namespace {

// A block file whose first block is followed by `after`.
std::string BlockFile(uint32_t totalSamples, uint32_t flags, const std::string& after = {}) {
  return WvBlockHeader(totalSamples, flags) + after;
}

}  // namespace

TEST(WavPackFile, BlockHeaderFields) {
  const std::string tag = ApeTag({ApeItem("Title", "Block")});
  auto f = ReadPadded<TWavPackFile>(BlockFile(441000, WvRateIndex(9) | 0x01), 50000, tag);
  EXPECT_TRUE(f->Valid());
  EXPECT_EQ(f->Version(), 4);
  EXPECT_EQ(f->Channels(), 2);
  EXPECT_EQ(f->Bits(), 16);
  EXPECT_EQ(f->Samplerate(), 44100);
  EXPECT_EQ(f->Samples(), 441000);
  EXPECT_EQ(f->BSamples(), 22050);
  EXPECT_EQ(f->Duration(), 10);
  EXPECT_EQ(f->Bitrate(), 40000) << "tags do not count";
  EXPECT_EQ(f->Encoder(), u"lossless");
  EXPECT_EQ(f->ChannelMode(), u"Stereo");
  EXPECT_EQ(f->FormatTag(), 0);
  EXPECT_EQ(f->Title(), u"Block");
  // 50000 + tag bytes against 441000 * 4 + 44 bytes of WAVE.
  EXPECT_DOUBLE_EQ(f->Ratio(), double(50000 + tag.size()) / (441000.0 * 4 + 44) * 100);

  f = ReadPadded<TWavPackFile>(BlockFile(1000, 0x04), 100);
  EXPECT_EQ(f->Channels(), 1);
  EXPECT_EQ(f->Bits(), 8);
  EXPECT_EQ(f->ChannelMode(), u"Mono");
  f = ReadPadded<TWavPackFile>(BlockFile(1000, 0x03 | 0x08), 100);
  EXPECT_EQ(f->Bits(), 32);
  EXPECT_EQ(f->Encoder(), u"hybrid lossy");
}

TEST(WavPackFile, BlockSampleRates) {
  const std::pair<uint32_t, int32_t> cases[] = {{0, 6000},   {3, 11025},   {9, 44100},  {10, 48000},
                                                {13, 96000}, {14, 192000}, {15, 44100}, {31, 44100}};
  for (auto [index, rate] : cases) {
    const auto f = ReadPadded<TWavPackFile>(BlockFile(1000, WvRateIndex(index)), 100);
    EXPECT_EQ(f->Samplerate(), rate) << index;
  }
}

TEST(WavPackFile, EncoderModeSubBlock) {
  const std::pair<uint8_t, std::u16string> modes[] = {{8, u"lossless (high)"},
                                                      {0, u"lossless (normal)"},
                                                      {2, u"lossless (fast)"},
                                                      {6, u"lossless (very fast)"},
                                                      {5, u"lossless"}};
  for (const auto& [mode, text] : modes) {
    const std::string sub = std::string("\x21\x03\x00\x00\x00\x00\x65\x02", 8) + char(mode);
    EXPECT_EQ(ReadPadded<TWavPackFile>(BlockFile(1000, 0, sub), 6000)->Encoder(), text) << int(mode);
  }
  // Only the first 0x65 0x02 pair counts; it may start at byte 4093 of the
  // search window, not later.
  EXPECT_EQ(ReadPadded<TWavPackFile>(BlockFile(1000, 0, "\x65\x02\x02\x65\x02\x08"), 6000)->Encoder(),
            u"lossless (fast)");
  std::string late(4093, '\0');
  EXPECT_EQ(ReadPadded<TWavPackFile>(BlockFile(1000, 0, late + "\x65\x02\x08"), 6000)->Encoder(), u"lossless (high)");
  late.push_back('\0');
  EXPECT_EQ(ReadPadded<TWavPackFile>(BlockFile(1000, 0, late + "\x65\x02\x08"), 6000)->Encoder(), u"lossless");
  // A file that ends inside the window reads zeros beyond its end.
  EXPECT_EQ(ReadPadded<TWavPackFile>(BlockFile(1000, 0, "\x65\x02"))->Encoder(), u"lossless (normal)");
}

TEST(WavPackFile, BlockFileEdgeValues) {
  auto f = ReadPadded<TWavPackFile>(BlockFile(0, 0), 500);
  EXPECT_TRUE(f->Valid()) << "valid as soon as the identifier matches";
  EXPECT_EQ(f->Duration(), 0);
  EXPECT_EQ(f->Bitrate(), 0);

  f = ReadPadded<TWavPackFile>(WvBlockHeader(1000, 0, 0x0407), 500);
  EXPECT_EQ(f->Version(), 4);

  // A block header cut short reads as zeros.
  f = ReadPadded<TWavPackFile>(WvBlockHeader(1000, 0).substr(0, 20));
  EXPECT_TRUE(f->Valid());
  EXPECT_EQ(f->Samples(), 1000);
  EXPECT_EQ(f->Samplerate(), 6000);

  // Behind an ID3v2 tag.
  f = ReadPadded<TWavPackFile>(Id3v2Tag(300) + BlockFile(441000, WvRateIndex(9)), 50310);
  EXPECT_TRUE(f->Valid());
  EXPECT_EQ(f->ID3v2TagSize(), 310u);
  EXPECT_EQ(f->Bitrate(), 40000);
}

TEST(WavPackFile, OlderRiffFiles) {
  const std::string fmt = riffbuild::Fmt(2, 44100, 176400, 4, 16);
  const std::string data = "data" + std::string("\x00\x00\x01\x00", 4) + WvOldHeader(3, 0, 0x0010, 441000);
  const std::string tag = ApeTag({ApeItem("Title", "Old")});
  auto f = ReadPadded<TWavPackFile>(riffbuild::Wave({fmt}) + data, 40036, tag);
  EXPECT_TRUE(f->Valid());
  EXPECT_EQ(f->FormatTag(), 1);
  EXPECT_EQ(f->Version(), 3);
  EXPECT_EQ(f->Channels(), 2);
  EXPECT_EQ(f->Samplerate(), 44100);
  EXPECT_EQ(f->Bits(), 16);
  EXPECT_EQ(f->Samples(), 441000);
  EXPECT_EQ(f->Duration(), 10);
  EXPECT_EQ(f->Bitrate(), 32000) << "(40036 - 36) * 8 / 10";
  EXPECT_EQ(f->Encoder(), u"lossless");
  EXPECT_EQ(f->Title(), u"Old");

  // Mono flag; an odd-sized chunk is followed without a pad byte; a zero
  // sample rate becomes 44100.
  const std::string oddFmt = riffbuild::Chunk("fmt ", riffbuild::FmtBody(1, 0, 0, 1, 8) + "x");
  f = ReadPadded<TWavPackFile>(
      riffbuild::Wave({oddFmt}) + "data" + std::string("\x00\x10\x00\x00", 4) + WvOldHeader(2, 0, 0x0001, 88200),
      10000);
  EXPECT_TRUE(f->Valid());
  EXPECT_EQ(f->Channels(), 1);
  EXPECT_EQ(f->Samplerate(), 44100);
  EXPECT_EQ(f->Duration(), 2);
  EXPECT_EQ(f->Encoder(), u"lossless (fast mode)");
}

TEST(WavPackFile, OlderFilesStopEarly) {
  const std::string fmt6 = riffbuild::Fmt(6, 48000, 576000, 12, 16);
  const std::string list = riffbuild::Chunk("LIST", "INFOxxxx");
  const std::string data = "data" + std::string("\x00\x10\x00\x00", 4) + WvOldHeader(3, 0, 0x0010, 441000);

  // A LIST chunk between "fmt " and "data" ends the walk.
  auto f = ReadPadded<TWavPackFile>(riffbuild::Wave({fmt6, list}) + data, 5000);
  EXPECT_TRUE(f->Valid());
  EXPECT_EQ(f->Bitrate(), 4608000);
  EXPECT_EQ(f->Duration(), 0);
  EXPECT_EQ(f->Version(), 0);
  EXPECT_EQ(f->ChannelMode(), u"Surround");

  // A data chunk without "wvpk" leaves what the format chunk gave.
  f = ReadPadded<TWavPackFile>(
      riffbuild::Wave({fmt6}) + "data" + std::string("\x00\x10\x00\x00", 4) + std::string(36, 'z'), 5000);
  EXPECT_TRUE(f->Valid());
  EXPECT_EQ(f->Encoder(), u"");
  EXPECT_EQ(f->Duration(), 0);

  // A data chunk of size 0 ends the walk before its header is looked at.
  f = ReadPadded<TWavPackFile>(
      riffbuild::Wave({fmt6}) + "data" + std::string(4, '\0') + WvOldHeader(3, 0, 0x0010, 441000), 5000);
  EXPECT_TRUE(f->Valid());
  EXPECT_EQ(f->Version(), 0);

  // Too few samples for a whole second: no bitrate from the data chunk.
  f = ReadPadded<TWavPackFile>(
      riffbuild::Wave({fmt6}) + "data" + std::string("\x00\x10\x00\x00", 4) + WvOldHeader(3, 0, 0x0010, 100), 5000);
  EXPECT_TRUE(f->Valid());
  EXPECT_EQ(f->Duration(), 0);
  EXPECT_EQ(f->Bitrate(), 4608000);

  // "data" before "fmt ", a short format chunk, no WAVE, other identifiers.
  for (const std::string& bytes :
       {riffbuild::Wave({}) + data + fmt6, riffbuild::Wave({riffbuild::Chunk("fmt ", "short")}) + data,
        std::string("RIFF\x10\x00\x00\x00WAVX", 12) + fmt6, std::string("RIFF\x10\x00\x00\x00", 8),
        std::string("wvpX") + std::string(100, '\0'), std::string(100, '\0')}) {
    f = ReadPadded<TWavPackFile>(bytes, 2000);
    EXPECT_FALSE(f->Valid());
    EXPECT_EQ(f->Bitrate(), 0);
    EXPECT_DOUBLE_EQ(f->Ratio(), 0);
  }
}

TEST(WavPackFile, RatioOfHugeFormatFieldsDoesNotOverflow) {
  // Found by fuzzing: 55810 channels of 56026 bits.
  const std::string fmt = riffbuild::Fmt(55810, 44100, 176400, 60214, 56026);  // block align wrapped to 16 bits
  const auto f = ReadPadded<TWavPackFile>(
      riffbuild::Wave({fmt}) + "data" + std::string("\x00\x10\x00\x00", 4) + WvOldHeader(3, 0, 0x0010, 441000), 2000);
  EXPECT_TRUE(f->Valid());
  EXPECT_GT(f->Ratio(), 0);
}

TEST(WavPackFile, OlderEncoderTexts) {
  EXPECT_EQ(WavPackOldEncoderText(1, 0x0010), u"4-bit lossy high");
  EXPECT_EQ(WavPackOldEncoderText(1, 0x0002), u"4-bit lossy fast");
  EXPECT_EQ(WavPackOldEncoderText(5, 0x0000), u"8-bit lossy");
  EXPECT_EQ(WavPackOldEncoderText(5, 0x0400), u"hybrid lossy");
  EXPECT_EQ(WavPackOldEncoderText(5, 0x0480), u"hybrid lossless");
  EXPECT_EQ(WavPackOldEncoderText(5, 0x8410), u"hybrid lossy (high)");
  EXPECT_EQ(WavPackOldEncoderText(0, 0x0000), u"lossless (fast mode)");
  EXPECT_EQ(WavPackOldEncoderText(0, 0x8010), u"lossless (high mode)");
  EXPECT_EQ(WavPackOldEncoderText(0, 0x0010), u"lossless");
}
