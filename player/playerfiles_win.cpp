// The player's files on Windows: always beside the program.
#include "PlayerFiles.h"

PlayerFiles LocatePlayerFiles(const std::string& programDirectory) { return FilesBesideProgram(programDirectory); }

void CreateLastPlaylistFolder(const PlayerFiles&) {}
