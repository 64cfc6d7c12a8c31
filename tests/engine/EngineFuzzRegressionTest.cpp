// The engine fuzz target's findings, each kept as a named input and
// replayed through the target's own driver (fuzz/EngineCalls.h), which
// checks every answer against what bass.h promises.
#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "EngineCalls.h"
#include "EngineTestSupport.h"

using namespace enginetest;
using testsupport::Bytes;

namespace {

using namespace enginecalls;  // the operations
// Sources, in the order EngineCalls::WriteSources makes them.
constexpr uint8_t kStereoWav = 0, kMonoWav = 1;
// Indexes into the value table of EngineCalls' Float().
constexpr uint8_t kZero = 0, kOne = 2, kTen = 5, k100Hz = 9, k1000Hz = 11, k8000Hz = 12, k16000Hz = 15, k36 = 17,
                  kGain15 = 19, kGainMinus15 = 21, k12 = 23;

std::string FromHex(std::string_view hex) {
  std::string bytes;
  for (size_t i = 0; i + 1 < hex.size(); i += 2)
    bytes += static_cast<char>(std::stoi(std::string(hex.substr(i, 2)), nullptr, 16));
  return bytes;
}

struct Named {
  const char* name;
  std::string bytes;
};

class EngineFuzzFindings : public SilentDeviceTest {
 protected:
  void Replay(const std::vector<Named>& inputs) {
    const std::vector<std::string> sources = enginecalls::WriteSources(fDir.path().string());
    ASSERT_GE(sources.size(), 2u);
    for (const Named& input : inputs) {
      const auto* data = reinterpret_cast<const uint8_t*>(input.bytes.data());
      EXPECT_EQ(enginecalls::Run(data, input.bytes.size(), sources, fDir.path().string()), "") << input.name;
    }
  }
};

TEST_F(EngineFuzzFindings, NamedInputsRunClean) {
  Replay({
      // Not findings: the shapes of input the target starts from.
      {"decode-only reads of odd sizes through two bands", Bytes()
                                                               .u8(0)
                                                               .u8(kOpen)
                                                               .u8(kStereoWav)
                                                               .u8(1)
                                                               .u8(kAddBand)
                                                               .u8(1)
                                                               .u8(0)
                                                               .u8(0)
                                                               .u8(kSetBand)
                                                               .u8(k1000Hz)
                                                               .u8(k12)
                                                               .u8(kGain15)
                                                               .u8(0)
                                                               .u8(kAddBand)
                                                               .u8(1)
                                                               .u8(0)
                                                               .u8(5)
                                                               .u8(kSetBand)
                                                               .u8(k8000Hz)
                                                               .u8(k36)
                                                               .u8(kGainMinus15)
                                                               .u8(1)
                                                               .u8(kRead)
                                                               .u16le(1001)
                                                               .u8(0)
                                                               .u8(0)
                                                               .u8(0)
                                                               .u8(kRead)
                                                               .u16le(4097)
                                                               .u8(0)
                                                               .u8(1)
                                                               .u8(0)
                                                               .u8(kFigures)
                                                               .u8(0)
                                                               .u8(kReadToEnd)
                                                               .u8(0)
                                                               .u8(kFigures)
                                                               .u8(0)},
      {"a mono stream's band at the top of the range is refused (above a third of 22050 Hz)", Bytes()
                                                                                                  .u8(0)
                                                                                                  .u8(kOpen)
                                                                                                  .u8(kMonoWav)
                                                                                                  .u8(1)
                                                                                                  .u8(kAddBand)
                                                                                                  .u8(1)
                                                                                                  .u8(0)
                                                                                                  .u8(0)
                                                                                                  .u8(kSetBand)
                                                                                                  .u8(k16000Hz)
                                                                                                  .u8(k12)
                                                                                                  .u8(kGain15)
                                                                                                  .u8(0)
                                                                                                  .u8(kGetBand)
                                                                                                  .u8(0)
                                                                                                  .u8(kReadToEnd)
                                                                                                  .u8(0)
                                                                                                  .u8(kFigures)
                                                                                                  .u8(0)},
      {"rate slid to 100 Hz and volume to 0, read to the end", Bytes()
                                                                   .u8(0)
                                                                   .u8(kOpen)
                                                                   .u8(kMonoWav)
                                                                   .u8(1)
                                                                   .u8(kSetAttribute)
                                                                   .u8(2)
                                                                   .u8(0)
                                                                   .u8(kTen)
                                                                   .u8(kSlide)
                                                                   .u8(1)
                                                                   .u8(0)
                                                                   .u8(k100Hz)
                                                                   .u16le(300)
                                                                   .u8(kSlide)
                                                                   .u8(2)
                                                                   .u8(0)
                                                                   .u8(kZero)
                                                                   .u16le(100)
                                                                   .u8(kReadToEnd)
                                                                   .u8(0)
                                                                   .u8(kFigures)
                                                                   .u8(0)
                                                                   .u8(kSeconds)
                                                                   .u8(0)
                                                                   .u32le(1500)
                                                                   .u8(0)
                                                                   .u32le(7)
                                                                   .u16le(9)},
      {"a played stream paused, slid, restarted, stopped and freed", Bytes()
                                                                         .u8(0)
                                                                         .u8(kOpen)
                                                                         .u8(kStereoWav)
                                                                         .u8(0)
                                                                         .u8(kPlay)
                                                                         .u8(0)
                                                                         .u8(0)
                                                                         .u8(kStates)
                                                                         .u8(0)
                                                                         .u8(2)
                                                                         .u8(0)
                                                                         .u8(kPause)
                                                                         .u8(0)
                                                                         .u8(kSlide)
                                                                         .u8(2)
                                                                         .u8(0)
                                                                         .u8(kOne)
                                                                         .u16le(200)
                                                                         .u8(kPlay)
                                                                         .u8(0)
                                                                         .u8(1)
                                                                         .u8(kFigures)
                                                                         .u8(0)
                                                                         .u8(kStop)
                                                                         .u8(0)
                                                                         .u8(kRemoveBand)
                                                                         .u8(0)
                                                                         .u8(0)
                                                                         .u8(kOddArguments)
                                                                         .u8(0xFF)
                                                                         .u32le(12345)
                                                                         .u8(0)
                                                                         .u16le(7)
                                                                         .u8(kFree)
                                                                         .u8(0)},
      // Findings.
      {"an Opus file whose links' granules measure a length of no known rate (the length's "
       "conversion divided by zero)",
       FromHex("01064f676753000200000000000000000c9d902600000000bb5f1bd501134f7075734865616401013801c05d00000000"
               "004f676753000000000000000000000c9d90260100000091bb6732013e4f707573546167730d0000004c61766635392e"
               "32372e313030010000001d000000656e636f6465723d4c61766335392e33372e313030206c69626f7075734f67675300"
               "f7ffffff00000000000c9d90264f676753000000000000000000000c9d90260100000091bb6732013e4f707573546167"
               "730d0000004c61766635392e32372e313030010000001d000000656e636f6465723d4c61766335392e33372e31303020"
               "6c69626f7075734e")},
  });
}

}  // namespace
