// Opening a stream, where the engine measures lengths that the container
// does not state: a 10-minute VBR MP3 without a Xing header and a 10-minute
// chained Ogg (two 5-minute links), against FFmpeg's own open (format
// probe and stream information) of the same files in the same run. Wall
// time, files in the page cache; the lengths each side reports are printed
// beside the true 600 s.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>

#include "bass.h"

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/log.h>
}

namespace {

std::filesystem::path gDir;
std::map<std::string, std::string> gFiles;  // kind -> path

bool Sh(const std::string& command) { return std::system(command.c_str()) == 0; }

// Music-like stereo: a chord with vibrato over quiet noise, which makes a
// VBR encoder vary its frame sizes.
std::string Source(const std::string& name, int seconds) {
  const std::string wav = (gDir / name).string();
  const std::string make =
      "ffmpeg -nostdin -hide_banner -loglevel error -y -f lavfi -i "
      "\"aevalsrc=0.3*sin(2*PI*220*t+3*sin(2*PI*5*t))+0.2*sin(2*PI*277*t)+0.05*(random(0)-0.5)"
      "|0.3*sin(2*PI*221*t)+0.2*sin(2*PI*440*t+2*sin(2*PI*3*t)):s=44100:d=" +
      std::to_string(seconds) + "\" -c:a pcm_s16le '" + wav + "'";
  return Sh(make) ? wav : "";
}

bool MakeFiles() {
  gDir = std::filesystem::temp_directory_path() / ("quav-bench-open-" + std::to_string(::getpid()));
  std::filesystem::create_directories(gDir);
  const std::string ten = Source("ten.wav", 600);
  const std::string five = Source("five.wav", 300);
  if (ten.empty() || five.empty()) return false;
  gFiles["mp3"] = (gDir / "vbr-no-xing.mp3").string();
  gFiles["ogg"] = (gDir / "chained.ogg").string();
  const std::string link = (gDir / "link.ogg").string();
  return Sh("lame --quiet -V 2 -t '" + ten + "' '" + gFiles["mp3"] + "'") &&
         Sh("oggenc -Q '" + five + "' -o '" + link + "'") &&
         Sh("cat '" + link + "' '" + link + "' > '" + gFiles["ogg"] + "'");
}

void EngineOpen(benchmark::State& state, const std::string& kind) {
  for (auto _ : state) {
    const HSTREAM h = BASS_StreamCreateFile(FALSE, gFiles[kind].c_str(), 0, 0, BASS_STREAM_DECODE);
    if (h == 0) {
      state.SkipWithError("cannot open the file");
      return;
    }
    benchmark::DoNotOptimize(BASS_ChannelGetLength(h, BASS_POS_BYTE));
    BASS_StreamFree(h);
  }
}

void FFmpegOpen(benchmark::State& state, const std::string& kind) {
  av_log_set_level(AV_LOG_QUIET);
  for (auto _ : state) {
    AVFormatContext* format = nullptr;
    if (avformat_open_input(&format, gFiles[kind].c_str(), nullptr, nullptr) < 0 ||
        avformat_find_stream_info(format, nullptr) < 0) {
      state.SkipWithError("cannot open the file");
      avformat_close_input(&format);
      return;
    }
    benchmark::DoNotOptimize(format->duration);
    avformat_close_input(&format);
  }
}

double EngineSeconds(const std::string& kind) {
  const HSTREAM h = BASS_StreamCreateFile(FALSE, gFiles[kind].c_str(), 0, 0, BASS_STREAM_DECODE);
  const double s = BASS_ChannelBytes2Seconds(h, BASS_ChannelGetLength(h, BASS_POS_BYTE));
  BASS_StreamFree(h);
  return s;
}

double FFmpegSeconds(const std::string& kind) {
  AVFormatContext* format = nullptr;
  double s = -1;
  if (avformat_open_input(&format, gFiles[kind].c_str(), nullptr, nullptr) == 0 &&
      avformat_find_stream_info(format, nullptr) >= 0)
    s = static_cast<double>(format->duration) / AV_TIME_BASE;
  avformat_close_input(&format);
  return s;
}

class Collector : public benchmark::ConsoleReporter {
 public:
  Collector() : ConsoleReporter(::isatty(1) ? OO_ColorTabular : OO_Tabular) {}
  std::map<std::string, double> seconds;
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& r : runs)
      if (!r.error_occurred && r.iterations > 0)
        seconds[r.run_name.function_name] = r.real_accumulated_time / static_cast<double>(r.iterations);
    ConsoleReporter::ReportRuns(runs);
  }
};

}  // namespace

int main(int argc, char** argv) {
  if (!MakeFiles()) {
    std::fprintf(stderr, "cannot make the test files (are ffmpeg, lame and oggenc installed?)\n");
    return 1;
  }
  if (!BASS_Init(0, 44100, 0, nullptr, nullptr)) {
    std::fprintf(stderr, "cannot initialise the silent device\n");
    return 1;
  }
  for (const char* kind : {"mp3", "ogg"}) {
    benchmark::RegisterBenchmark((std::string("engine_open/") + kind).c_str(), EngineOpen, std::string(kind))
        ->Unit(benchmark::kMillisecond)
        ->MinTime(1.0);
    benchmark::RegisterBenchmark((std::string("ffmpeg_open/") + kind).c_str(), FFmpegOpen, std::string(kind))
        ->Unit(benchmark::kMillisecond)
        ->MinTime(1.0);
  }
  benchmark::Initialize(&argc, argv);
  Collector collector;
  benchmark::RunSpecifiedBenchmarks(&collector);
  std::printf("\n");
  for (const char* kind : {"mp3", "ogg"}) {
    const double e = collector.seconds[std::string("engine_open/") + kind];
    const double f = collector.seconds[std::string("ffmpeg_open/") + kind];
    if (e <= 0 || f <= 0) continue;
    std::printf(
        "%s, 10 min: engine open %6.2f ms (length %.2f s) | FFmpeg open %6.2f ms (length %.2f s) | ratio %.2f\n", kind,
        e * 1e3, EngineSeconds(kind), f * 1e3, FFmpegSeconds(kind), e / f);
  }
  BASS_Free();
  std::filesystem::remove_all(gDir);
  return 0;
}
