// Long runs: a folder of short tracks in every format the player meets,
// each taken along the player's own road (open, equaliser, length, volume,
// header through the tag library, ticks, wind-down, free) as a decode-only
// stream read to its end, so that no time is spent waiting for a device.
// Open file descriptors, resident memory and the live heap are measured
// after a first round through every format and again at the end; none may
// grow beyond the bounds below.
//
// QUAV_SOAK_TRACKS sets the number of tracks (200 by default; scripts/soak
// runs 1000 in a release build). The tracks are generated once into the
// build tree and reused.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <malloc.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "../engine/EngineTestSupport.h"
#include "Engine.h"
#include "TrackPlayback.h"

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define QUAV_SOAK_ASAN 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define QUAV_SOAK_ASAN 1
#endif

#ifdef QUAV_SOAK_ASAN
// From the sanitizer runtime (GCC ships no header for it).
extern "C" size_t __sanitizer_get_current_allocated_bytes();
// Freed memory waits in a quarantine before it is reused; the default of
// 256 MB would be counted as growth. A small one still catches use after
// free within a track.
extern "C" const char* __asan_default_options() { return "quarantine_size_mb=8"; }
#endif

namespace fs = std::filesystem;

namespace {

// Bounds for the whole run, whatever its length: descriptors must come back
// to the same count; memory may settle a little (allocator caches,
// fragmentation), but grows by no more than these.
constexpr int64_t kMaxResidentGrowth = 8 << 20;
constexpr int64_t kMaxHeapGrowth = 1 << 20;

int OpenDescriptors() {
  int count = 0;
  for ([[maybe_unused]] const auto& entry : fs::directory_iterator("/proc/self/fd")) ++count;
  return count - 1;  // the listing's own
}

int64_t ResidentBytes() {
  std::ifstream statm("/proc/self/statm");
  int64_t pages = 0, resident = 0;
  statm >> pages >> resident;
  return resident * sysconf(_SC_PAGESIZE);
}

int64_t HeapBytes() {
#ifdef QUAV_SOAK_ASAN
  return static_cast<int64_t>(__sanitizer_get_current_allocated_bytes());
#else
  return static_cast<int64_t>(mallinfo2().uordblks);
#endif
}

struct Figures {
  int fds;
  int64_t resident, heap;
};
Figures Measure() { return {OpenDescriptors(), ResidentBytes(), HeapBytes()}; }

// One short tagged tone per format, made by the real encoders. A format
// whose encoder is missing is left out (and said so).
std::vector<std::string> MakeSources(const testsupport::TempDir& dir, const std::string& into) {
  const std::string tags =
      "-metadata title='Soak tone' -metadata artist=quavlin -metadata album=Soak "
      "-metadata genre=Test ";
  struct Encoded {
    const char* name;
    std::string args;
    int rate, channels;
  };
  const std::vector<Encoded> encoded = {
      {"tone.mp3", tags + "-c:a libmp3lame -b:a 128k", 44100, 2},
      {"mono-vbr.mp3", tags + "-c:a libmp3lame -q:a 5", 22050, 1},
      {"tone.mp2", tags + "-c:a mp2", 48000, 2},
      {"tone.ogg", tags + "-c:a libvorbis", 44100, 2},
      {"tone.flac", tags + "-c:a flac", 48000, 2},
      {"mono.flac", tags + "-c:a flac", 32000, 1},
      {"tone.wv", "-c:a wavpack", 44100, 2},
      {"tone.tta", "-c:a tta", 44100, 2},
      {"tone.wma", tags + "-c:a wmav2 -b:a 96k", 44100, 2},
      {"tone.opus", tags + "-c:a libopus", 48000, 2},
      {"tone.m4a", tags + "-c:a aac", 44100, 2},
      {"tone.aiff", tags, 44100, 2},
  };
  std::vector<std::string> sources;
  sources.push_back(dir.write("tone.wav", enginetest::WavBytes(44100, 2, 26460, enginetest::Sine(440, 44100))));
  for (const Encoded& e : encoded) {
    const std::string path = enginetest::ToneFile(dir, e.name, 523.25, 0.6, e.rate, e.channels, e.args);
    if (path.empty()) {
      std::cerr << "soak: no encoder for " << e.name << "\n";
      continue;
    }
    sources.push_back(path);
  }
  const std::string wav = sources.front();
  if (testsupport::HaveProgram("mpcenc") &&
      testsupport::Shell("mpcenc --silent --artist quavlin '" + wav + "' '" + dir.file("tone.mpc") + "' 2>/dev/null"))
    sources.push_back(dir.file("tone.mpc"));
  if (testsupport::HaveProgram("jmac") &&
      testsupport::Shell("jmac c2 '" + wav + "' '" + dir.file("tone.ape") + "' >/dev/null 2>&1"))
    sources.push_back(dir.file("tone.ape"));
  for (std::string& s : sources) {
    const std::string kept = into + "/" + fs::path(s).filename().string();
    fs::copy_file(s, kept, fs::copy_options::overwrite_existing);
    s = kept;
  }
  return sources;
}

// The folder of `count` tracks, cycling through the formats, made once
// under the build tree and reused while complete.
std::vector<std::string> TrackFolder(int count) {
  const fs::path root = fs::path(QUAV_BINARY_DIR) / "soak-tracks";
  const fs::path folder = root / ("tracks-" + std::to_string(count));
  const fs::path stamp = folder / ".complete";
  if (!fs::exists(stamp)) {
    fs::remove_all(folder);
    fs::create_directories(root / "sources");
    fs::create_directories(folder);
    testsupport::TempDir work;
    std::vector<std::string> sources = MakeSources(work, (root / "sources").string());
    for (int i = 0; i < count; ++i) {
      const fs::path source = sources[static_cast<size_t>(i) % sources.size()];
      char prefix[16];
      std::snprintf(prefix, sizeof prefix, "%04d ", i + 1);
      fs::copy_file(source, folder / (prefix + source.filename().string()));
    }
    std::ofstream(stamp) << count << "\n";
  }
  std::vector<std::string> tracks;
  for (const auto& entry : fs::directory_iterator(folder))
    if (entry.path().filename().string()[0] != '.') tracks.push_back(entry.path().string());
  std::sort(tracks.begin(), tracks.end());
  return tracks;
}

// Standard output goes to /dev/null while the tracks run: the header and
// status lines are written as the player writes them, but not shown.
class QuietOutput {
 public:
  QuietOutput() : fSaved(::dup(1)) {
    std::fflush(stdout);
    const int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    ::dup2(null, 1);
    ::close(null);
  }
  ~QuietOutput() {
    std::fflush(stdout);
    ::dup2(fSaved, 1);
    ::close(fSaved);
  }

 private:
  int fSaved;
};

// One track along the player's road, decode-only: the audio is read in
// steps of about a tick (50 ms) with the tick's figures polled, until what
// is left is about what the wind-down takes; the wind-down's waits read
// that much audio; the rest is read to the end. Returns what went wrong.
std::string OneTrack(const std::string& path, int number, int count, TrackMemory& memory) {
  const HSTREAM h = OpenFileStream(path, BASS_STREAM_DECODE);
  if (h == 0) return "does not open, error " + std::to_string(BASS_ErrorGetCode());
  const PreparedTrack track = PrepareTrack(path, h, TrackDisplay{number, count, {}}, memory);
  SetTrackVolume(h, 0.2);
  std::fwrite(track.Header.data(), 1, track.Header.size(), stdout);
  const uint32_t total = track.Total;
  BASS_CHANNELINFO info{};
  BASS_ChannelGetInfo(h, &info);
  const QWORD length = BASS_ChannelGetLength(h, BASS_POS_BYTE);
  const double bytesPerSecond = static_cast<double>(length) / std::max(1e-9, BASS_ChannelBytes2Seconds(h, length));
  std::vector<char> buffer;
  bool ended = false;
  auto readFor = [&](double seconds) {
    const auto bytes = static_cast<DWORD>(std::max(4.0, seconds * bytesPerSecond));
    buffer.resize(bytes);
    if (BASS_ChannelGetData(h, buffer.data(), bytes) == ~DWORD{0}) ended = true;
  };
  const QWORD windDownBytes = static_cast<QWORD>(0.35 * bytesPerSecond);
  while (!ended && BASS_ChannelGetPosition(h, BASS_POS_BYTE) + windDownBytes < length) {
    readFor(0.05);
    StatusLine(PollStatus(h, BASS_ChannelIsActive(h), total));
  }
  WindDown(h, [&](unsigned microseconds) { readFor(microseconds / 1e6); });
  std::string problem;
  float volume = -1;
  if (BASS_ChannelIsSliding(h, BASS_ATTRIB_VOL) || !BASS_ChannelGetAttribute(h, BASS_ATTRIB_VOL, &volume) ||
      volume != 0.0f)
    problem = "the wind-down's fade did not run to its end";
  for (int guard = 0; guard < 100000 && !ended; ++guard) readFor(0.5);
  if (!ended || BASS_ErrorGetCode() != BASS_ERROR_ENDED) problem = "did not read to its end";
  if (BASS_ChannelGetPosition(h, BASS_POS_BYTE) != BASS_ChannelGetLength(h, BASS_POS_BYTE))
    problem = "ended off its length";
  if (!BASS_StreamFree(h)) problem = "would not free";
  return problem;
}

TEST(Soak, DecodeOnlyTracksAlongThePlayersRoadLeaveNothingBehind) {
  const char* setting = std::getenv("QUAV_SOAK_TRACKS");
  const int count = setting ? std::max(1, std::atoi(setting)) : 200;
  const std::vector<std::string> tracks = TrackFolder(count);
  ASSERT_EQ(tracks.size(), static_cast<size_t>(count));

  ASSERT_TRUE(BASS_Init(0, 44100, 0, nullptr, nullptr)) << BASS_ErrorGetCode();
  std::vector<std::string> problems;
  Figures before{}, after{};
  double seconds = 0;
  {
    QuietOutput quiet;
    TrackMemory memory;
    // The first round through every format makes what stays for the
    // process (codec tables, the decoders' one-time set-up).
    const size_t warmUp = std::min<size_t>(tracks.size(), 16);
    for (size_t i = 0; i < warmUp; ++i) {
      const std::string problem = OneTrack(tracks[i], static_cast<int>(i + 1), count, memory);
      if (!problem.empty()) problems.push_back(tracks[i] + ": " + problem);
    }
    before = Measure();
    const auto start = std::chrono::steady_clock::now();
    for (size_t i = warmUp; i < tracks.size(); ++i) {
      const std::string problem = OneTrack(tracks[i], static_cast<int>(i + 1), count, memory);
      if (!problem.empty()) problems.push_back(tracks[i] + ": " + problem);
    }
    seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    after = Measure();
  }
  EXPECT_TRUE(BASS_Free());
  for (const std::string& p : problems) ADD_FAILURE() << p;

  const size_t measured = tracks.size() - std::min<size_t>(tracks.size(), 16);
  std::cout << "soak: " << tracks.size() << " tracks, " << measured << " measured in " << seconds << " s ("
            << (seconds > 0 ? static_cast<double>(measured) / seconds : 0.0) << " tracks/s)\n"
            << "soak: open descriptors " << before.fds << " -> " << after.fds << "\n"
            << "soak: resident " << before.resident / 1024 << " KiB -> " << after.resident / 1024 << " KiB ("
            << (after.resident - before.resident) / 1024 << " KiB)\n"
            << "soak: heap in use " << before.heap / 1024 << " KiB -> " << after.heap / 1024 << " KiB ("
            << (after.heap - before.heap) / 1024 << " KiB)\n";
  EXPECT_EQ(after.fds, before.fds);
  EXPECT_LE(after.resident - before.resident, kMaxResidentGrowth);
  EXPECT_LE(after.heap - before.heap, kMaxHeapGrowth);
}

}  // namespace
