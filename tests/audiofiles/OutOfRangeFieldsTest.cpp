// Stream headers whose rates, counts and sizes do not fit the readers'
// signed figures: every reader reports them as unknown (0), never as a
// negative or wrapped number.
#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "ApeBuilders.h"
#include "ApeStreamBuilders.h"
#include "MonkeyFiles.h"
#include "MusePackFiles.h"
#include "OggFlacBuilders.h"
#include "OggVorbisFiles.h"
#include "ReadBytes.h"
#include "RiffAsfBuilders.h"
#include "TrueAudioFiles.h"
#include "WavPackFiles.h"
#include "WmaFiles.h"

namespace {

struct Case {
  const char* what;
  std::function<std::unique_ptr<TBaseAudioFile>()> reader;
  std::string bytes;
  int32_t samplerate, bitrate, duration;
};

template <typename Reader>
std::function<std::unique_ptr<TBaseAudioFile>()> As() {
  return [] { return std::make_unique<Reader>(); };
}

const std::string kAudio(10000, '\x5A');

std::string Wma(uint32_t sampleRate, uint32_t byteRate) {
  using namespace asfbuild;
  return File(Header({FileProperties(128000), StreamProperties(2, sampleRate, byteRate)}), 60000);
}

std::string Ogg(uint32_t nominal) {
  oggflac::OggFileParams p;
  p.id.nominal = nominal;
  p.lastGranule = -1;  // no length from the last page: the nominal rate answers
  return oggflac::OggVorbisFile(p);
}

}  // namespace

TEST(OutOfRangeFields, AreUnknownRatherThanNegative) {
  using namespace apebuild;
  using apestream::MpcSV7Header;
  using apestream::MpcSV8Header;
  using apestream::TtaHeader;
  apebuild::MacHeader rate;
  rate.sampleRate = 0x80000000;
  apebuild::MacHeader samples;
  samples.blocksPerFrame = samples.totalFrames = samples.finalFrameBlocks = 0xFFFFFFFF;
  // Tags that claim more than the file holds: an ID3v2 tag in front, an
  // APE tag without items reaching back over it.
  const std::string front = Id3v2Tag(2000) + WvBlockHeader(441000, WvRateIndex(9)) + kAudio;
  const std::string overlapping = front + ApeHeader(static_cast<uint32_t>(front.size()), 0, 0);

  const std::vector<Case> cases = {
      {"True Audio, rate 2^31", As<TTrueAudioFile>(), TtaHeader(2, 16, 0x80000000, 441000).str() + kAudio, 0, 0, 0},
      {"True Audio, rate 2^32 - 1", As<TTrueAudioFile>(), TtaHeader(2, 16, 0xFFFFFFFF, 441000).str() + kAudio, 0, 0, 0},
      {"WMA, rate 2^31, bytes/s x 8 = 2^32", As<TWMAfile>(), Wma(0x80000000, 0x20000000), 0, 0, 4},
      {"WMA, bytes/s x 8 = 2^31", As<TWMAfile>(), Wma(44100, 0x10000000), 44100, 0, 4},
      {"Monkey's Audio, rate 2^31", As<TMonkeyFile>(), MacDescriptorStream(rate) + kAudio, 0, 0, 0},
      {"Monkey's Audio, samples beyond 2^63", As<TMonkeyFile>(), MacDescriptorStream(samples) + kAudio, 44100, 0, 0},
      {"WavPack, tags larger than the file", As<TWavPackFile>(), overlapping, 44100, 0, 10},
      {"Musepack SV7, 2^31 frames", As<TMusePackFile>(), MpcSV7Header(0x80000000).str() + kAudio, 44100, 0, 0},
      {"Musepack SV8, samples beyond 2^63", As<TMusePackFile>(),
       MpcSV8Header(~uint64_t{44'099'999}, 0, 0, 2, true).str() + kAudio, 44100, 0, 0},
      {"Ogg Vorbis, nominal rate -5 kbit/s", As<TOggVorbisFile>(), Ogg(0xFFFFEC78), 44100, 0, 0},
      {"Ogg Vorbis, nominal rate beyond 65,535 kbit/s", As<TOggVorbisFile>(), Ogg(70'000'000), 44100, 0, 0},
  };
  for (const Case& c : cases) {
    const auto reader = c.reader();
    testsupport::ReadFromBytes(*reader, c.bytes);
    EXPECT_EQ(reader->Samplerate(), c.samplerate) << c.what;
    EXPECT_EQ(reader->Bitrate(), c.bitrate) << c.what;
    EXPECT_EQ(reader->Duration(), c.duration) << c.what;
    EXPECT_GE(reader->Channels(), 0) << c.what;
  }
}
