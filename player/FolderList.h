// The play list of a folder: collecting the files beneath it, shuffling,
// and the last-playlist file (PlayerFiles.h says where it lives).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

// Every file beneath the folder, recursively. Within a directory the
// entries are taken in name order (ASCII letters compared without case,
// then byte order); a subdirectory's files stand at the subdirectory's
// place. The folder path and each name are joined with one '/'. A directory
// that is one of its own ancestors (through a symbolic link) is not entered
// again, and a directory that cannot be listed contributes nothing: it is
// handed to unreadable with the system's reason (the folder itself
// included).
using UnreadableFolder = std::function<void(const std::string& folder, const std::string& reason)>;
std::vector<std::string> CollectFolderFiles(const std::string& folder, const UnreadableFolder& unreadable = {});

// The process-wide pseudo-random generator: s = s × 134775813 + 1 (mod
// 2^32); a draw below m is the new s times m, shifted right by 32 bits.
class PlayerRandom {
 public:
  explicit PlayerRandom(uint32_t seed) : fState(seed) {}
  uint32_t Below(uint32_t m);
  uint32_t State() const { return fState; }

 private:
  uint32_t fState;
};

// The generator of this process, seeded once from the monotonic clock.
PlayerRandom& ProcessRandom();

// Fisher-Yates from the last entry down: for i = n-1 .. 1 draw j in 0..i
// and swap entries i and j.
template <class Entry>
void ShuffleEntries(std::vector<Entry>& entries, PlayerRandom& random) {
  for (size_t i = entries.size(); i-- > 1;) {
    const size_t j = random.Below(static_cast<uint32_t>(i + 1));
    std::swap(entries[i], entries[j]);
  }
}
template <class Entry>
void ShuffleEntries(std::vector<Entry>& entries) {
  ShuffleEntries(entries, ProcessRandom());
}

// False for entries whose extension (from the last dot of the file name,
// compared case-sensitively) is ".jpg" or ".m3u".
bool IsListedEntry(const std::string& path);
int ListedCount(const std::vector<std::string>& entries);

// "lastplay.m3u" in the program directory.
std::string LastPlaylistFile(const std::string& programDirectory);

// The whole last-playlist file: "#EXTM3U", "#Last playlist quavlin " and the version,
// then the listed entries as given (the players give absolute names, so
// that the list plays from anywhere), each line ending in CR LF, in UTF-8.
std::string LastPlaylistText(const std::vector<std::string>& entries);

// Creates or replaces the file, whole or not at all (a full disk leaves no
// half-written list); raises EInOutError when it cannot be written.
void WriteLastPlaylist(const std::string& path, const std::vector<std::string>& entries);
