// The desktop's media controls: on Linux, the MPRIS interfaces on the
// D-Bus session bus (mediacontrols_posix.cpp), which media keys, panels and
// phones drive; on Windows, none (mediacontrols_win.cpp). Requests arrive as the
// keyboard's commands; the play loop tells what plays.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "PlayerCommand.h"

// What the loop is playing, as the controls show it.
struct PlaybackSnapshot {
  enum class Status { Playing, Paused, Stopped };
  Status State = Status::Stopped;
  size_t Track = 0;  // the entry's place in the queue
  std::string Title, Artist, Album, Url;
  int64_t LengthMicroseconds = 0;
  int64_t PositionMicroseconds = 0;
  double Volume = 0;  // 0..1
  bool CanGoNext = false, CanGoPrevious = false;
};

class MediaControls {
 public:
  virtual ~MediaControls() = default;
  // Answers what came meanwhile; requests to play go to commands.
  virtual void Poll(std::vector<PlayerCommand>& commands) = 0;
  // What plays now; the controls tell their listeners what changed.
  virtual void Publish(const PlaybackSnapshot& now) = 0;
  // The position jumped (a seek, a track started again).
  virtual void Seeked(int64_t positionMicroseconds) = 0;
};

// The controls of this platform; nothing when there are none (no session
// bus), which is no error.
std::unique_ptr<MediaControls> ConnectMediaControls();
