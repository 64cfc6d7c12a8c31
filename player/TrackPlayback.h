// One track's road through the engine: equaliser, length, header, the
// status line's figures, the run-down. The play loop (QueuePlayer.h) and
// the soak test drive tracks with these.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "ReplayGain.h"
#include "StatusLine.h"
#include "bass.h"

// What a track's header shows besides the file's own tags.
struct TrackDisplay {
  int Number = 1;            // shown after "Playing file: "
  std::optional<int> Count;  // shown after " from " (lists)
  std::string Title;         // shown when the file's tags have none (a playlist's title)
};

// Carries the total from track to track: a stream with no length keeps the
// previous track's total.
struct TrackMemory {
  uint32_t Total = 0;
};

// A track opened and set up, not yet heard.
struct PreparedTrack {
  uint32_t Total = 0;  // whole seconds
  std::string Header;  // the two header lines (or, for a stream without a length, an empty line), with line ends
  GainTags Gain;
  std::string Title, Artist, Album;  // UTF-8, as the header shows them (the title: or the bare name)
};

// Nine flat equaliser bands, the length and the header (texts from the tag
// library, or from the engine for a file it does not read). The volume is
// the caller's (SetTrackVolume).
PreparedTrack PrepareTrack(const std::string& path, HSTREAM stream, const TrackDisplay& display, TrackMemory& memory);

// The stream's volume: percent of full scale times the ReplayGain factor.
void SetTrackVolume(HSTREAM stream, double volume);

// What one tick shows of the stream in the given state.
StatusValues PollStatus(HSTREAM stream, uint32_t state, uint32_t total);

// Seconds from the position heard to the end of the stream; nothing when
// its length is not known.
std::optional<double> RemainingSeconds(HSTREAM stream);

// The blanking line, the run-down of the rate and the fade, then waiting
// for the fade's end; wait(microseconds) passes the time between (the
// player sleeps). For a track the listener ends; one that ended by itself
// has nothing left to run down.
void WindDown(HSTREAM stream, const std::function<void(unsigned microseconds)>& wait);
