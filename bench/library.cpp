// A music library as a user has one, read and played, against peers in the
// same run:
//
// - tag reading over a generated mixed tree (every format the library
//   reads, tags of usual size, pictures in some files, 64 KiB of ID3v2
//   padding in some MP3s): files/s through the facade, through TagLib, and
//   for a floor program that opens each file, reads 4 KiB at its start and
//   4 KiB at its end and closes it; read system calls per file and format;
// - quavtag over the same tree on one thread and on two;
// - the player: how soon its first status line appears, and what playing
//   costs the whole process (user + system time) on the silent device and,
//   when a private PulseAudio server can run, on a real sound server (with
//   paplay playing the same sound as the peer): over a whole 10 s track,
//   and while it plays (all its threads, sampled mid-track).
//
// Usage: bench_library [files per format, default 300] [lean player]
// The lean player (scripts/build-lean), when given, has its start-up
// measured beside the player's.
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <taglib/audioproperties.h>
#include <taglib/fileref.h>
#include <taglib/tag.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "ApeBuilders.h"
#include "ApeStreamBuilders.h"
#include "AudioFiles.h"
#include "Id3v2Builders.h"
#include "Mp3Builders.h"
#include "OggFlacBuilders.h"
#include "PulseServer.h"
#include "RiffAsfBuilders.h"
#include "TestSupport.h"

namespace fs = std::filesystem;
using namespace std::string_literals;
using testsupport::Bytes;

namespace {

constexpr int kRounds = 5;

double Now() { return testsupport::Now(); }

// ---- The tree ------------------------------------------------------------------

struct Tags {
  std::string title, artist, album, year, track, genre, comment;
};

Tags TagsFor(int i) {
  const std::string n = std::to_string(i);
  return {"Title of track number " + n,    "An Artist With A Longer Name",
          "The Album Of The Year " + n,    "2004",
          std::to_string(i % 20 + 1),      "Rock",
          "Ripped for the benchmark, " + n};
}

std::string Picture(int i, size_t bytes) { return std::string(bytes, static_cast<char>('A' + i % 26)); }

std::u16string U16(const std::string& s) { return std::u16string(s.begin(), s.end()); }

std::string Mp3(int i) {
  using namespace mp3build;
  const Tags t = TagsFor(i);
  const uint8_t version = i % 2 ? 4 : 3;
  std::string body = Id3v2Frame(version, "TIT2", TextContent(1, U16(t.title))) +
                     Id3v2Frame(version, "TPE1", TextContent(1, U16(t.artist))) +
                     Id3v2Frame(version, "TALB", TextContent(1, U16(t.album))) +
                     Id3v2Frame(version, version == 4 ? "TDRC" : "TYER", TextContent(0, U16(t.year))) +
                     Id3v2Frame(version, "TRCK", TextContent(0, U16(t.track))) +
                     Id3v2Frame(version, "TCON", TextContent(0, u"(17)")) +
                     Id3v2Frame(version, "COMM", CommentContent(1, "eng", u"", U16(t.comment)));
  if (i % 3 == 0) body += Id3v2Frame(version, "APIC", "\0image/jpeg\0\x03\0"s + Picture(i, 40000));
  const uint32_t padding = i % 4 == 0 ? 64 * 1024 : 2048;
  std::string file = Id3v2Tag(version, body, 0, padding);
  file += MpegFrames(FrameFields{}, 200 + i % 50, 0x55);
  file += Id3v1({t.title, t.artist, t.album, t.year, t.comment, 3, 17});
  return file;
}

std::vector<std::string> VorbisFields(const Tags& t) {
  return {"TITLE=" + t.title,       "ARTIST=" + t.artist, "ALBUM=" + t.album,     "DATE=" + t.year,
          "TRACKNUMBER=" + t.track, "GENRE=" + t.genre,   "COMMENT=" + t.comment, "ENCODER=benchmark"};
}

std::string Flac(int i) {
  using namespace oggflac;
  std::vector<std::string> blocks = {FlacBlock(4, false, CommentFields(VorbisFields(TagsFor(i))))};
  if (i % 3 == 0) blocks.push_back(FlacBlock(6, false, PictureBody(3, "image/jpeg", "front", Picture(i, 60000))));
  blocks.push_back(FlacBlock(1, true, std::string(8192, '\0')));
  return FlacFile(blocks, 60000);
}

std::string Ogg(int i) {
  oggflac::OggFileParams p;
  p.comments = VorbisFields(TagsFor(i));
  p.audioBytes = 60000;
  return oggflac::OggVorbisFile(p);
}

std::string Wav(int) {
  using namespace riffbuild;
  return Wave({PcmFmt(2, 44100, 16), Chunk("data", std::string(60000, '\x10'))});
}

std::string Wma(int i) {
  using namespace asfbuild;
  const Tags t = TagsFor(i);
  const std::string header = Header(
      {FileProperties(128000), StreamProperties(2, 44100, 16000),
       ContentDescription(TextZ(U16(t.title)), TextZ(U16(t.artist)), TextZ(u""), TextZ(U16(t.comment)), TextZ(u"")),
       ExtendedContentDescription({StringDescriptor(u"WM/AlbumTitle", U16(t.album)),
                                   StringDescriptor(u"WM/Year", U16(t.year)),
                                   StringDescriptor(u"WM/Genre", U16(t.genre)),
                                   DwordDescriptor(u"WM/TrackNumber", static_cast<uint32_t>(i % 20 + 1))})});
  return File(header, 60000);
}

// An APEv2 tag with the usual items (and a cover in some files), ID3v1
// after it in some.
std::string ApeTail(int i) {
  using namespace apebuild;
  const Tags t = TagsFor(i);
  std::vector<std::string> items = {
      ApeItem("Title", t.title), ApeItem("Artist", t.artist), ApeItem("Album", t.album),    ApeItem("Year", t.year),
      ApeItem("Track", t.track), ApeItem("Genre", t.genre),   ApeItem("Comment", t.comment)};
  if (i % 3 == 0) items.push_back(ApePictureItem("Cover Art (Front)", "cover.jpg", Picture(i, 40000)));
  std::string tail = ApeTag(items);
  if (i % 2 == 0) tail += Id3v1Tag(t.title);
  return tail;
}

std::string WavPack(int i) {
  using namespace apebuild;
  return WvBlockHeader(441000, WvRateIndex(9)) + std::string(60000, '\x20') + ApeTail(i);
}
std::string Monkey(int i) { return apebuild::MacDescriptorStream({}) + std::string(60000, '\x21') + ApeTail(i); }
std::string Musepack(int i) {
  return apestream::MpcSV8Header(441000, 0, 0, 2, true).str() + std::string(60000, '\x22') + ApeTail(i);
}
std::string OptimFrog(int i) { return apestream::OfrHeader().str() + std::string(60000, '\x23') + ApeTail(i); }
std::string TrueAudio(int i) {
  return apestream::TtaHeader(2, 16, 44100, 441000).str() + std::string(60000, '\x24') + ApeTail(i);
}

struct Format {
  const char* extension;
  std::function<std::string(int)> make;
  bool taglib;  // TagLib reads it
};

const std::vector<Format>& Formats() {
  static const std::vector<Format> formats = {
      {"mp3", Mp3, true},        {"flac", Flac, true},    {"ogg", Ogg, true},    {"wav", Wav, true},
      {"wma", Wma, true},        {"wv", WavPack, true},   {"ape", Monkey, true}, {"mpc", Musepack, true},
      {"ofr", OptimFrog, false}, {"tta", TrueAudio, true}};
  return formats;
}

// ---- Reading -----------------------------------------------------------------------

size_t ReadOurs(const std::vector<std::string>& files) {
  size_t sum = 0;
  for (const auto& path : files) {
    TGeneralAudioFile f(path);
    sum +=
        f.Title().size() + f.Artist().size() + f.Album().size() + f.Genre().size() + f.Year().size() + f.Track().size();
    sum += static_cast<size_t>(f.Bitrate() + f.Samplerate() + f.Channels() + f.Duration());
  }
  return sum;
}

size_t ReadTagLib(const std::vector<std::string>& files) {
  size_t sum = 0;
  for (const auto& path : files) {
    TagLib::FileRef f(path.c_str(), true, TagLib::AudioProperties::Average);
    if (f.isNull() || !f.tag()) continue;
    const TagLib::Tag* t = f.tag();
    sum += t->title().size() + t->artist().size() + t->album().size() + t->genre().size() + t->year() + t->track();
    if (const TagLib::AudioProperties* p = f.audioProperties())
      sum += static_cast<size_t>(p->bitrate() + p->sampleRate() + p->channels() + p->lengthInSeconds());
  }
  return sum;
}

// The least any reader must do: open, 4 KiB at the start, 4 KiB at the end,
// close.
size_t ReadFloor(const std::vector<std::string>& files) {
  size_t sum = 0;
  char buffer[4096];
  for (const auto& path : files) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) continue;
    const off_t size = ::lseek(fd, 0, SEEK_END);
    sum += static_cast<size_t>(::pread(fd, buffer, sizeof buffer, 0));
    sum += static_cast<size_t>(::pread(fd, buffer, sizeof buffer, std::max<off_t>(0, size - 4096)));
    ::close(fd);
  }
  return sum;
}

using FileReader = size_t (*)(const std::vector<std::string>&);

// Files per second of each reader over files, best of kRounds; the rounds
// alternate between the readers, so that a slower stretch of the machine
// (the page cache, the processor's clock) weighs on all of them alike.
std::vector<double> FilesPerSecond(const std::vector<FileReader>& readers, const std::vector<std::string>& files) {
  std::vector<double> best(readers.size(), 1e300);
  size_t sink = 0;
  for (int round = 0; round < kRounds; ++round)
    for (size_t i = 0; i < readers.size(); ++i) {
      const double start = Now();
      sink += readers[i](files);
      best[i] = std::min(best[i], Now() - start);
    }
  if (sink == 1) std::puts("");  // keeps the reads
  for (double& b : best) b = static_cast<double>(files.size()) / b;
  return best;
}

// Read system calls of this process so far (read, pread and the like).
long ReadCalls() {
  std::ifstream io("/proc/self/io");
  std::string key;
  long value = 0;
  while (io >> key >> value)
    if (key == "syscr:") return value;
  return -1;
}

// ---- Programs ----------------------------------------------------------------------

struct Child {
  double wall = 0, cpu = 0;
  double markerAt = -1;  // seconds until the marker first showed on stdout
  int status = -1;
};

// Starts argv in cwd (empty: this one) with stdout on out (-1: /dev/null)
// and stdin and stderr on /dev/null.
pid_t StartChild(const std::vector<std::string>& argv, const std::string& cwd, int out) {
  const pid_t pid = ::fork();
  if (pid == 0) {
    if (!cwd.empty() && ::chdir(cwd.c_str()) != 0) ::_exit(127);
    const int null = ::open("/dev/null", O_RDWR);
    ::dup2(out >= 0 ? out : null, 1);
    ::dup2(null, 0);
    ::dup2(null, 2);
    std::vector<char*> args;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    ::execv(args[0], args.data());
    ::_exit(127);
  }
  return pid;
}

// Waits for pid and fills in c's status, wall time since start and
// processor time.
void Reap(pid_t pid, double start, Child& c) {
  rusage usage{};
  ::wait4(pid, &c.status, 0, &usage);
  c.wall = Now() - start;
  c.cpu = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
          static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-6;
}

// Runs argv in cwd with stdout on a pipe, watching for marker; with
// stopAtMarker, the program is ended (SIGTERM) once the marker showed.
Child Spawn(const std::vector<std::string>& argv, const std::string& cwd, const std::string& marker = "",
            bool stopAtMarker = false) {
  int out[2];
  if (::pipe(out) != 0) return {};
  const double start = Now();
  const pid_t pid = StartChild(argv, cwd, out[1]);
  ::close(out[1]);
  Child c;
  std::string seen;
  char buffer[4096];
  for (ssize_t n; (n = ::read(out[0], buffer, sizeof buffer)) > 0;) {
    if (!marker.empty() && c.markerAt < 0) {
      seen.append(buffer, static_cast<size_t>(n));
      if (seen.find(marker) != std::string::npos) {
        c.markerAt = Now() - start;
        if (stopAtMarker) ::kill(pid, SIGTERM);
      }
    }
  }
  ::close(out[0]);
  Reap(pid, start, c);
  return c;
}

// Processor time (seconds) of all of a process's threads so far, from the
// scheduler's per-thread figures (nanoseconds, not ticks).
double ThreadsCpu(pid_t pid) {
  double total = 0;
  std::error_code ec;
  for (const auto& task : fs::directory_iterator("/proc/" + std::to_string(pid) + "/task", ec)) {
    unsigned long long ns = 0;
    if (std::ifstream(task.path() / "schedstat") >> ns) total += static_cast<double>(ns) * 1e-9;
  }
  return total;
}

// Runs argv to its end with stdout on /dev/null; besides the whole run's
// figures, the processor time of its threads between from and to seconds
// after the start, as a share of one core.
struct Played {
  Child whole;
  double steady = -1;
};
Played PlayAndSample(const std::vector<std::string>& argv, double from, double to) {
  Played p;
  const double start = Now();
  const pid_t pid = StartChild(argv, "", -1);
  if (pid < 0) return p;
  auto until = [&](double at) { std::this_thread::sleep_for(std::chrono::duration<double>(start + at - Now())); };
  until(from);
  const double a = ThreadsCpu(pid), aAt = Now();
  until(to);
  const double b = ThreadsCpu(pid), bAt = Now();
  p.steady = (b - a) / (bAt - aAt);
  Reap(pid, start, p.whole);
  return p;
}

std::string Built(const std::string& relative) { return testsupport::BuiltProgram(relative); }

// A copy of the player beside its quavlin.cfg.
std::string InstallPlayer(const fs::path& dir, int device, const std::string& built = Built("player/quavlin")) {
  fs::create_directories(dir);
  const fs::path program = dir / "quavlin";
  fs::copy_file(built, program, fs::copy_options::overwrite_existing);
  std::ofstream(dir / "quavlin.cfg") << device << "\r\n20\r\n";
  return program.string();
}


}  // namespace

int main(int argc, char** argv) {
  const int perFormat = argc > 1 ? std::max(1, std::atoi(argv[1])) : 300;
  const std::string leanPlayer = argc > 2 ? argv[2] : "";
  const fs::path dir = fs::temp_directory_path() / ("quav-bench-library-" + std::to_string(::getpid()));
  const fs::path tree = dir / "library";
  std::map<std::string, std::vector<std::string>> byFormat;
  std::vector<std::string> all, taglibFiles;
  for (const Format& f : Formats()) {
    const fs::path folder = tree / f.extension;
    fs::create_directories(folder);
    for (int i = 0; i < perFormat; ++i) {
      const std::string path = (folder / ("track" + std::to_string(i) + "." + f.extension)).string();
      std::ofstream(path, std::ios::binary) << f.make(i);
      byFormat[f.extension].push_back(path);
      all.push_back(path);
      if (f.taglib) taglibFiles.push_back(path);
    }
  }
  std::printf("library: %zu files, %d each of %zu formats, warm cache, best of %d rounds\n\n", all.size(), perFormat,
              Formats().size(), kRounds);

  // Every file must read as valid, or the figures mean nothing.
  for (const auto& path : all) {
    TGeneralAudioFile f(path);
    if (f.LastError() != FileErr_None || !f.Valid()) {
      std::fprintf(stderr, "library: %s does not read (%d)\n", path.c_str(), static_cast<int>(f.LastError()));
      return 1;
    }
  }

  std::printf("read system calls per file:\n");
  bool withinFour = true;
  for (const Format& f : Formats()) {
    const auto& files = byFormat[f.extension];
    const long before = ReadCalls();
    ReadOurs(files);
    const double perFile = static_cast<double>(ReadCalls() - before) / static_cast<double>(files.size());
    withinFour = withinFour && perFile <= 4.0;
    std::printf("  %-5s %5.2f\n", f.extension, perFile);
  }
  std::printf("  at most 4 on every format: %s\n\n", withinFour ? "yes" : "NO");

  const std::vector<double> mixed = FilesPerSecond({ReadOurs, ReadFloor}, all);
  const std::vector<double> shared = FilesPerSecond({ReadOurs, ReadTagLib}, taglibFiles);
  const double ours = mixed[0], floor = mixed[1], oursShared = shared[0], taglib = shared[1];
  std::printf("tag reading, files/s:\n");
  std::printf("  quavaudiofiles, all formats:         %9.0f\n", ours);
  std::printf("  floor (open, 2 x 4 KiB, close):      %9.0f   floor / ours %.2f (goal: at most 2)\n", floor,
              floor / ours);
  std::printf("  quavaudiofiles, formats TagLib reads:%9.0f\n", oursShared);
  std::printf("  TagLib, the same files:              %9.0f   ours / TagLib %.2f (goal: at least 3)\n\n", taglib,
              oursShared / taglib);

  // quavtag over the whole tree, one thread and two.
  const std::string quavtag = Built("tools/quavtag");
  double jobs1 = 1e300, jobs2 = 1e300;
  for (int round = 0; round < 3; ++round) {
    jobs1 = std::min(jobs1, Spawn({quavtag, "-r", "-j", "1", tree.string()}, "").wall);
    jobs2 = std::min(jobs2, Spawn({quavtag, "-r", "-j", "2", tree.string()}, "").wall);
  }
  std::printf("quavtag -r over the tree: -j 1 %.3f s, -j 2 %.3f s, speed-up %.2f (goal: at least 1.7 on 2 cores)\n\n",
              jobs1, jobs2, jobs1 / jobs2);

  // The player: first status line, and the cost of playing.
  const fs::path media = dir / "media";
  fs::create_directories(media);
  const std::string shortMp3 = (media / "short.mp3").string(), longMp3 = (media / "ten.mp3").string();
  const std::string tone = "ffmpeg -nostdin -v error -y -f lavfi -i sine=frequency=440:duration=";
  if (!testsupport::Shell(tone + "2 -ac 2 -b:a 192k '" + shortMp3 + "'") ||
      !testsupport::Shell(tone + "10 -ac 2 -b:a 192k '" + longMp3 + "'")) {
    std::fprintf(stderr, "library: ffmpeg could not make the MP3s\n");
    return 1;
  }
  const std::string silent = InstallPlayer(dir / "silent", 0);
  const std::string floorProgram = Built("bench/bench_start_floor");
  const std::string lean = leanPlayer.empty() ? "" : InstallPlayer(dir / "lean", 0, leanPlayer);
  // Rounds alternate between the programs, so that a slower stretch of the
  // machine weighs on all of them; the best round of each counts.
  double firstLine = 1e300, floorLine = 1e300, leanLine = 1e300;
  auto markerAt = [&](const std::vector<std::string>& argv) {
    const double at = Spawn(argv, "", "Playing: ", true).markerAt;
    return at < 0 ? 1e300 : at;
  };
  for (int round = 0; round < 15; ++round) {
    firstLine = std::min(firstLine, markerAt({silent, shortMp3}));
    floorLine = std::min(floorLine, markerAt({floorProgram}));
    if (!lean.empty()) leanLine = std::min(leanLine, markerAt({lean, shortMp3}));
  }
  std::printf("player start-up, first status line on device 0: %.1f ms\n", firstLine * 1e3);
  std::printf(
      "  floor: a program that only loads the same FFmpeg, PortAudio and sd-bus: %.1f ms; player / floor %.2f (goal: at most "
      "1.1)\n",
      floorLine * 1e3, firstLine / floorLine);
  if (!lean.empty())
    std::printf("  the lean player (an audio-only FFmpeg linked in): %.1f ms; lean / floor %.2f (goal: at most 60)\n",
                leanLine * 1e3, leanLine / floorLine);

  // Playing: the whole process over a 10 s track, start-up included, and
  // while it plays (its threads sampled from 2 s to 9 s, well after the
  // start-up and before the end); best of three runs.
  auto playingCost = [&](const std::string& player, const char* where) {
    double wholeCpu = 1e300, wholeWall = 0, steady = 1e300;
    for (int round = 0; round < 3; ++round) {
      const Played p = PlayAndSample({player, longMp3}, 2.0, 9.0);
      if (p.whole.status != 0 || p.steady < 0) return false;
      if (p.whole.cpu < wholeCpu) wholeCpu = p.whole.cpu, wholeWall = p.whole.wall;
      steady = std::min(steady, p.steady);
    }
    std::printf(
        "player playing a 10 s MP3 on %s: %.3f s of processor time in %.2f s, %.2f %% of a core;"
        " while playing %.2f %% of a core (goal: at most 0.7)\n",
        where, wholeCpu, wholeWall, 100 * wholeCpu / wholeWall, 100 * steady);
    return true;
  };
  playingCost(silent, "device 0");
  {
    testsupport::PulseServer server;
    if (!server.Problem().empty()) {
      std::printf("player on PulseAudio: not measured (%s)\n", server.Problem().c_str());
    } else {
      // The engine's own output, on the server's sink by its description
      // (bench_output compares it with mpg123 and the other outputs).
      const std::string pulse = InstallPlayer(dir / "pulse", 0);
      std::ofstream(dir / "pulse" / "quavlin.cfg") << testsupport::PulseServer::Description(0) << "\r\n20\r\n";
      if (!playingCost(pulse, "PulseAudio (its sink by description)"))
        std::printf("player on PulseAudio: the run failed\n");
      // The peer: PulseAudio's own client playing the same sound, decoded
      // beforehand, so it only hands samples to the server.
      const std::string wav = (media / "ten.wav").string();
      double peer = 1e300;
      if (testsupport::Shell("ffmpeg -nostdin -v error -y -i '" + longMp3 + "' '" + wav + "'")) {
        for (int round = 0; round < 3; ++round) {
          const Played p = PlayAndSample({"/usr/bin/paplay", wav}, 2.0, 9.0);
          if (p.whole.status == 0 && p.steady >= 0) peer = std::min(peer, p.steady);
        }
      }
      if (peer < 1e300) std::printf("  peer: paplay playing the same sound as WAV: %.2f %% of a core\n", 100 * peer);
    }
  }
  fs::remove_all(dir);
  return 0;
}
