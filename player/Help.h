// The player's --help and --version texts. Lines end in LF: these are read
// by people in a terminal and by tools, not redrawn like the status line.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "PlayerFiles.h"

// The project's version, from the build.
inline constexpr const char* kPlayerVersion = QUAV_VERSION;

enum class InfoRequest { None, Help, Version };

// The first "--help" or "--version" among the arguments; an argument that
// names an existing file or folder is a target, never a request.
InfoRequest FindInfoRequest(const std::vector<std::string>& args);

// Usage, switches, the files in effect, exit codes.
std::string HelpText(const PlayerFiles& files);

// Library versions as the engine reports them: major << 16 | minor << 8 |
// micro.
struct LibraryVersions {
  uint32_t avformat = 0;
  uint32_t avcodec = 0;
  uint32_t portaudio = 0;
};

// "Quavlin <version>", then the FFmpeg and PortAudio versions the program
// runs on.
std::string VersionText(const LibraryVersions& versions);
