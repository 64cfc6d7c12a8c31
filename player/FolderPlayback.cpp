#include "Engine.h"
#include "FolderList.h"
#include "Players.h"
#include "TrackHeader.h"
#include "TrackPlayback.h"

void PlayFolder(const std::string& folder, bool shuffle, const PlayerSettings& settings, const PlayerFiles& files) {
  std::vector<std::string> entries = CollectFolderFiles(folder);
  if (shuffle) ShuffleEntries(entries);
  const int listed = ListedCount(entries);
  if (settings.KeepLastPlaylist) {
    CreateLastPlaylistFolder(files);
    WriteLastPlaylist(files.LastPlaylist, entries);
  }

  TrackMemory memory;
  int position = 0;
  for (const std::string& entry : entries) {
    ++position;
    const HSTREAM stream = OpenFileStream(entry);
    if (!stream) {
      ReportUnplayableEntry(entry);
      continue;
    }
    TrackPlayback(entry, stream, ListEntryDisplay(position, listed), settings, memory);
  }
  BASS_Free();
}
