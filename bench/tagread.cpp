// Tag reading speed: 2,000 generated MP3 files (ID3v2.3 or 2.4 tag with the
// usual text frames, a comment and a small picture, padding, 40 MPEG frames
// and an ID3v1 tag) read through the facade and through TagLib's FileRef,
// warm cache, both in this run. Prints files per second for both and the
// ratio (ours / TagLib's).
#include <taglib/audioproperties.h>
#include <taglib/fileref.h>
#include <taglib/tag.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <unistd.h>

#include "AudioFiles.h"
#include "Id3v2Builders.h"
#include "Mp3Builders.h"

namespace fs = std::filesystem;
using namespace mp3build;
using namespace std::string_literals;

namespace {

constexpr int kFiles = 2000;
constexpr int kRounds = 5;

std::string BuildFile(int i) {
  const uint8_t version = i % 2 ? 4 : 3;
  const uint8_t encoding = version == 4 ? 3 : (i % 4 == 0 ? 1 : 0);
  const std::string n = std::to_string(i);
  const std::string body = Id3v2Frame(version, "TIT2", TextContent(encoding, AsciiToUtf16("Title number " + n))) +
                           Id3v2Frame(version, "TPE1", TextContent(encoding, u"Some Artist")) +
                           Id3v2Frame(version, "TALB", TextContent(encoding, u"An Album Title")) +
                           Id3v2Frame(version, version == 4 ? "TDRC" : "TYER", TextContent(0, u"2004")) +
                           Id3v2Frame(version, "TRCK", TextContent(0, AsciiToUtf16(std::to_string(i % 20 + 1)))) +
                           Id3v2Frame(version, "TCON", TextContent(0, u"(17)")) +
                           Id3v2Frame(version, "COMM", CommentContent(encoding, "eng", u"", u"A short comment")) +
                           Id3v2Frame(version, "TSSE", TextContent(0, u"Generated for the benchmark")) +
                           Id3v2Frame(version, "APIC", "\0image/jpeg\0\x03\0"s + std::string(2048, '\x5A'));
  std::string file = Id3v2Tag(version, body, 0, 1024);
  file += MpegFrames(FrameFields{}, 40, 0x55);
  file += Id3v1({"Title number " + n, "Some Artist", "An Album Title", "2004", "A short comment", 3, 17});
  return file;
}

// Reads every file once; returns a checksum so that no read is optimised away.
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

template <typename Reader>
double FilesPerSecond(Reader read, const std::vector<std::string>& files, size_t& checksum) {
  double best = 1e300;
  for (int round = 0; round < kRounds; ++round) {
    const auto start = std::chrono::steady_clock::now();
    checksum += read(files);
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    best = std::min(best, took.count());
  }
  return files.size() / best;
}

}  // namespace

int main() {
  const fs::path dir = fs::temp_directory_path() / ("quav-bench-tagread-" + std::to_string(::getpid()));
  fs::create_directories(dir);
  std::vector<std::string> files;
  for (int i = 0; i < kFiles; ++i) {
    const std::string path = (dir / ("track" + std::to_string(i) + ".mp3")).string();
    std::ofstream(path, std::ios::binary) << BuildFile(i);
    files.push_back(path);
  }

  // Warm the cache and check that both readers see the same values.
  size_t ours = ReadOurs(files), theirs = ReadTagLib(files);
  for (const std::string& path : {files.front(), files.back()}) {
    TGeneralAudioFile a(path);
    TagLib::FileRef b(path.c_str(), true, TagLib::AudioProperties::Average);
    const std::string title = Utf16ToUtf8(a.Title());
    const std::string genre = Utf16ToUtf8(a.Genre());
    if (b.isNull() || title != b.tag()->title().to8Bit(true) || genre != b.tag()->genre().to8Bit(true) ||
        a.Bitrate() != b.audioProperties()->bitrate() * 1000 || a.Samplerate() != b.audioProperties()->sampleRate()) {
      std::fprintf(stderr, "tagread: the readers disagree on %s\n", path.c_str());
      return 1;
    }
  }
  const double oursRate = FilesPerSecond(ReadOurs, files, ours);
  const double taglibRate = FilesPerSecond(ReadTagLib, files, theirs);

  std::printf("tagread: %d MP3 files, best of %d rounds, warm cache\n", kFiles, kRounds);
  std::printf("  quavaudiofiles: %10.0f files/s\n", oursRate);
  std::printf("  TagLib:         %10.0f files/s\n", taglibRate);
  std::printf("  ratio:          %10.2f (quavaudiofiles / TagLib)\n", oursRate / taglibRate);
  std::printf("  (checksums %zu %zu)\n", ours, theirs);
  fs::remove_all(dir);
  return 0;
}
