// The play queue: every track of a run in play order, with the number and
// count its header shows. A single file, a folder, a playlist and several
// arguments each build it by their own rules; one loop plays them all
// (QueuePlayer.h).
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

struct QueueEntry {
  std::string Path;          // what is opened
  std::string Shown;         // what a "can't play" line names (a playlist's line as written)
  int Number = 1;            // shown after "Playing file: "
  std::optional<int> Count;  // shown after " from " (lists)
  std::string Title;         // a playlist's title for it, shown when the file's tags have none
  size_t Source = 0;         // the argument it came from (PlayQueue::Sources)
};

// An argument that holds tracks: a folder or a playlist. One that yields
// nothing is reported as "nothing to play in <name>".
struct QueueSource {
  std::string Name;  // as given
  bool Container = false;
};

struct PlayQueue {
  std::vector<QueueEntry> Entries;
  std::vector<QueueSource> Sources;
  bool SingleFile = false;          // the single-file rules: no count, the space bar ends it
  bool WritesLastPlaylist = false;  // folders and several arguments write their play order
};

// One file, played by the single-file rules.
PlayQueue SingleFileQueue(const std::string& path);

// Every file beneath the folder, in name order or shuffled, numbered by
// position with the listed count. A subfolder that cannot be read is
// reported on standard error; a folder that yields nothing is reported as
// "nothing to play in <folder>", with the reason when it cannot be read.
PlayQueue FolderQueue(const std::string& folder, bool shuffle);

// Every line (entry) of the playlist that names an existing file, numbered
// by line with the running count of lines that name one; shuffled, the
// entries keep their numbers and counts. Raises what ReadPlaylist raises.
PlayQueue PlaylistQueue(const std::string& path, bool shuffle);

// Several arguments as one queue: folders expanded in place, playlists'
// entries in place (isPlaylist tells a playlist from an audio file),
// numbered by position with the listed count of the whole queue, as a
// folder numbers its files. An argument that cannot be read is reported on
// standard error and left out.
PlayQueue ArgumentQueue(const std::vector<std::string>& targets, bool shuffle,
                        const std::function<bool(const std::string&)>& isPlaylist);

// The names the last playlist lists for the queue: absolute, in play order.
std::vector<std::string> LastPlaylistNames(const PlayQueue& queue);

// "nothing to play in <name>[: reason]" on standard error.
void ReportNothingToPlay(const std::string& name, const std::string& reason = {});
