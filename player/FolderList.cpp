#include "FolderList.h"

#include <algorithm>
#include <ctime>
#include <utility>

#include "Console.h"
#include "Help.h"
#include "FileAccess.h"
#include "NativeFiles.h"

namespace {

char FoldAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + ('a' - 'A')) : c; }

bool NameLess(const std::string& a, const std::string& b) {
  const bool foldedLess = std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return static_cast<unsigned char>(FoldAscii(x)) < static_cast<unsigned char>(FoldAscii(y));
  });
  if (foldedLess) return true;
  const bool foldedGreater = std::lexicographical_compare(b.begin(), b.end(), a.begin(), a.end(), [](char x, char y) {
    return static_cast<unsigned char>(FoldAscii(x)) < static_cast<unsigned char>(FoldAscii(y));
  });
  return !foldedGreater && a < b;
}

std::string JoinPath(const std::string& folder, const std::string& name) {
  if (!folder.empty() && PathSeparators().find(folder.back()) != std::string_view::npos) return folder + name;
  return folder + PreferredSeparator() + name;
}

// ancestors: the directories being listed above this one, for cycle checks.
void Collect(const std::string& folder, std::vector<TDirectoryId>& ancestors, std::vector<std::string>& out,
             const UnreadableFolder& unreadable) {
  TDirectoryId id;
  std::vector<std::string> names;
  std::vector<bool> directories;
  std::string reason;
  if (!ListDirectory(folder, id, names, directories, reason)) {
    if (unreadable) unreadable(folder, reason);
    return;
  }
  if (std::find(ancestors.begin(), ancestors.end(), id) != ancestors.end()) return;
  std::vector<size_t> order(names.size());
  for (size_t i = 0; i < order.size(); ++i) order[i] = i;
  std::sort(order.begin(), order.end(), [&](size_t a, size_t b) { return NameLess(names[a], names[b]); });

  ancestors.push_back(id);
  for (size_t i : order) {
    const std::string path = JoinPath(folder, names[i]);
    if (directories[i])
      Collect(path, ancestors, out, unreadable);
    else
      out.push_back(path);
  }
  ancestors.pop_back();
}

}  // namespace

std::vector<std::string> CollectFolderFiles(const std::string& folder, const UnreadableFolder& unreadable) {
  std::vector<std::string> files;
  std::vector<TDirectoryId> ancestors;
  Collect(folder, ancestors, files, unreadable);
  return files;
}

uint32_t PlayerRandom::Below(uint32_t m) {
  fState = fState * 134775813u + 1u;
  return static_cast<uint32_t>((static_cast<uint64_t>(fState) * m) >> 32);
}

PlayerRandom& ProcessRandom() {
  static PlayerRandom random([] {
    timespec ts{};
    ::clock_gettime(CLOCK_MONOTONIC, &ts);
    const uint64_t counter = static_cast<uint64_t>(ts.tv_sec) * 1000000000u + static_cast<uint64_t>(ts.tv_nsec);
    return static_cast<uint32_t>(counter) ^ static_cast<uint32_t>(counter >> 32);
  }());
  return random;
}

bool IsListedEntry(const std::string& path) {
  const size_t slash = path.find_last_of(PathSeparators());
  const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  const size_t dot = name.rfind('.');
  const std::string extension = dot == std::string::npos ? std::string() : name.substr(dot);
  return extension != ".jpg" && extension != ".m3u";
}

int ListedCount(const std::vector<std::string>& entries) {
  return static_cast<int>(std::count_if(entries.begin(), entries.end(), IsListedEntry));
}

std::string LastPlaylistFile(const std::string& programDirectory) { return programDirectory + "lastplay.m3u"; }

std::string LastPlaylistText(const std::vector<std::string>& entries) {
  std::string text = "#EXTM3U\r\n#Last playlist quavlin ";
  text += kPlayerVersion;
  text += "\r\n";
  for (const std::string& entry : entries)
    if (IsListedEntry(entry)) text += entry + "\r\n";
  return text;
}

void WriteLastPlaylist(const std::string& path, const std::vector<std::string>& entries) {
  std::string reason;
  if (!ReplaceNamedFile(path, LastPlaylistText(entries), reason)) throw EInOutError(reason);
}
