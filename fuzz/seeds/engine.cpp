// Seeds for fuzz_engine: a few programs of engine calls, and short files
// made by the real encoders behind the file mode's first two bytes
// (EngineCalls.h reads them).
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "../EngineCalls.h"
#include "Seeds.h"
#include "TestSupport.h"

namespace {

using testsupport::Bytes;

using namespace enginecalls;  // the operations

std::vector<std::string> CallSeeds() {
  std::vector<std::string> seeds;
  // A decode-only WAV with two bands, odd reads, figures, read to the end.
  seeds.push_back(Bytes()
                      .u8(0)
                      .u8(kOpen)
                      .u8(0)
                      .u8(1)
                      .u8(kAddBand)
                      .u8(1)
                      .u8(0)
                      .u8(0)
                      .u8(kSetBand)
                      .u8(11)
                      .u8(23)
                      .u8(19)
                      .u8(0)
                      .u8(kAddBand)
                      .u8(1)
                      .u8(0)
                      .u8(5)
                      .u8(kSetBand)
                      .u8(12)
                      .u8(17)
                      .u8(21)
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
                      .u8(kGetBand)
                      .u8(0)
                      .u8(kReadToEnd)
                      .u8(0)
                      .u8(kFigures)
                      .u8(0)
                      .u8(kFree)
                      .u8(0));
  // Rate and volume set and slid on a decode-only MP3 and FLAC, then read.
  seeds.push_back(Bytes()
                      .u8(0)
                      .u8(kOpen)
                      .u8(3)
                      .u8(1)
                      .u8(kOpen)
                      .u8(2)
                      .u8(1)
                      .u8(kSetAttribute)
                      .u8(1)
                      .u8(0)
                      .u8(12)
                      .u8(kSlide)
                      .u8(1)
                      .u8(1)
                      .u8(9)
                      .u16le(300)
                      .u8(kSlide)
                      .u8(2)
                      .u8(0)
                      .u8(0)
                      .u16le(100)
                      .u8(kRead)
                      .u16le(30000)
                      .u8(0)
                      .u8(0)
                      .u8(0)
                      .u8(kManyBands)
                      .u8(1)
                      .u8(5)
                      .u8(14)
                      .u8(18)
                      .u8(20)
                      .u8(12)
                      .u8(19)
                      .u8(22)
                      .u8(9)
                      .u8(17)
                      .u8(2)
                      .u8(3)
                      .u8(1)
                      .u8(10)
                      .u8(11)
                      .u8(0)
                      .u8(0)
                      .u8(kReadToEnd)
                      .u8(1)
                      .u8(kSeconds)
                      .u8(1)
                      .u32le(1500)
                      .u8(0)
                      .u32le(7)
                      .u16le(9)
                      .u8(kStates)
                      .u8(1)
                      .u8(2)
                      .u8(0)
                      .u8(kReadToEnd)
                      .u8(0)
                      .u8(kFigures)
                      .u8(0));
  // A played mono stream: play, pause, slide, stop, restart, free.
  seeds.push_back(Bytes()
                      .u8(0)
                      .u8(kOpen)
                      .u8(1)
                      .u8(0)
                      .u8(kAddBand)
                      .u8(1)
                      .u8(0)
                      .u8(0)
                      .u8(kSetBand)
                      .u8(7)
                      .u8(1)
                      .u8(17)
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
                      .u8(1)
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
                      .u8(0));
  return seeds;
}

// The file mode: the first byte odd, the second the extension's index.
std::vector<std::string> FileSeeds() {
  std::vector<std::string> seeds;
  const std::filesystem::path dir =
      std::filesystem::temp_directory_path() / ("quav-engine-seeds-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  const std::vector<std::string> sources = enginecalls::WriteSources(dir.string());
  auto index = [](const std::string& extension) {
    for (size_t i = 0; i < std::size(enginecalls::kExtensions); ++i)
      if (extension == enginecalls::kExtensions[i]) return static_cast<uint8_t>(i);
    return uint8_t{0};
  };
  auto add = [&](const std::filesystem::path& file) {
    if (!std::filesystem::exists(file)) return;
    seeds.push_back(std::string(1, '\x01') + static_cast<char>(index(file.extension().string())) +
                    testsupport::ReadWholeFile(file.string()));
  };
  for (const std::string& s : sources) add(s);
  // Very short files of the other formats, from the mono source.
  const std::string mono = (dir / "mono.wav").string();
  const std::pair<const char*, const char*> others[] = {
      {"t.ogg", "-c:a libvorbis"},
      {"t.wma", "-c:a wmav2"},
      {"t.opus", "-c:a libopus"},
      {"t.m4a", "-c:a aac"},
      {"t.wv", "-c:a wavpack"},
      {"t.tta", "-c:a tta"},
      {"t.aiff", ""},
      {"t.mka", "-c:a flac"},
      {"t.mp2", "-c:a mp2"},
      {"t.ac3", "-c:a ac3"},
      {"t.caf", "-c:a pcm_s16be"},
      {"t.au", ""},
  };
  for (const auto& [name, args] : others) {
    const std::string out = (dir / name).string();
    const std::string command = std::string("ffmpeg -nostdin -hide_banner -loglevel error -y -i '") + mono +
                                "' -t 0.05 " + args + " '" + out + "' </dev/null >/dev/null 2>&1";
    if (std::system(command.c_str()) == 0) add(out);
  }
  std::filesystem::remove_all(dir);
  return seeds;
}

SeedSet engineCalls("engine", CallSeeds());
SeedSet engineFiles("engine", FileSeeds());

}  // namespace
