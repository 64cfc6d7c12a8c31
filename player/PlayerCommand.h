// What the listener asks of the play loop, from the keyboard or from the
// desktop's media controls: one set of commands, so the two cannot
// disagree.
#pragma once

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
