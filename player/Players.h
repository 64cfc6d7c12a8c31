// The two list players; single-file playback is TrackPlayback itself.
#pragma once

#include <string>

#include "PlayerFiles.h"
#include "Settings.h"

// Plays every file beneath the folder, in name order or shuffled, after
// writing the play order to the last-playlist file (unless switched off).
void PlayFolder(const std::string& folder, bool shuffle, const PlayerSettings& settings, const PlayerFiles& files);

// Plays every line of the playlist that names an existing file.
void PlayPlaylist(const std::string& path, const PlayerSettings& settings);
