// Stream lengths: what the engine says when a file opens must be what it
// then decodes, for files made by the real encoders, and the walkers that
// measure lengths must hold up on frames, pages and headers built here.
#include <gtest/gtest.h>

#include <cstring>

#include "EngineTestSupport.h"
#include "StreamLength.h"

using namespace enginetest;
using testsupport::Bytes;
using testsupport::Shell;
using namespace std::string_literals;

namespace {

class StreamLength : public SilentDeviceTest {};

std::string Q(const std::string& s) { return "'" + s + "'"; }

// The rows: how the file is made from a WAV tone, and one codec frame of
// the format, in samples, as the tolerance.
struct Encoding {
  const char* name;
  const char* program;  // must be installed
  const char* command;  // %i: the WAV, %o: the file made
  int frameSamples;
  int links = 1;  // copies of the tone chained in the file
};

std::string Expand(std::string command, const std::string& in, const std::string& out) {
  for (size_t at; (at = command.find("%i")) != std::string::npos;) command.replace(at, 2, Q(in));
  for (size_t at; (at = command.find("%o")) != std::string::npos;) command.replace(at, 2, Q(out));
  return command;
}

TEST_F(StreamLength, IsWhatTheStreamDecodesToForEveryEncoder) {
  const Encoding encodings[] = {
      {"xing.mp3", "lame", "lame --quiet -V 4 %i %o", 1152},
      {"noxing.mp3", "lame", "lame --quiet -V 4 -t %i %o", 1152},
      {"cbr-noxing.mp3", "lame", "lame --quiet -b 128 -t %i %o", 1152},
      {"layer2.mp2", "ffmpeg", "ffmpeg -nostdin -v error -y -i %i -c:a mp2 %o", 1152},
      {"chained.ogg", "oggenc", "oggenc -Q %i -o %o.a && oggenc -Q %i -o %o.b && cat %o.a %o.b %o.a > %o", 2048, 3},
      {"sv8.mpc", "mpcenc", "mpcenc --silent %i %o", 1152},
      {"tone.flac", "flac", "flac -s -f %i -o %o", 4608},
      {"tone.wv", "wavpack", "wavpack -q %i -o %o", 1},
      {"tone.ape", "jmac", "jmac c2 %i %o >/dev/null 2>&1", 1},
      {"tone.wma", "ffmpeg", "ffmpeg -nostdin -v error -y -i %i -c:a wmav2 %o", 2048},
      {"tone.wav", "cp", "cp %i %o", 0},
      {"opus.opus", "ffmpeg", "ffmpeg -nostdin -v error -y -i %i -c:a libopus %o", 960},
      {"chained.opus", "ffmpeg", "ffmpeg -nostdin -v error -y -i %i -c:a libopus -f ogg %o.a && cat %o.a %o.a > %o",
       960, 2},
      {"aac.m4a", "ffmpeg", "ffmpeg -nostdin -v error -y -i %i -c:a aac %o", 1024},
      {"adts.aac", "ffmpeg", "ffmpeg -nostdin -v error -y -i %i -c:a aac -f adts %o", 1024},
      {"tone.aiff", "ffmpeg", "ffmpeg -nostdin -v error -y -i %i %o", 0},
      {"tone.tta", "ffmpeg", "ffmpeg -nostdin -v error -y -i %i -c:a tta %o", 1},
  };
  // An odd length, so that no format ends on a frame boundary by chance.
  const std::string wav = ToneFile(fDir, "source.wav", 440, 2.37, 44100, 2);
  for (const Encoding& e : encodings) {
    SCOPED_TRACE(e.name);
    if (!testsupport::HaveProgram(e.program)) {
      ADD_FAILURE() << e.program << " is not installed (scripts/install-deps installs it)";
      continue;
    }
    const std::string path = fDir.file(e.name);
    ASSERT_TRUE(Shell(Expand(e.command, wav, path))) << e.command;
    const HSTREAM h = BASS_StreamCreateFile(FALSE, path.c_str(), 0, 0, BASS_STREAM_DECODE);
    ASSERT_NE(h, 0u) << BASS_ErrorGetCode();
    const double stated = BASS_ChannelBytes2Seconds(h, BASS_ChannelGetLength(h, BASS_POS_BYTE));
    const std::vector<float> all = ReadAll(h);
    const double decoded = BASS_ChannelBytes2Seconds(h, all.size() * 2);
    const int rate = static_cast<int>(std::lround(BASS_ChannelSeconds2Bytes(h, 1.0) / 4));
    const double frame = static_cast<double>(std::max(e.frameSamples, 1)) / rate;
    EXPECT_NEAR(stated, decoded, frame) << "stated " << stated << " s, decoded " << decoded << " s";
    // Whatever the encoder added, the decoded sound is the tone's length
    // (once per link of a chain).
    EXPECT_NEAR(decoded, 2.37 * e.links, 0.08 * e.links);
    BASS_StreamFree(h);
  }
}

// ---- The walkers on bytes built here ----------------------------------------

quav::ByteReader Reader(const std::string& bytes) {
  return quav::ByteReader(
      [bytes](int64_t offset, uint8_t* out, size_t n) -> size_t {
        if (offset >= static_cast<int64_t>(bytes.size())) return 0;
        const size_t got = std::min(n, bytes.size() - static_cast<size_t>(offset));
        std::memcpy(out, bytes.data() + offset, got);
        return got;
      },
      static_cast<int64_t>(bytes.size()));
}

// An MPEG-1 Layer III frame at 128 kbit/s, 44.1 kHz: 417 bytes (418 padded).
std::string Mp3Frame(bool padded = false) {
  Bytes f;
  f.u8(0xFF).u8(0xFB).u8(0x90 | (padded ? 0x02 : 0)).u8(0x64);
  f.fill(padded ? 414 : 413, 0x55);
  return f.str();
}

TEST(MpegFrameWalk, CountsFramesPastTagsDamageAndTrailers) {
  const auto h = quav::ParseMpegFrameHeader(reinterpret_cast<const uint8_t*>(Mp3Frame().data()));
  ASSERT_TRUE(h);
  EXPECT_EQ(h->frameBytes, 417);
  EXPECT_EQ(h->samplesPerFrame, 1152);
  EXPECT_EQ(h->sampleRate, 44100);
  // MPEG-2 Layer III at 64 kbit/s, 22.05 kHz: 576 samples in 208 bytes;
  // MPEG-1 Layer I at 32 kbit/s, 48 kHz: 384 samples in 32 bytes.
  const uint8_t mpeg2[] = {0xFF, 0xF3, 0x80, 0x00};
  EXPECT_EQ(quav::ParseMpegFrameHeader(mpeg2)->frameBytes, 208);
  EXPECT_EQ(quav::ParseMpegFrameHeader(mpeg2)->samplesPerFrame, 576);
  const uint8_t layer1[] = {0xFF, 0xFF, 0x14, 0x00};
  EXPECT_EQ(quav::ParseMpegFrameHeader(layer1)->frameBytes, 32);
  // Free format, a bad bitrate, a reserved rate or version: not frames.
  for (const auto& bad : {std::array<uint8_t, 4>{0xFF, 0xFB, 0x00, 0x00},
                          {0xFF, 0xFB, 0xF0, 0x00},
                          {0xFF, 0xFB, 0x9C, 0x00},
                          {0xFF, 0xEB, 0x90, 0x00},
                          {0xFF, 0xF9, 0x90, 0x00}})
    EXPECT_FALSE(quav::ParseMpegFrameHeader(bad.data()));

  Bytes file;
  file.raw("ID3").u8(3).u8(0).u8(0).syncsafe(300).fill(300, 0xFF);  // a tag full of sync bytes
  for (int i = 0; i < 10; ++i) file.raw(Mp3Frame(i % 3 == 0));
  file.fill(100, 0xFF);  // damage
  for (int i = 0; i < 5; ++i) file.raw(Mp3Frame());
  file.raw("TAG").fill(125, 0x20);
  auto reader = Reader(file.str());
  EXPECT_EQ(quav::CountMpegSamples(reader), 15 * 1152);

  // A lone header-like word in noise is no stream.
  auto noise = Reader(std::string("\xFF\xFB\x90\x64", 4) + std::string(2000, 'x'));
  EXPECT_FALSE(quav::CountMpegSamples(noise));
  auto empty = Reader("");
  EXPECT_FALSE(quav::CountMpegSamples(empty));
}

// One Ogg page (no checksum: the walk does not need one).
std::string OggPage(uint32_t serial, uint8_t type, int64_t granule, const std::string& body) {
  Bytes p;
  p.raw("OggS").u8(0).u8(type).u64le(static_cast<uint64_t>(granule)).u32le(serial).u32le(0).u32le(0);
  std::string lacing(body.size() / 255, '\xFF');
  lacing += static_cast<char>(body.size() % 255);
  p.u8(static_cast<uint32_t>(lacing.size())).raw(lacing).raw(body);
  return p.str();
}

std::string VorbisId(uint32_t rate) { return Bytes().raw("\x01vorbis").u32le(0).u8(2).u32le(rate).fill(13, 0).str(); }
std::string OpusHead(uint16_t preSkip) {
  return Bytes().raw("OpusHead").u8(1).u8(2).u16le(preSkip).u32le(48000).fill(3, 0).str();
}

TEST(OggPageWalk, AddsChainedLinksAndRefusesMultiplexedOnes) {
  // Two chained Vorbis links (the second at another rate), a page of damage
  // between them, and a page cut off by the end.
  Bytes chained;
  chained.raw(OggPage(1, 2, 0, VorbisId(44100))).raw(OggPage(1, 0, 22050, "a")).raw(OggPage(1, 4, 44100, "b"));
  chained.raw("garbage");
  chained.raw(OggPage(2, 2, 0, VorbisId(22050))).raw(OggPage(2, 0, -1, "c")).raw(OggPage(2, 4, 11025, "d"));
  const std::string cut = OggPage(2, 0, 999999, std::string(300, 'e'));
  chained.raw(cut.substr(0, 100));
  auto reader = Reader(chained.str());
  EXPECT_EQ(quav::CountOggSamples(reader, "vorbis", 44100), 44100 + 22050);
  EXPECT_FALSE(quav::CountOggSamples(reader, "opus", 48000));

  // Opus: the pre-skip of each link comes off.
  Bytes opus;
  opus.raw(OggPage(7, 2, 0, OpusHead(312))).raw(OggPage(7, 4, 48312, "x"));
  opus.raw(OggPage(8, 2, 0, OpusHead(100))).raw(OggPage(8, 4, 1100, "y"));
  auto opusReader = Reader(opus.str());
  EXPECT_EQ(quav::CountOggSamples(opusReader, "opus", 48000), 48000 + 1000);

  // Two Vorbis streams side by side: which one plays is not ours to guess.
  Bytes multiplexed;
  multiplexed.raw(OggPage(1, 2, 0, VorbisId(44100))).raw(OggPage(2, 2, 0, VorbisId(44100)));
  multiplexed.raw(OggPage(1, 4, 1000, "a")).raw(OggPage(2, 4, 2000, "b"));
  auto muxReader = Reader(multiplexed.str());
  EXPECT_FALSE(quav::CountOggSamples(muxReader, "vorbis", 44100));

  // Damage: a link's serial begun again by a page of no known codec, and
  // granules whose length, converted or added up, no count holds.
  const std::string first = OggPage(1, 2, 0, VorbisId(44100)) + OggPage(1, 4, 1000, "a");
  const int64_t huge = (int64_t{1} << 60) - 1;
  for (const std::string& damaged :
       {first + OggPage(1, 2, 0, "junk"), OggPage(1, 2, 0, VorbisId(1000)) + OggPage(1, 4, huge, "a"),
        first + OggPage(2, 2, 0, VorbisId(44100)) + OggPage(2, 4, huge, "b")}) {
    auto damagedReader = Reader(damaged);
    EXPECT_FALSE(quav::CountOggSamples(damagedReader, "vorbis", 48000));
  }
}

TEST(MusepackHeader, SampleCountFromTheStreamHeaderPacket) {
  // "MPCK", then packets: a two-letter key, a variable-length size that
  // counts the key and itself, the payload.
  Bytes sh;
  sh.raw("SH").u8(0x0E).u32le(0).u8(8).u8(0x88).u8(0x93).u8(0x77).u8(0).u8(0x1B).u8(0x1B);
  Bytes file;
  file.raw("MPCK").raw("XX").u8(5).fill(2, 0).append(sh).raw("AP").u8(3);
  auto reader = Reader(file.str());
  EXPECT_EQ(quav::CountMusepackSv8Samples(reader), 133623 + 481);
  // Audio before any stream header, a size past the end, no magic.
  for (const std::string& bad : {std::string("MPCKAP\x03SH"), std::string("MPCKXX\x7F"), std::string("MPCX")}) {
    auto r = Reader(bad);
    EXPECT_FALSE(quav::CountMusepackSv8Samples(r)) << bad;
  }
}

TEST(MagicBytes, NameADemuxerOnlyBeyondDoubt) {
  const std::string id3 = Bytes().raw("ID3").u8(4).u8(0).u8(0).syncsafe(20).fill(20, 0).str();
  std::string frames;
  for (int i = 0; i < 4; ++i) frames += Mp3Frame(i == 1);
  const std::string asf = "\x30\x26\xB2\x75\x8E\x66\xCF\x11\xA6\xD9\x00\xAA\x00\x62\xCE\x6C"s;
  const struct {
    std::string bytes;
    std::string_view demuxer;
  } rows[] = {
      {"fLaC\0\0\0\x22"s, "flac"},
      {id3 + "fLaC", "flac"},
      {"OggS\0\x02"s, "ogg"},
      {"OggS\x01", ""},
      {asf + "rest", "asf"},
      {"MAC \x96\x0f", "ape"},
      {"wvpk", "wv"},
      {"TTA1", "tta"},
      {"MPCK", "mpc8"},
      {"MP+\x17", "mpc"},
      {"MP+\x05", ""},
      {frames, "mp3"},
      {id3 + frames, "mp3"},
      {frames.substr(0, 1252) + "noise", ""},  // three frames: sync bytes any data may hold
      {"RIFF\x24\0\0\0WAVEfmt "s, ""},
      {"", ""},
  };
  for (const auto& row : rows) {
    auto reader = Reader(row.bytes);
    EXPECT_EQ(quav::DemuxerNamedBy(reader), row.demuxer) << testing::PrintToString(row.bytes.substr(0, 16));
  }
}

}  // namespace
