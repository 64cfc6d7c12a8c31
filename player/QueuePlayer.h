// The one play loop: plays a queue's tracks in order, each with its header
// and status line, joining a track that ends by itself to the next without
// a gap, and running a track down when the listener ends it.
#pragma once

#include <cstddef>
#include <optional>
#include <vector>

#include "PlayQueue.h"
#include "ReplayGain.h"
#include "Settings.h"
#include "TrackPlayback.h"
#include "bass.h"

class QueuePlayer {
 public:
  QueuePlayer(const PlayQueue& queue, const PlayerSettings& settings, GainMode gain);

  // Plays the queue from its first entry; firstStream is that entry
  // already opened (single-file playback opens it to tell a file from a
  // playlist). Returns how many tracks played.
  int Run(HSTREAM firstStream = 0);
  // Tracks played from each of the queue's sources.
  const std::vector<int>& PlayedPerSource() const { return fPlayed; }

 private:
  struct Track {
    size_t Index = 0;
    HSTREAM Stream = 0;
    PreparedTrack Prepared;
    double Volume = 0;
  };
  // How a track's playing ended.
  enum class End { ByItself, Stopped };

  // Opens the first entry from `from` on that the engine plays, and sets
  // it up; the entries passed over go to unplayable.
  std::optional<Track> Open(size_t from, std::vector<size_t>& unplayable, HSTREAM opened = 0);
  void ReportUnplayable(std::vector<size_t>& unplayable);
  // Writes the header and starts the track unless it already plays (joined
  // to the one before it).
  void Begin(const Track& track);
  // The tick loop: the status line every 50 ms until the track ends or the
  // listener ends it. Meanwhile, near the track's end, the next track is
  // opened and joined to it.
  End Play(const Track& track);

  const PlayQueue& fQueue;
  const PlayerSettings& fSettings;
  GainMode fGain;
  TrackMemory fMemory;
  std::vector<int> fPlayed;
  // The track joined to the one playing, and the entries passed over
  // before it; opened once per track.
  std::optional<Track> fNext;
  std::vector<size_t> fNextUnplayable;
  bool fNextOpened = false;
};

// The track gain, or the album gain when every track of a list carries one.
GainMode ChooseGainMode(const PlayQueue& queue, bool replayGain);
