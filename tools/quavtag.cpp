// quavtag: prints what the tag library reads from each file, one JSON
// object per file and line.
#include <getopt.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <exception>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "AudioFiles.h"
#include "Details.h"
#include "FileWalk.h"
#include "Json.h"
#include "NativeFiles.h"

namespace {

constexpr const char* kUsage =
    "Usage: quavtag [-r] [-j N] FILE...\n"
    "Prints the tags and stream properties that the tag library reads from\n"
    "each FILE as one JSON object per line, in the order given.\n"
    "\n"
    "  -r, --recursive     read every file beneath each FILE that is a folder,\n"
    "                      folder by folder in name order; links are followed,\n"
    "                      no folder twice\n"
    "  -j N, --jobs=N      read on N threads (default: one per processor); the\n"
    "                      lines still come in order\n"
    "  -h, --help          show this text\n"
    "  --version           show the version\n"
    "\n"
    "Exit status: 0 when every file got its line, 1 when a folder could not be\n"
    "read (it is reported, the rest is read) or an unexpected failure stopped\n"
    "the run, 2 for a usage error.\n";

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

// Reads the files on jobs threads and prints their lines in order, each as
// soon as it and all before it are ready.
bool DescribeAll(const std::vector<std::string>& files, unsigned jobs) {
  std::vector<std::string> lines(files.size());
  std::vector<char> ready(files.size(), 0);
  std::string failure;
  std::mutex mutex;
  std::condition_variable changed;
  std::atomic<size_t> next{0};
  std::atomic<bool> stop{false};
  auto work = [&] {
    for (size_t i; !stop && (i = next++) < files.size();) {
      std::string line;
      std::string error;
      try {
        line = Describe(files[i]);
      } catch (const std::exception& e) {
        error = e.what();
      }
      std::lock_guard<std::mutex> lock(mutex);
      if (!error.empty() && failure.empty()) failure = error;
      lines[i] = std::move(line);
      ready[i] = 1;
      changed.notify_all();
    }
  };
  std::vector<std::thread> threads;
  jobs = static_cast<unsigned>(std::clamp<size_t>(jobs, 1, std::max<size_t>(1, files.size())));
  for (unsigned t = 0; t < jobs; ++t) threads.emplace_back(work);
  bool ok = true;
  for (size_t i = 0; i < files.size(); ++i) {
    std::string line;
    {
      std::unique_lock<std::mutex> lock(mutex);
      changed.wait(lock, [&] { return ready[i] != 0; });
      if (!failure.empty() && lines[i].empty()) {
        std::fprintf(stderr, "quavtag: %s\n", failure.c_str());
        ok = false;
        stop = true;
        break;
      }
      line.swap(lines[i]);
    }
    line += '\n';
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fflush(stdout);
  }
  stop = true;
  for (std::thread& t : threads) t.join();
  return ok;
}

bool ParseJobs(const std::string& text, unsigned& jobs) {
  if (text.empty() || text.size() > 4 || text.find_first_not_of("0123456789") != std::string::npos) return false;
  jobs = static_cast<unsigned>(std::stoul(text));
  return jobs >= 1;
}

}  // namespace

int main(int argc, char** argv) {
  UseBinaryStandardStreams();
  // The arguments as UTF-8, in an argv of our own for getopt_long (which
  // permutes it: options may follow the files, "--" ends them).
  std::vector<std::string> argList = ProgramArguments(argc, argv);
  std::string program = "quavtag";
  std::vector<char*> args = {program.data()};
  for (std::string& arg : argList) args.push_back(arg.data());
  args.push_back(nullptr);
  bool recursive = false;
  unsigned jobs = std::max(1u, std::thread::hardware_concurrency());
  auto usageError = [](const std::string& message) {
    if (!message.empty()) std::fprintf(stderr, "quavtag: %s\n", message.c_str());
    std::fputs(kUsage, stderr);
    return 2;
  };
  enum { kVersion = 256 };
  static const option kOptions[] = {{"recursive", no_argument, nullptr, 'r'},
                                    {"jobs", required_argument, nullptr, 'j'},
                                    {"help", no_argument, nullptr, 'h'},
                                    {"version", no_argument, nullptr, kVersion},
                                    {nullptr, 0, nullptr, 0}};
  opterr = 1;  // getopt_long names an unknown option or a missing argument
  for (int c; (c = getopt_long(static_cast<int>(args.size()) - 1, args.data(), "rj:h", kOptions, nullptr)) != -1;) {
    switch (c) {
      case 'r': recursive = true; break;
      case 'j':
        if (!ParseJobs(optarg, jobs)) return usageError(std::string(optarg) + ": not a number of threads");
        break;
      case 'h': std::fputs(kUsage, stdout); return 0;
      case kVersion: std::puts("quavtag " QUAV_VERSION); return 0;
      default: return usageError("");
    }
  }
  std::vector<std::string> names(args.begin() + optind, args.end() - 1);
  if (names.empty()) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  std::vector<std::string> files;
  bool walked = true;
  for (const std::string& arg : names) {
    if (recursive && PathKindOf(arg) == TPathKind::Directory)
      walked = WalkFolder(arg, files,
                          [](const std::string& problem) { std::fprintf(stderr, "quavtag: %s\n", problem.c_str()); }) &&
               walked;
    else
      files.push_back(arg);
  }
  if (!DescribeAll(files, jobs)) return 1;
  return walked ? 0 : 1;
}
