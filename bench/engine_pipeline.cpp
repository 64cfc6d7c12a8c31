// Pipeline throughput of the engine (decode, nine equaliser bands, volume;
// decode-only, as fast as it goes) against `ffmpeg -f null -` decoding the
// same files in the same run, and the engine load during real-time
// playback on the silent device.
#include <benchmark/benchmark.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "bass.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/log.h>
}

extern char** environ;

namespace {

std::filesystem::path gDir;
std::map<std::string, std::string> gFiles;  // kind -> path

bool Sh(const std::string& command) { return std::system(command.c_str()) == 0; }

// 60 s of music-like stereo: a chord with vibrato over quiet noise.
bool MakeFiles() {
  gDir = std::filesystem::temp_directory_path() / ("quav-bench-engine-" + std::to_string(::getpid()));
  std::filesystem::create_directories(gDir);
  const std::string wav = (gDir / "src.wav").string();
  const std::string make =
      "ffmpeg -nostdin -hide_banner -loglevel error -y -f lavfi -i "
      "\"aevalsrc=0.3*sin(2*PI*220*t+3*sin(2*PI*5*t))+0.2*sin(2*PI*277*t)+0.15*sin(2*PI*330*t)+0.05*(random(0)-0.5)"
      "|0.3*sin(2*PI*221*t)+0.2*sin(2*PI*440*t+2*sin(2*PI*3*t))+0.1*sin(2*PI*660*t):s=44100:d=60\" "
      "-c:a pcm_s16le '" +
      wav + "'";
  if (!Sh(make)) return false;
  gFiles["mp3"] = (gDir / "music.mp3").string();
  gFiles["flac"] = (gDir / "music.flac").string();
  return Sh("ffmpeg -nostdin -hide_banner -loglevel error -y -i '" + wav + "' -b:a 192k '" + gFiles["mp3"] + "'") &&
         Sh("ffmpeg -nostdin -hide_banner -loglevel error -y -i '" + wav + "' '" + gFiles["flac"] + "'");
}

double ThreadCpuSeconds() {
  timespec ts{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + ts.tv_nsec * 1e-9;
}

// Times are processor time (the machine is shared, so wall time says more
// about the neighbours than about the code): the calling thread's for the
// engine, where decode-only streams do all their work, and the child's for
// ffmpeg.
// One decode-only pass over the file through the engine: processor time,
// or a negative figure when the file does not open.
double EngineOnce(const std::string& path, bool activeBands, std::vector<char>& buffer, uint64_t& bytes) {
  const double start = ThreadCpuSeconds();
  const HSTREAM h = BASS_StreamCreateFile(FALSE, path.c_str(), 0, 0, BASS_STREAM_DECODE);
  if (h == 0) return -1;
  // Nine bands an octave apart: as the player sets them (0 dB), or all
  // boosting and cutting.
  for (int k = 0; k < 9; ++k) {
    const HFX fx = BASS_ChannelSetFX(h, BASS_FX_DX8_PARAMEQ, 0);
    const float gain = activeBands ? (k % 2 ? 3.0f : -3.0f) : 0.0f;
    const BASS_DX8_PARAMEQ p{50.0f * static_cast<float>(2 << k), 12.0f, gain};
    BASS_FXSetParameters(fx, &p);
  }
  BASS_ChannelSetAttribute(h, BASS_ATTRIB_VOL, 0.8f);
  for (DWORD got; (got = BASS_ChannelGetData(h, buffer.data(), static_cast<DWORD>(buffer.size()))) != 0xFFFFFFFFu;)
    bytes += got;
  BASS_StreamFree(h);
  return ThreadCpuSeconds() - start;
}

void EnginePipeline(benchmark::State& state, const std::string& kind, bool activeBands) {
  const std::string& path = gFiles[kind];
  std::vector<char> buffer(64 * 1024);
  uint64_t bytes = 0;
  for (auto _ : state) {
    const double seconds = EngineOnce(path, activeBands, buffer, bytes);
    if (seconds < 0) {
      state.SkipWithError("cannot open the file");
      return;
    }
    state.SetIterationTime(seconds);
  }
  state.counters["audio_s_per_s"] =
      benchmark::Counter(static_cast<double>(bytes) / (44100.0 * 4), benchmark::Counter::kIsRate);
}

void FFmpegNull(benchmark::State& state, const std::string& kind) {
  const std::string& path = gFiles[kind];
  std::vector<std::string> args = {"ffmpeg", "-nostdin", "-hide_banner", "-loglevel", "error", "-threads",
                                   "1",      "-i",       path,           "-f",        "null",  "-"};
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  for (auto _ : state) {
    pid_t pid;
    if (posix_spawnp(&pid, "ffmpeg", nullptr, nullptr, argv.data(), environ) != 0) {
      state.SkipWithError("cannot run ffmpeg");
      return;
    }
    int status = 0;
    rusage usage{};
    ::wait4(pid, &status, 0, &usage);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) state.SkipWithError("ffmpeg failed");
    state.SetIterationTime(static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-6);
  }
}

// Bare FFmpeg decoding in this process: demux and decode every frame, one
// decoder thread, no conversion.
double FFmpegOnce(const std::string& path) {
  const double start = ThreadCpuSeconds();
  AVFormatContext* format = nullptr;
  if (avformat_open_input(&format, path.c_str(), nullptr, nullptr) < 0 ||
      avformat_find_stream_info(format, nullptr) < 0) {
    avformat_close_input(&format);
    return -1;
  }
  const AVCodec* codec = nullptr;
  const int index = av_find_best_stream(format, AVMEDIA_TYPE_AUDIO, -1, -1, &codec, 0);
  AVCodecContext* ctx = avcodec_alloc_context3(codec);
  avcodec_parameters_to_context(ctx, format->streams[index]->codecpar);
  ctx->thread_count = 1;
  avcodec_open2(ctx, codec, nullptr);
  AVPacket* packet = av_packet_alloc();
  AVFrame* frame = av_frame_alloc();
  int64_t samples = 0;
  auto drain = [&] {
    while (avcodec_receive_frame(ctx, frame) == 0) {
      samples += frame->nb_samples;
      av_frame_unref(frame);
    }
  };
  while (av_read_frame(format, packet) >= 0) {
    if (packet->stream_index == index) avcodec_send_packet(ctx, packet);
    av_packet_unref(packet);
    drain();
  }
  avcodec_send_packet(ctx, nullptr);
  drain();
  benchmark::DoNotOptimize(samples);
  av_frame_free(&frame);
  av_packet_free(&packet);
  avcodec_free_context(&ctx);
  avformat_close_input(&format);
  return ThreadCpuSeconds() - start;
}

void FFmpegInProcess(benchmark::State& state, const std::string& kind) {
  av_log_set_level(AV_LOG_QUIET);
  const std::string& path = gFiles[kind];
  for (auto _ : state) {
    const double seconds = FFmpegOnce(path);
    if (seconds < 0) {
      state.SkipWithError("cannot open the file");
      return;
    }
    state.SetIterationTime(seconds);
  }
}

// The goal's ratio, engine (flat bands) over the FFmpeg decode loop, from
// runs taken in turn so that both meet the same machine: the median of
// the rounds' ratios and the ratio of the best times.
struct Paired {
  double median = -1, best = -1;
};
Paired PairedRatio(const std::string& kind, int rounds) {
  const std::string& path = gFiles[kind];
  std::vector<char> buffer(64 * 1024);
  uint64_t bytes = 0;
  std::vector<double> ratios;
  double bestEngine = 1e300, bestFFmpeg = 1e300;
  for (int round = 0; round < rounds; ++round) {
    const double e = EngineOnce(path, false, buffer, bytes), f = FFmpegOnce(path);
    if (e <= 0 || f <= 0) return {};
    ratios.push_back(e / f);
    bestEngine = std::min(bestEngine, e);
    bestFFmpeg = std::min(bestFFmpeg, f);
  }
  std::sort(ratios.begin(), ratios.end());
  return {ratios[ratios.size() / 2], bestEngine / bestFFmpeg};
}

// Keeps each run's real time per iteration by name.
class Collector : public benchmark::ConsoleReporter {
 public:
  Collector() : ConsoleReporter(::isatty(1) ? OO_ColorTabular : OO_Tabular) {}
  std::map<std::string, double> seconds;
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& r : runs)
      if (!r.error_occurred && r.iterations > 0)
        seconds[r.benchmark_name()] = r.real_accumulated_time / static_cast<double>(r.iterations);
    ConsoleReporter::ReportRuns(runs);
  }
};

// Engine load while a 44.1 kHz MP3 plays in real time on the silent device.
double PlaybackCpu() {
  const HSTREAM h = BASS_StreamCreateFile(FALSE, gFiles["mp3"].c_str(), 0, 0, 0);
  if (h == 0) return -1;
  BASS_ChannelPlay(h, FALSE);
  double sum = 0;
  int n = 0;
  for (int i = 0; i < 8; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    if (i >= 2) {
      sum += BASS_GetCPU();
      ++n;
    }
  }
  BASS_StreamFree(h);
  return sum / n;
}

}  // namespace

int main(int argc, char** argv) {
  if (!MakeFiles()) {
    std::fprintf(stderr, "cannot make the test files (is ffmpeg installed?)\n");
    return 1;
  }
  if (!BASS_Init(0, 44100, 0, nullptr, nullptr)) {
    std::fprintf(stderr, "cannot initialise the silent device\n");
    return 1;
  }
  for (const char* kind : {"mp3", "flac"}) {
    benchmark::RegisterBenchmark((std::string("engine_flat/") + kind).c_str(), EnginePipeline, std::string(kind), false)
        ->Unit(benchmark::kMillisecond)
        ->UseManualTime()
        ->MinTime(1.5);
    benchmark::RegisterBenchmark((std::string("engine_eq/") + kind).c_str(), EnginePipeline, std::string(kind), true)
        ->Unit(benchmark::kMillisecond)
        ->UseManualTime()
        ->MinTime(1.5);
    benchmark::RegisterBenchmark((std::string("ffmpeg_null/") + kind).c_str(), FFmpegNull, std::string(kind))
        ->Unit(benchmark::kMillisecond)
        ->UseManualTime()
        ->MinTime(1.5);
    benchmark::RegisterBenchmark((std::string("ffmpeg_libs/") + kind).c_str(), FFmpegInProcess, std::string(kind))
        ->Unit(benchmark::kMillisecond)
        ->UseManualTime()
        ->MinTime(1.5);
  }
  benchmark::Initialize(&argc, argv);
  Collector collector;
  benchmark::RunSpecifiedBenchmarks(&collector);
  std::printf("\n");
  auto find = [&](const std::string& name) {
    const auto it = collector.seconds.find(name + "/min_time:1.500/manual_time");
    return it == collector.seconds.end() ? -1.0 : it->second;
  };
  for (const char* kind : {"mp3", "flac"}) {
    const double cli = find(std::string("ffmpeg_null/") + kind);
    const double libs = find(std::string("ffmpeg_libs/") + kind);
    for (const char* variant : {"engine_flat", "engine_eq"}) {
      const double e = find(std::string(variant) + "/" + kind);
      if (e < 0 || cli <= 0 || libs <= 0) continue;
      std::printf(
          "%-4s 60 s, processor time: %-11s %6.1f ms | ffmpeg -f null %6.1f ms, ratio %.3f"
          " | FFmpeg decode loop %6.1f ms, ratio %.3f\n",
          kind, variant, e * 1e3, cli * 1e3, e / cli, libs * 1e3, e / libs);
    }
  }
  for (const char* kind : {"mp3", "flac"}) {
    const Paired p = PairedRatio(kind, 21);
    std::printf(
        "%-4s engine_flat / FFmpeg decode loop, 21 rounds taken in turn: median %.3f, best times %.3f"
        " (goal: at most 1.10)\n",
        kind, p.median, p.best);
  }
  std::printf("engine load during real-time playback of a 44.1 kHz MP3: %.3f %% of one core\n", PlaybackCpu());
  BASS_Free();
  std::filesystem::remove_all(gDir);
  return 0;
}
