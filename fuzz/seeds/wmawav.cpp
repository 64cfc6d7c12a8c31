// Seeds for fuzz_wma and fuzz_wav, made with the test builders.
#include "RiffAsfBuilders.h"
#include "Seeds.h"

namespace {

using namespace asfbuild;

std::vector<std::string> WmaSeeds() {
  const std::string tags = ExtendedContentDescription({
      StringDescriptor(u"WM/AlbumTitle", u"Album"),
      StringDescriptor(u"WM/Year", u"2004"),
      DwordDescriptor(u"WM/TrackNumber", 7),
      {TextZ(u"WM/Picture"), 1, std::string(12, 'x')},
  });
  return {
      File(Header({FileProperties(128000), StreamProperties(2, 44100, 16000),
                   ContentDescription(TextZ(u"Title"), TextZ(u"Artist"), TextZ(u"(c)"), TextZ(u"Comment"), TextZ(u"")),
                   tags})),
      File(Header({tags, StreamProperties(6, 48000, 24000)}, 0x7FFFFFFF)),
      Header({ContentDescription(Text(std::u16string(300, u'a')), "", "", "", ""), FileProperties(1)}),
      "\xFF\xFB\x90\x64",
  };
}

std::vector<std::string> WavSeeds() {
  using namespace riffbuild;
  const std::string fmt = PcmFmt(2, 44100, 16);
  return {
      Wave({fmt, Chunk("LIST", testsupport::Bytes("INFOINAM").u32le(4).raw("Name")), DataHead(64, 64)}),
      Wave({DataHead(0xFFFFFFFF, 8), Fmt(6, 48000, 0, 0, 24, 0xFFFE)}),
      Wave({fmt, Chunk("junk", "abc"), std::string(1, '\0'), DataHead(0x80000000)}),
      Wave({Chunk("junk", "", 0xFFFFFFF8), fmt}),
  };
}

SeedSet wmaSeeds("wma", WmaSeeds());
SeedSet wavSeeds("wav", WavSeeds());

}  // namespace
