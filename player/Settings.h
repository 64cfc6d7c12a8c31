// The player's settings: defaults, the configuration file (PlayerFiles.h
// says where it lives) and the command-line scan.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "NativeFiles.h"

struct PlayerSettings {
  int32_t Volume = 20;  // percent; reaches the engine as Volume / 100
  int32_t Device = -1;  // -1: the engine's default output device
  bool Shuffle = false;
  bool KeepLastPlaylist = true;
  std::string Folder;  // the last directory argument, cleared by a file argument
};

// The running executable's directory, ending in a path separator ("./"
// when the program's path is unknown). ProgramPath() is in NativeFiles.h.
std::string ProgramDirectory();

// "quavlin.cfg" in the program directory.
std::string ConfigurationFile(const std::string& programDirectory);

// Reads the configuration file when it exists: line 1 the device number or
// the name of a listed device (a sound server's sink by its description),
// line 2 the volume. Line 2 is converted first; a line 2 that is not an
// integer, or a line 1 that is neither an integer nor a name the device
// name lookup knows, raises EConvertError. A missing file leaves the
// settings alone.
void ReadConfiguration(const std::string& path, PlayerSettings& settings);

// The number of the listed device of that name, or -1 when none has it.
// The player's engine side sets it (EngineInterface.cpp); without it no
// name is known.
using DeviceNameLookup = int32_t (*)(const std::string& name);
void SetDeviceNameLookup(DeviceNameLookup lookup);

// Applies every argument, first to last: the r and n switches ("-" or "/"
// and one letter, either case), the volume argument "/v" with one or two
// digits (five characters give 100), and file or directory arguments that
// decide Folder. An argument that names an existing file or directory is
// only ever a target, never a switch or a volume.
void ScanArguments(const std::vector<std::string>& args, PlayerSettings& settings);

// File-system tests: a file is anything that exists and is not a directory.
bool IsExistingFile(const std::string& path);
bool IsExistingDirectory(const std::string& path);
