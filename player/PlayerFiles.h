// Where the player keeps its two files: the configuration it reads and the
// last playlist it writes.
#pragma once

#include <optional>
#include <string>

#include "FolderList.h"
#include "Settings.h"

struct PlayerFiles {
  std::string Configuration;  // quavlin.cfg
  std::string LastPlaylist;   // lastplay.m3u
  bool BesideProgram = true;  // both in the program directory
};

// Both files in the program directory.
inline PlayerFiles FilesBesideProgram(const std::string& programDirectory) {
  return {ConfigurationFile(programDirectory), LastPlaylistFile(programDirectory), true};
}

// The files of this run. A quavlin.cfg in the program directory keeps both
// files there (a portable copy; on Windows always). Otherwise, on POSIX
// systems, they are the user's: XdgPlayerFiles with this process's
// environment, and beside the program only when no home folder is known.
PlayerFiles LocatePlayerFiles(const std::string& programDirectory);

// Creates the last playlist's folder and the missing folders above it
// (mode 0700) unless the files are beside the program; raises EInOutError
// when a folder cannot be made.
void CreateLastPlaylistFolder(const PlayerFiles& files);

// The XDG base directories as the environment gives them. A value that is
// empty or not an absolute path counts as unset.
struct XdgEnvironment {
  std::string configHome;  // $XDG_CONFIG_HOME
  std::string stateHome;   // $XDG_STATE_HOME
  std::string home;        // $HOME, or the home folder of the user's account
};

// "<config>/quavlin/quavlin.cfg" and "<state>/quavlin/lastplay.m3u", where
// config is $XDG_CONFIG_HOME or ~/.config and state is $XDG_STATE_HOME or
// ~/.local/state. Nothing when a folder would need an unknown home.
std::optional<PlayerFiles> XdgPlayerFiles(const XdgEnvironment& environment);
