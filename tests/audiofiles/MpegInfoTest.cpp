#include <gtest/gtest.h>

#include "Mp3Builders.h"
#include "Tagmill.h"

using mp3build::FrameFields;
using mp3build::MpegFrame;
using mp3build::MpegFrames;
using mp3build::MpegHeader;

namespace {

TMpegFrameHeader Decode(const FrameFields& fields) {
  const std::string h = MpegHeader(fields);
  return DecodeMpegFrameHeader(reinterpret_cast<const uint8_t*>(h.data()));
}

struct Loaded {
  TMpegInfo info;
  TMP3Error result;
};

Loaded Load(const std::string& bytes, int64_t start = 0) {
  TMemoryStream stream(bytes);
  stream.Seek(start);
  Loaded l;
  l.result = l.info.LoadFromStream(stream);
  return l;
}

}  // namespace

TEST(MpegHeader, FrameLengthsAndFields) {
  // MPEG-1 Layer III, 128 kbit/s, 44100 Hz.
  TMpegFrameHeader h = Decode(FrameFields());
  EXPECT_TRUE(h.valid);
  EXPECT_EQ(h.version, 1);
  EXPECT_EQ(h.layer, 3);
  EXPECT_EQ(h.bitrate, 128);
  EXPECT_EQ(h.samplerate, 44100);
  EXPECT_EQ(h.framelength, 417);
  EXPECT_EQ(Decode(FrameFields().padded()).framelength, 418);
  // Layer I: (truncate(12000 x 384 / 44100) + padding) x 4.
  EXPECT_EQ(Decode(FrameFields().layer(1).bitrate(12)).framelength, 416);
  EXPECT_EQ(Decode(FrameFields().layer(1).bitrate(12).padded()).framelength, 420);
  // Layer II uses 144000 whatever the version; Layer III of MPEG-2/2.5 72000.
  EXPECT_EQ(Decode(FrameFields().mpeg2().layer(2).bitrate(8).rate(1)).framelength, 384);  // 64k 24000
  EXPECT_EQ(Decode(FrameFields().mpeg2().bitrate(8).rate(1)).framelength, 192);
  h = Decode(FrameFields().mpeg25().bitrate(8).rate(2));  // 64k at 8000 Hz
  EXPECT_EQ(h.version, 3);
  EXPECT_EQ(h.framelength, 576);

  FrameFields raw;
  raw.crc = true;
  raw.channelMode = 1;
  raw.extension = 2;
  raw.copyright = true;
  raw.original = true;
  raw.emphasis = 3;
  h = Decode(raw);
  EXPECT_TRUE(h.protection);
  EXPECT_EQ(h.channelmode, 1);
  EXPECT_EQ(h.extension, 2);
  EXPECT_TRUE(h.copyright);
  EXPECT_TRUE(h.original);
  EXPECT_EQ(h.emphasis, 3);
}

TEST(MpegHeader, RejectsReservedAndBadValues) {
  FrameFields reservedVersion;
  reservedVersion.versionBits = 1;
  EXPECT_FALSE(Decode(reservedVersion).valid);
  FrameFields reservedLayer;
  reservedLayer.layerBits = 0;
  EXPECT_FALSE(Decode(reservedLayer).valid);
  EXPECT_FALSE(Decode(FrameFields().bitrate(15)).valid);
  const TMpegFrameHeader badRate = Decode(FrameFields().rate(3));
  EXPECT_FALSE(badRate.valid);
  EXPECT_EQ(badRate.framelength, 0xFFFF);
  // Free format: bitrate 0, so the length is the padding alone.
  EXPECT_FALSE(Decode(FrameFields().bitrate(0)).valid);
  EXPECT_TRUE(Decode(FrameFields().bitrate(0).padded()).valid);
  const uint8_t noSync[4] = {0xFF, 0xDB, 0x90, 0x00};
  EXPECT_FALSE(DecodeMpegFrameHeader(noSync).valid);
}

TEST(MpegHeader, LayerTwoBitrateAndModeRules) {
  const FrameFields l2 = FrameFields().layer(2);
  for (uint8_t index : {1, 2, 3, 5}) {  // 32, 48, 56, 80 kbit/s: mono only
    EXPECT_FALSE(Decode(FrameFields(l2).bitrate(index)).valid) << int(index);
    EXPECT_TRUE(Decode(FrameFields(l2).bitrate(index).mono()).valid) << int(index);
  }
  for (uint8_t index : {11, 12, 13, 14}) {  // 224..384 kbit/s: not in mono
    EXPECT_TRUE(Decode(FrameFields(l2).bitrate(index)).valid) << int(index);
    EXPECT_FALSE(Decode(FrameFields(l2).bitrate(index).mono()).valid) << int(index);
  }
  EXPECT_TRUE(Decode(FrameFields(l2).bitrate(4)).valid);  // 64 kbit/s either way
  EXPECT_TRUE(Decode(FrameFields(l2).bitrate(4).mono()).valid);
  // The rule belongs to MPEG-1: MPEG-2 Layer II at 32 kbit/s in stereo is fine.
  const TMpegFrameHeader mpeg2 = Decode(FrameFields().mpeg2().layer(2).bitrate(4));
  EXPECT_EQ(mpeg2.bitrate, 32);
  EXPECT_TRUE(mpeg2.valid);
}

TEST(MpegInfo, ShortStreamHasNoFrame) {
  const Loaded l = Load("\xFF\xFB\x90");
  EXPECT_EQ(l.result, MPEGERR_NoFrame);
  EXPECT_FALSE(l.info.Valid());
  EXPECT_EQ(l.info.Filesize(), 3);
  EXPECT_EQ(l.info.FirstHeaderPosition(), -1);
}

TEST(MpegInfo, ConstantBitrateArithmetic) {
  const std::string audio = MpegFrames(FrameFields(), 400);  // 166800 bytes
  const Loaded l = Load(audio);
  ASSERT_EQ(l.result, MP3ERR_None);
  EXPECT_TRUE(l.info.Valid());
  EXPECT_FALSE(l.info.Vbr());
  EXPECT_EQ(l.info.FirstHeaderPosition(), 0);
  EXPECT_EQ(l.info.Bitrate(), 128);
  EXPECT_EQ(l.info.Frames(), 400);
  EXPECT_EQ(l.info.Dauer(), 10);  // 166800 x 8 / 128000 = 10.4
  EXPECT_EQ(l.info.Duration(), l.info.Dauer());
  EXPECT_EQ(l.info.Samplerate(), 44100);

  // Trailing bytes (an ID3v1 tag, say) count as audio: frames are
  // truncate((S - P) / F) with F of the accepted frame.
  const Loaded padded = Load(MpegFrame(FrameFields().padded()) + audio + std::string(300, 'x'));
  ASSERT_EQ(padded.result, MP3ERR_None);
  EXPECT_EQ(padded.info.Frames(), (418 + 166800 + 300) / 418);
}

TEST(MpegInfo, FalseSyncIsSkipped) {
  // A header-looking word followed by garbage: its second header is missing.
  std::string bytes = std::string("\xFF\xFB\x90\x00", 4) + std::string(100, '\x11');
  bytes += MpegFrames(FrameFields(), 20);
  const Loaded l = Load(bytes);
  ASSERT_EQ(l.result, MP3ERR_None);
  EXPECT_EQ(l.info.FirstHeaderPosition(), 104);
  EXPECT_EQ(l.info.Frames(), (int32_t(bytes.size()) - 104) / 417);
}

TEST(MpegInfo, ThirdFrameMustStartWithSync) {
  const std::string two = MpegFrames(FrameFields(), 2);
  EXPECT_EQ(Load(two + std::string(10, '\0')).result, MPEGERR_NoFrame);
  // The third frame's sync needs three bytes of it inside the stream.
  EXPECT_EQ(Load(two + "\xFF\xFB").result, MPEGERR_NoFrame);
  const Loaded l = Load(two + "\xFF\xFB\x90");
  EXPECT_EQ(l.result, MP3ERR_None);
  EXPECT_EQ(l.info.FirstHeaderPosition(), 0);
}

TEST(MpegInfo, SearchStartsAtStreamPosition) {
  const std::string bytes = std::string(50, '\0') + MpegFrames(FrameFields(), 5);
  const Loaded l = Load(bytes, 20);
  ASSERT_EQ(l.result, MP3ERR_None);
  EXPECT_EQ(l.info.FirstHeaderPosition(), 50);
  // The frame count runs from the accepted frame; the file size is the stream's.
  EXPECT_EQ(l.info.Filesize(), int64_t(bytes.size()));
  EXPECT_EQ(Load(bytes, int64_t(bytes.size()) + 10).result, MPEGERR_NoFrame);
}

TEST(MpegInfo, FrameFoundBeyondTheFirstWindow) {
  // Far beyond 512 bytes, after bytes that keep forcing window refills.
  std::string bytes;
  for (int i = 0; i < 700; ++i) bytes += "\xFF\xF8";  // reserved layer: no header
  bytes += MpegFrames(FrameFields().mono(), 4);
  const Loaded l = Load(bytes);
  ASSERT_EQ(l.result, MP3ERR_None);
  EXPECT_EQ(l.info.FirstHeaderPosition(), 1400);
  EXPECT_EQ(l.info.Channelmode(), 3);
}

TEST(MpegInfo, ManyCandidatesThatFailLate) {
  // Every sixth byte starts a valid Layer I header (448-byte frames) whose
  // next header never follows; the real stream starts after 24000 bytes.
  std::string bytes;
  for (int i = 0; i < 4000; ++i) bytes += std::string("\xFF\xFF\xE4\x00\x00\x00", 6);
  bytes += MpegFrames(FrameFields(), 3);
  const Loaded l = Load(bytes);
  ASSERT_EQ(l.result, MP3ERR_None);
  EXPECT_EQ(l.info.FirstHeaderPosition(), 24000);
  EXPECT_EQ(l.info.Layer(), 3);
}

TEST(MpegInfo, XingHeader) {
  // Xing frame (417 bytes) then 100 frames: A = 41700 bytes behind it.
  const std::string tail = MpegFrames(FrameFields(), 100);
  const Loaded l = Load(mp3build::XingFrame(FrameFields(), 1000) + tail);
  ASSERT_EQ(l.result, MP3ERR_None);
  EXPECT_TRUE(l.info.Vbr());
  EXPECT_EQ(l.info.FirstHeaderPosition(), 0);
  EXPECT_EQ(l.info.Frames(), 1000);
  EXPECT_EQ(l.info.Bitrate(), 12);  // 44.1 x 41700 / (1000 x 144) = 12.77
  EXPECT_EQ(l.info.Dauer(), 27);    // 41700 x 8 / 12000 = 27.8

  // Mono and MPEG-2 frames keep the header at their own offsets.
  const FrameFields mono = FrameFields().mono();
  const Loaded m = Load(mp3build::XingFrame(mono, 50) + MpegFrames(mono, 10));
  EXPECT_TRUE(m.info.Vbr());
  EXPECT_EQ(m.info.Frames(), 50);
  const FrameFields mpeg2 = FrameFields().mpeg2().bitrate(8).rate(1);  // 192-byte frames
  const Loaded v2 = Load(mp3build::XingFrame(mpeg2, 30) + MpegFrames(mpeg2, 50));
  EXPECT_TRUE(v2.info.Vbr());
  EXPECT_EQ(v2.info.Frames(), 30);
  EXPECT_EQ(v2.info.Bitrate(), 106);  // 24 x 9600 / (30 x 72) = 106.7
}

TEST(MpegInfo, XingWithoutFrameCountFallsBackToNextFrame) {
  const std::string bytes = mp3build::XingFrame(FrameFields(), 0, false) + MpegFrames(FrameFields(), 10);
  const Loaded l = Load(bytes);
  ASSERT_EQ(l.result, MP3ERR_None);
  EXPECT_FALSE(l.info.Vbr());
  EXPECT_EQ(l.info.FirstHeaderPosition(), 417);
  EXPECT_EQ(l.info.Frames(), 10);
}

TEST(MpegInfo, VbriHeaderNeedsNoSecondFrame) {
  const std::string bytes = mp3build::VbriFrame(FrameFields(), 2) + std::string(10000, '\0');
  const Loaded l = Load(bytes);
  ASSERT_EQ(l.result, MP3ERR_None);
  EXPECT_TRUE(l.info.Vbr());
  EXPECT_EQ(l.info.Frames(), 2);
  EXPECT_EQ(l.info.Bitrate(), 1531);  // 44.1 x 10000 / (2 x 144)
  EXPECT_EQ(l.info.Dauer(), 0);
  // A zero frame count is no usable header.
  EXPECT_EQ(Load(mp3build::VbriFrame(FrameFields(), 0) + std::string(100, '\0')).result, MPEGERR_NoFrame);
}

TEST(MpegInfo, VbrBitrateBeyondSixteenBitsIsNotTaken) {
  // 44.1 x 300000 / (1 x 144) = 91875 kbit/s does not fit the field: the
  // header is passed over as one whose bitrate is 0 is.
  EXPECT_EQ(Load(mp3build::VbriFrame(FrameFields(), 1) + std::string(300000, '\0')).result, MPEGERR_NoFrame);
  // 44.1 x 200000 / (1 x 144) = 61250 still does.
  const Loaded l = Load(mp3build::VbriFrame(FrameFields(), 1) + std::string(200000, '\0'));
  ASSERT_EQ(l.result, MP3ERR_None);
  EXPECT_EQ(l.info.Bitrate(), 61250);
}

TEST(MpegInfo, FreeFormatIsNeverAccepted) {
  const FrameFields free = FrameFields().bitrate(0).padded();
  std::string bytes;
  for (int i = 0; i < 50; ++i) bytes += MpegHeader(free) + std::string(400, '\0');
  EXPECT_EQ(Load(bytes).result, MPEGERR_NoFrame);
  // Back-to-back one-byte "frames" pass the header chain but not the arithmetic.
  std::string chain;
  for (int i = 0; i < 20; ++i) chain += MpegHeader(free);
  EXPECT_EQ(Load(chain).result, MPEGERR_NoFrame);
}

TEST(MpegInfo, LayerTwoStreams) {
  const FrameFields stereo32 = FrameFields().layer(2).bitrate(1);
  EXPECT_EQ(Load(MpegFrames(stereo32, 5)).result, MPEGERR_NoFrame);
  const Loaded mono = Load(MpegFrames(FrameFields(stereo32).mono(), 5));
  EXPECT_EQ(mono.result, MP3ERR_None);
  EXPECT_EQ(mono.info.Layer(), 2);
  const Loaded mpeg2 = Load(MpegFrames(FrameFields().mpeg2().layer(2).bitrate(4), 5));
  EXPECT_EQ(mpeg2.result, MP3ERR_None);
  EXPECT_EQ(mpeg2.info.Bitrate(), 32);
}

TEST(MpegInfo, LoadFromFile) {
  TMpegInfo info;
  EXPECT_EQ(info.LoadFromFile("/nonexistent/file.mp3"), MP3ERR_NoFile);
}
