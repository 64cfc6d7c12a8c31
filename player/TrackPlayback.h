// Playing one track: equaliser, header, status line every 50 ms, wind-down.
// The same routine serves single-file, folder and playlist playback.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "Settings.h"
#include "StatusLine.h"
#include "bass.h"

struct TrackDisplay {
  int Number = 1;            // shown after "Playing file: "
  std::optional<int> Count;  // shown after " from " (list playback)
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
void TrackPlayback(const std::string& path, HSTREAM stream, const TrackDisplay& display, const PlayerSettings& settings,
                   TrackMemory& memory);

// The steps of TrackPlayback, also for callers that drive a stream their
// own way (the soak test reads decode-only streams instead of playing).
//
// Nine flat equaliser bands, the length, the volume and the two header
// lines (texts from the tag library, or from the engine for a file it
// does not read); returns the total in whole seconds, kept in memory.
uint32_t PrepareTrack(const std::string& path, HSTREAM stream, const TrackDisplay& display,
                      const PlayerSettings& settings, TrackMemory& memory);
// What one tick shows of the stream in the given state.
StatusValues PollStatus(HSTREAM stream, uint32_t state, uint32_t total);
// The run-down of the rate and the fade, then waiting for the fade's end;
// wait(microseconds) passes the time between (the player sleeps).
void WindDown(HSTREAM stream, const std::function<void(unsigned microseconds)>& wait);
