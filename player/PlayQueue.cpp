#include "PlayQueue.h"

#include <algorithm>
#include <stdexcept>

#include "Console.h"
#include "FolderList.h"
#include "NativeFiles.h"
#include "PlaylistFile.h"

namespace {

// Folder entries in play order, numbered by position over the whole queue.
void NumberByPosition(PlayQueue& queue) {
  int position = 0;
  std::vector<std::string> paths;
  for (const QueueEntry& e : queue.Entries) paths.push_back(e.Path);
  const int listed = ListedCount(paths);
  for (QueueEntry& e : queue.Entries) {
    e.Number = ++position;
    e.Count = listed;
  }
}

// Appends the folder's files; false when it yields none (reported).
bool AddFolder(PlayQueue& queue, const std::string& folder) {
  const size_t source = queue.Sources.size();
  queue.Sources.push_back({folder, true});
  std::string topReason;
  const auto unreadable = [&](const std::string& path, const std::string& reason) {
    if (path == folder)
      topReason = reason;
    else
      console::WriteErrorLine("Cannot open folder \"" + ConsoleName(FullPathName(path)) + "\". " + reason);
  };
  const std::vector<std::string> files = CollectFolderFiles(folder, unreadable);
  for (const std::string& file : files) queue.Entries.push_back(QueueEntry{file, file, 0, {}, {}, source});
  if (files.empty()) ReportNothingToPlay(folder, topReason);
  return !files.empty();
}

// Appends the playlist's lines that name a file, numbered by line with the
// running count; false when none does (reported).
bool AddPlaylist(PlayQueue& queue, const std::string& path) {
  const size_t source = queue.Sources.size();
  queue.Sources.push_back({path, true});
  const std::vector<PlaylistLine> lines = ReadPlaylist(path);
  int count = static_cast<int>(lines.size());
  bool any = false;
  for (const PlaylistLine& line : lines) {
    const std::string file = ResolvePlaylistName(line.Name, path);
    if (file.empty()) {
      --count;
      continue;
    }
    queue.Entries.push_back(QueueEntry{file, line.Name, line.Number, count, line.Title, source});
    any = true;
  }
  if (!any) ReportNothingToPlay(path);
  return any;
}

}  // namespace

void ReportNothingToPlay(const std::string& name, const std::string& reason) {
  console::WriteErrorLine("nothing to play in " + ConsoleName(name) + (reason.empty() ? "" : ": " + reason));
}

PlayQueue SingleFileQueue(const std::string& path) {
  PlayQueue queue;
  queue.SingleFile = true;
  queue.Sources.push_back({path, false});
  queue.Entries.push_back(QueueEntry{path, path, 1, std::nullopt, {}, 0});
  return queue;
}

PlayQueue FolderQueue(const std::string& folder, bool shuffle) {
  PlayQueue queue;
  queue.WritesLastPlaylist = true;
  AddFolder(queue, folder);
  if (shuffle) ShuffleEntries(queue.Entries);
  NumberByPosition(queue);
  return queue;
}

PlayQueue PlaylistQueue(const std::string& path, bool shuffle) {
  PlayQueue queue;
  AddPlaylist(queue, path);
  if (shuffle) ShuffleEntries(queue.Entries);
  return queue;
}

PlayQueue ArgumentQueue(const std::vector<std::string>& targets, bool shuffle,
                        const std::function<bool(const std::string&)>& isPlaylist) {
  PlayQueue queue;
  queue.WritesLastPlaylist = true;
  for (const std::string& target : targets) {
    try {
      if (PathKindOf(target) == TPathKind::Directory) {
        AddFolder(queue, target);
      } else if (isPlaylist(target)) {
        AddPlaylist(queue, target);
      } else {
        queue.Entries.push_back(QueueEntry{target, target, 0, {}, {}, queue.Sources.size()});
        queue.Sources.push_back({target, false});
      }
    } catch (const std::runtime_error& e) {
      // Cannot be read, or a playlist that is not UTF-8: the others play.
      console::WriteErrorLine(ConsoleName(e.what()));
    }
  }
  if (shuffle) ShuffleEntries(queue.Entries);
  NumberByPosition(queue);
  return queue;
}

std::vector<std::string> LastPlaylistNames(const PlayQueue& queue) {
  std::vector<std::string> names;
  for (const QueueEntry& e : queue.Entries) names.push_back(FullPathName(e.Path));
  return names;
}
