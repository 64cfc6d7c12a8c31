// What the listener asks of the play loop, from the keyboard or from the
// desktop's media controls: one set of commands, so the two cannot
// disagree.
#pragma once

#include <optional>

#include "Keys.h"

struct PlayerCommand {
  enum class Kind {
    TogglePause,
    Play,
    Pause,
    SeekBy,     // Value: seconds, forward or back, within the track
    SeekTo,     // Value: seconds from the track's start
    Next,       // a single file ends
    Previous,   // more than 3 s into a track: back to its start
    VolumeBy,   // Value: percentage points
    SetVolume,  // Value: percent
    ToggleMute,
    EndTrack,  // the space bar: ends a single file, the next track in a list
    Quit,      // ends the run after the track's run-down
  };
  Kind Command;
  double Value = 0;
};

// The command a key stands for: p pause, arrows seek (5 s, 60 s), n and >
// next, b and < previous, + - (0 9) volume, m mute, q quit, space ends the
// track. Nothing for other keys.
std::optional<PlayerCommand> CommandForKey(const KeyPress& key);
