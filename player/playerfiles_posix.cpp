// The player's files on POSIX systems: beside a portable copy, else in the
// user's XDG base directories.
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "Console.h"
#include "FileAccess.h"
#include "PlayerFiles.h"

namespace {

// An absolute path without trailing slashes; empty otherwise. The root
// folder counts as no folder: nobody's files belong there.
std::string BaseFolder(const char* value) {
  if (value == nullptr || value[0] != '/') return {};
  std::string folder = value;
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  return folder == "/" ? std::string() : folder;
}

std::string HomeFolder() {
  if (std::string home = BaseFolder(std::getenv("HOME")); !home.empty()) return home;
  const passwd* account = ::getpwuid(::getuid());
  return account ? BaseFolder(account->pw_dir) : std::string();
}

}  // namespace

std::optional<PlayerFiles> XdgPlayerFiles(const XdgEnvironment& environment) {
  const std::string home = BaseFolder(environment.home.c_str());
  std::string config = BaseFolder(environment.configHome.c_str());
  std::string state = BaseFolder(environment.stateHome.c_str());
  if (config.empty() && !home.empty()) config = home + "/.config";
  if (state.empty() && !home.empty()) state = home + "/.local/state";
  if (config.empty() || state.empty()) return std::nullopt;
  return PlayerFiles{config + "/quavlin/quavlin.cfg", state + "/quavlin/lastplay.m3u", false};
}

PlayerFiles LocatePlayerFiles(const std::string& programDirectory) {
  PlayerFiles beside = FilesBesideProgram(programDirectory);
  if (IsExistingFile(beside.Configuration)) return beside;
  const char* configHome = std::getenv("XDG_CONFIG_HOME");
  const char* stateHome = std::getenv("XDG_STATE_HOME");
  const XdgEnvironment environment{configHome ? configHome : "", stateHome ? stateHome : "", HomeFolder()};
  return XdgPlayerFiles(environment).value_or(beside);
}

void CreateLastPlaylistFolder(const PlayerFiles& files) {
  if (files.BesideProgram) return;
  const std::string& path = files.LastPlaylist;
  // Every folder on the way, from the top; those that exist stay as they are.
  for (size_t slash = path.find('/', 1); slash != std::string::npos; slash = path.find('/', slash + 1)) {
    const std::string folder = path.substr(0, slash);
    if (::mkdir(folder.c_str(), 0700) == 0 || errno == EEXIST) continue;
    throw EInOutError("Cannot create folder \"" + folder + "\". " + std::strerror(errno));
  }
}
