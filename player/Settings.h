// The player's settings: defaults, the configuration file (PlayerFiles.h
// says where it lives) and the command-line scan.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "NativeFiles.h"
#include "TextUtils.h"

struct PlayerSettings {
  int32_t Volume = 20;  // percent; reaches the engine as Volume / 100
  int32_t Device = -1;  // -1: the engine's default output device
  bool Shuffle = false;
  bool KeepLastPlaylist = true;
  bool ReplayGain = false;
  std::vector<std::string> Targets;  // the files, folders and playlists to play, in order
  std::vector<std::string> Ignored;  // switches that mean nothing
};

// The running executable's directory, ending in a path separator ("./"
// when the program's path is unknown). ProgramPath() is in NativeFiles.h.
std::string ProgramDirectory();

// "quavlin.cfg" in the program directory.
std::string ConfigurationFile(const std::string& programDirectory);

// A line of the configuration file that is not a number: the conversion
// error, and which line of which file it was.
class EConfigurationError : public EConvertError {
 public:
  EConfigurationError(const EConvertError& error, std::string where) : EConvertError(error), fWhere(std::move(where)) {}
  const std::string& Where() const { return fWhere; }  // "line 2 of <file>"

 private:
  std::string fWhere;
};

// Reads the configuration file when it exists: line 1 the device number or
// the name of a listed device (deviceByName gives its number, -1 for none),
// line 2 the volume. Line 2 is converted first; a line 2 that is not an
// integer, or a line 1 that is neither an integer nor a listed device's
// name, raises EConfigurationError. A missing file leaves the settings
// alone.
void ReadConfiguration(const std::string& path, PlayerSettings& settings,
                       const std::function<int32_t(const std::string&)>& deviceByName = {});

// Holds the volume to 0..100 (250 would clip every loud passage, a negative
// one play silence); what to tell the user when it was held, else nothing.
std::string HoldVolume(PlayerSettings& settings);

// Applies every argument, first to last. An argument that names an
// existing file or directory is a target, never a switch. Other arguments
// that begin with "-", or with "/" and hold no further "/", are switches:
// r (shuffle), n (no last playlist) and g (ReplayGain), "-" or "/" and one
// letter of either case; the volume "/v" with one or two digits (five
// characters give 100, other lengths change nothing); --help and
// --version (handled before); anything else is Ignored. The remaining
// arguments are targets too (which may not exist).
void ScanArguments(const std::vector<std::string>& args, PlayerSettings& settings);

// File-system tests: a file is anything that exists and is not a directory.
bool IsExistingFile(const std::string& path);
bool IsExistingDirectory(const std::string& path);
