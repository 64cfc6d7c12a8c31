// Seeds for fuzz_ape: the first byte picks the extension (0 .ape, 1 .wv,
// 2 .mpc, 3 .ofr, 4 .tta), the rest is a small file of that format.
#include "ApeBuilders.h"
#include "ApeStreamBuilders.h"
#include "RiffAsfBuilders.h"
#include "Seeds.h"

namespace {

std::string Seed(char extension, const std::string& file) { return std::string(1, extension) + file; }

// Stream bytes padded with some audio-like filler, then an APE tag with
// text, binary and picture items, and optionally an ID3v1 tag.
std::string Tagged(const std::string& stream, bool withId3v1) {
  using namespace apebuild;
  std::string file = stream + std::string(64, '\x55');
  file += ApeTag({ApeItem("Title", "Seed"), ApeItem("Artist", "Fuzz"), ApeItem("Genre", "Noise"),
                  ApeItem("Related", "http://example.org", kExternal), ApeItem("Blob", "\x01\x02", kBinary),
                  ApePictureItem("Cover Art (Front)", "front", "\xff\xd8\xff\xe0")});
  if (withId3v1) file += Id3v1Tag();
  return file;
}

std::vector<std::string> Build() {
  using namespace apestream;
  OfrFields mono;
  mono.channelMode = 0;
  mono.sampleType = 8;
  return {
      Seed(0, Tagged(apebuild::MacDescriptorStream({}), false)),
      Seed(0, Tagged(apebuild::MacOldStream(3970, 2000, 0x20, 2, 44100, 10, 1000, 12345), true)),
      Seed(1, Tagged(apebuild::WvBlockHeader(44100, apebuild::WvRateIndex(9)) + "\x65\x02\x08\x00", false)),
      Seed(1, riffbuild::Wave({riffbuild::Fmt(2, 44100, 176400, 4, 16),
                               riffbuild::Chunk("data", apebuild::WvOldHeader(3, 1, 0x0010, 44100))})),
      Seed(2, Tagged(MpcSV7Header(10000), true)),
      Seed(2, Tagged(MpcSV8Header(4410000, 0, 0, 2, true), false)),
      Seed(2, Tagged(MpcOldHeader(7, 5000, true), false)),
      Seed(3, Tagged(OfrHeader(), false)),
      Seed(3, apebuild::Id3v2Tag(20) + Tagged(OfrHeader(mono), true)),
      Seed(4, Tagged(TtaHeader(2, 16, 44100, 441000), false)),
      Seed(4, apebuild::Id3v2Tag(20) + Tagged(TtaHeader(1, 24, 96000, 96000), true)),
  };
}

const SeedSet kApeSeeds("ape", Build());

}  // namespace
