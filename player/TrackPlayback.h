// Playing one track: equaliser, header, status line every 50 ms, wind-down.
// The same routine serves single-file, folder and playlist playback.
#pragma once

#include <optional>
#include <string>

#include "Settings.h"
#include "bass.h"

struct TrackDisplay {
  int Number = 1;                // shown after "Playing file: "
  std::optional<int> Count;      // shown after " from " (list playback)
  bool SetVolumeEveryTick = false;
  bool SpaceBarStops = false;
  bool StopAtTotal = false;      // stop when the elapsed seconds reach the total
  bool FreeEngineAfter = false;  // single file: release the engine at the end
};

TrackDisplay SingleFileDisplay();
TrackDisplay ListEntryDisplay(int number, int count);

// Carries the total from track to track: a stream with no length keeps the
// previous track's total.
struct TrackMemory {
  uint32_t Total = 0;
};

// Plays the open stream to its end (or until the display's stop rules say
// so), then releases the stream. The caller keeps ownership of nothing.
void TrackPlayback(const std::string& path, HSTREAM stream, const TrackDisplay& display,
                   const PlayerSettings& settings, TrackMemory& memory);
