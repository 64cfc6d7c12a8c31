// The one play loop: plays a queue's tracks in order, each with its header
// and status line, joining a track that ends by itself to the next without
// a gap, and running a track down when the listener ends it. The keys and
// the desktop's media controls drive it with the same commands.
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <vector>

#include "MediaControls.h"
#include "PlayQueue.h"
#include "PlayerCommand.h"
#include "ReplayGain.h"
#include "Settings.h"
#include "TrackPlayback.h"
#include "bass.h"

class QueuePlayer {
 public:
  QueuePlayer(const PlayQueue& queue, const PlayerSettings& settings, GainMode gain,
              std::unique_ptr<MediaControls> controls = nullptr);

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
    double Gain = 1;  // the ReplayGain factor
    std::string Url;  // for the media controls
  };
  // How a track's playing ended.
  enum class End { ByItself, Stopped, Next, Previous, Quit };

  // Opens the first entry from `from` on (on down, with step -1) that the
  // engine plays, and sets it up; the entries passed over go to
  // unplayable.
  std::optional<Track> Open(size_t from, std::vector<size_t>& unplayable, HSTREAM opened = 0, int step = 1);
  void ReportUnplayable(std::vector<size_t>& unplayable);
  // Writes the header and starts the track unless it already plays (joined
  // to the one before it).
  void Begin(const Track& track);
  // The tick loop: the status line every 50 ms until the track ends or the
  // listener ends it. Meanwhile, near the track's end, the next track is
  // opened and joined to it.
  End Play(const Track& track);
  // Carries out one command; how the track ends, if it does.
  std::optional<End> Apply(const Track& track, const PlayerCommand& command);
  void SeekTo(const Track& track, double seconds);
  // Where the track is for a seek from here: a seek just made is not heard
  // yet (what the engine and the device hold plays first), so a second one
  // counts from the first one's target.
  double SeekBase(const Track& track) const;
  // The volume and the mute state on the track playing and the one joined
  // to it.
  void ApplyVolume(const Track& track);
  double StreamVolume(const Track& track) const;
  void Notice(const std::string& text);
  void Publish(const Track& track, DWORD state);
  // The joined track again from its start, joined anew (it may have begun).
  void Rejoin(const Track& track);

  const PlayQueue& fQueue;
  GainMode fGain;
  std::unique_ptr<MediaControls> fControls;
  TrackMemory fMemory;
  std::vector<int> fPlayed;
  int fVolume;  // percent, 0..100
  bool fMuted = false;
  bool fPaused = false;
  std::string fNotice;
  double fNoticeUntil = 0;
  double fSeekTarget = 0, fSeekAt = -1;  // the last seek (wall time -1: none on this track)
  // The track joined to the one playing, and the entries passed over
  // before it; opened once per track.
  std::optional<Track> fNext;
  std::vector<size_t> fNextUnplayable;
  bool fNextOpened = false;
};

// The track gain, or the album gain when every track of a list carries one.
GainMode ChooseGainMode(const PlayQueue& queue, bool replayGain);
