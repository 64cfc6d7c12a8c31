#include "Engine.h"
#include "Players.h"
#include "PlaylistFile.h"
#include "TrackHeader.h"
#include "TrackPlayback.h"

void PlayPlaylist(const std::string& path, const PlayerSettings& settings) {
  if (!IsExistingFile(path)) return;
  const std::vector<std::string> lines = ReadPlaylistLines(path);
  int count = static_cast<int>(lines.size());

  TrackMemory memory;
  int number = 0;
  for (const std::string& line : lines) {
    ++number;
    if (!IsExistingFile(line)) {
      --count;
      continue;
    }
    const HSTREAM stream = OpenFileStream(line);
    if (!stream) {
      ReportUnplayableEntry(line);
      continue;
    }
    TrackPlayback(line, stream, ListEntryDisplay(number, count), settings, memory);
  }
  BASS_Free();
}
