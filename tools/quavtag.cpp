// quavtag: prints what the tag library reads from each file, one JSON
// object per file and line.
#include <array>
#include <cstdio>
#include <cstring>
#include <exception>
#include <iostream>
#include <string>
#include <vector>

#include "AudioFiles.h"
#include "Details.h"
#include "Json.h"
#include "NativeFiles.h"

namespace {

std::array<DetailsWriter, at_Wav + 1>& Writers() {
  static std::array<DetailsWriter, at_Wav + 1> writers{};
  return writers;
}

constexpr const char* kUsage =
    "Usage: quavtag FILE...\n"
    "Prints the tags and stream properties that the tag library reads from\n"
    "each FILE as one JSON object per line.\n"
    "\n"
    "  --help     show this text\n"
    "  --version  show the version\n";

std::string Describe(const std::string& arg) {
  TGeneralAudioFile file(arg);
  JsonWriter json;
  json.BeginObject();
  json.Key("File").String(Utf8ToUtf16(arg));
  json.Key("FileType").Utf8(AudioFileTypeName(file.FileType()));
  json.Key("FileTypeName").String(file.FileTypeName());
  json.Key("LastError").Utf8(AudioErrorName(file.LastError()));
  json.Key("Valid").Bool(file.Valid());
  json.Key("FileSize").Number(file.FileSize());
  json.Key("Duration").Number(file.Duration());
  json.Key("Bitrate").Number(file.Bitrate());
  json.Key("Samplerate").Number(file.Samplerate());
  json.Key("Channels").Number(file.Channels());
  json.Key("Title").String(file.Title());
  json.Key("Artist").String(file.Artist());
  json.Key("Album").String(file.Album());
  json.Key("Year").String(file.Year());
  json.Key("Track").String(file.Track());
  json.Key("Genre").String(file.Genre());
  json.Key("Details").BeginObject();
  WriteDetails(json, file);
  json.EndObject();
  json.EndObject();
  return json.str();
}

}  // namespace

QuavtagDetails::QuavtagDetails(TAudioFileType type, DetailsWriter writer) { Writers()[type] = writer; }

void WriteDetails(JsonWriter& json, const TGeneralAudioFile& file) {
  if (DetailsWriter writer = Writers()[file.FileType()]; writer && file.BaseAudioFile())
    writer(json, file);
}

int main(int argc, char** argv) {
  UseBinaryStandardStreams();
  std::vector<std::string> files;
  bool options = true;
  for (const std::string& arg : ProgramArguments(argc, argv)) {
    if (options && arg == "--") {
      options = false;
    } else if (options && arg == "--help") {
      std::fputs(kUsage, stdout);
      return 0;
    } else if (options && arg == "--version") {
      std::puts("quavtag 0.92");
      return 0;
    } else if (options && arg.size() > 1 && arg[0] == '-') {
      std::fprintf(stderr, "quavtag: unknown option %s\n%s", arg.c_str(), kUsage);
      return 2;
    } else {
      files.push_back(arg);
    }
  }
  if (files.empty()) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  try {
    for (const std::string& f : files) {
      const std::string line = Describe(f);
      std::fwrite(line.data(), 1, line.size(), stdout);
      std::fputc('\n', stdout);
      std::fflush(stdout);
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "quavtag: %s\n", e.what());
    return 1;
  }
  return 0;
}
