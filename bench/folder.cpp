// Folder playback's road before the first track, for libraries from 1,000
// to 100,000 files (200 files a folder): listing the tree in name order,
// shuffling it, and making the last playlist's text with absolute names.
// The peer is find(1) listing the same tree in the same run. The goals:
// the whole road grows with the files and no faster, and the listing (in
// name order, where find takes the file system's order) costs at most
// twice what find's does.
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "FolderList.h"
#include "NativeFiles.h"

namespace fs = std::filesystem;

namespace {

constexpr int kFilesPerFolder = 200;
constexpr int kRounds = 3;
// The goals: the cost per file at 100,000 files at most this many times
// the cost per file at 1,000; the listing at most this many times find's.
constexpr double kMostGrowth = 2.0;
constexpr double kMostOverFind = 2.0;

double BestSeconds(const std::function<void()>& work) {
  double best = 1e9;
  for (int round = 0; round < kRounds; ++round) {
    const auto start = std::chrono::steady_clock::now();
    work();
    best = std::min(best, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
  }
  return best;
}

void MakeTree(const fs::path& root, int files) {
  for (int i = 0; i < files; ++i) {
    const fs::path folder = root / ("album " + std::to_string(1000 + i / kFilesPerFolder));
    if (i % kFilesPerFolder == 0) fs::create_directories(folder);
    std::ofstream(folder / ("track " + std::to_string(1000 + i % kFilesPerFolder) + ".flac")) << "x";
  }
}

void RunFind(const fs::path& root) {
  std::fflush(stdout);
  const pid_t pid = ::fork();
  if (pid == 0) {
    if (!std::freopen("/dev/null", "w", stdout)) ::_exit(126);
    ::execlp("find", "find", root.c_str(), "-type", "f", static_cast<char*>(nullptr));
    ::_exit(127);
  }
  ::waitpid(pid, nullptr, 0);
}

}  // namespace

int main() {
  const fs::path base = fs::temp_directory_path() / ("quav-bench-folder-" + std::to_string(::getpid()));
  std::printf("folder playback before the first track (list, shuffle, last playlist), best of %d\n", kRounds);
  std::printf("%8s %10s %10s %12s %10s %12s %10s\n", "files", "list ms", "shuffle ms", "playlist ms", "find ms",
              "us per file", "list/find");
  double firstPerFile = 0, lastPerFile = 0, worstOverFind = 0;
  for (const int files : {1000, 10000, 100000}) {
    const fs::path root = base / std::to_string(files);
    MakeTree(root, files);
    std::vector<std::string> entries;
    const double list = BestSeconds([&] { entries = CollectFolderFiles(root.string()); });
    const double shuffle = BestSeconds([&] {
      std::vector<std::string> copy = entries;
      ShuffleEntries(copy);
    });
    size_t bytes = 0;
    const double playlist = BestSeconds([&] {
      std::vector<std::string> names;
      names.reserve(entries.size());
      for (const std::string& e : entries) names.push_back(FullPathName(e));
      bytes = LastPlaylistText(names).size();
    });
    const double find = BestSeconds([&] { RunFind(root); });
    const double ours = list + shuffle + playlist;
    const double perFile = ours / files * 1e6;
    if (files == 1000) firstPerFile = perFile;
    lastPerFile = perFile;
    // Below 10,000 files find's start-up outweighs its listing.
    if (files >= 10000) worstOverFind = std::max(worstOverFind, list / find);
    std::printf("%8d %10.2f %10.2f %12.2f %10.2f %12.3f %10.2f   (%zu files, %zu bytes of playlist)\n", files,
                list * 1e3, shuffle * 1e3, playlist * 1e3, find * 1e3, perFile, list / find, entries.size(), bytes);
  }
  fs::remove_all(base);
  std::printf("growth, cost per file at 100,000 over 1,000: %.2f (goal: at most %.1f)\n", lastPerFile / firstPerFile,
              kMostGrowth);
  std::printf("listing / find, worst of 10,000 and 100,000: %.2f (goal: at most %.1f)\n", worstOverFind, kMostOverFind);
  return 0;
}
