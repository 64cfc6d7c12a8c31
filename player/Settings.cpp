#include "Settings.h"

#include <algorithm>
#include <sstream>
#include <string_view>

#include "Console.h"
#include "FileAccess.h"
#include "TextUtils.h"

std::string ProgramDirectory() {
  const std::string path = ProgramPath();
  const size_t slash = path.find_last_of(PathSeparators());
  return slash == std::string::npos ? "./" : path.substr(0, slash + 1);
}

std::string ConfigurationFile(const std::string& programDirectory) { return programDirectory + "quavlin.cfg"; }

namespace {

// Reads up to `wanted` lines; lines end in CR LF or LF.
std::vector<std::string> ReadFirstLines(const std::string& path, size_t wanted) {
  std::istringstream in(ReadFileBytes(path));
  std::vector<std::string> lines;
  std::string line;
  while (lines.size() < wanted && std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

bool IsSwitchLetter(std::string_view arg, char letter) {
  return arg.size() == 2 && (arg[0] == '-' || arg[0] == '/') && (arg[1] == letter || arg[1] == letter - ('a' - 'A'));
}

}  // namespace

void ReadConfiguration(const std::string& path, PlayerSettings& settings,
                       const std::function<int32_t(const std::string&)>& deviceByName) {
  if (!IsExistingFile(path)) return;
  const auto lines = ReadFirstLines(path, 2);
  const std::string line1 = lines.size() > 0 ? lines[0] : std::string();
  const std::string line2 = lines.size() > 1 ? lines[1] : std::string();
  const auto convert = [&](const std::string& line, int number) {
    try {
      return StrToInt(line);
    } catch (const EConvertError& e) {
      throw EConfigurationError(e, "line " + std::to_string(number) + " of " + FullPathName(path));
    }
  };
  settings.Volume = convert(line2, 2);
  int32_t device = -1;
  // Not a number: the name of a listed device, else the conversion error.
  if (!TryStrToInt(line1, device) && (!deviceByName || line1.empty() || (device = deviceByName(line1)) < 0))
    device = convert(line1, 1);
  settings.Device = device;
}

std::string HoldVolume(PlayerSettings& settings) {
  const int32_t held = std::clamp<int32_t>(settings.Volume, 0, 100);
  if (held == settings.Volume) return {};
  const std::string text = "volume " + std::to_string(settings.Volume) + " held to " + std::to_string(held);
  settings.Volume = held;
  return text;
}

void ScanArguments(const std::vector<std::string>& args, PlayerSettings& settings) {
  for (const std::string& arg : args) {
    const bool switchLike =
        arg.size() >= 2 &&
        (arg[0] == '-' || (arg[0] == '/' && arg.find_first_of(PathSeparators(), 1) == std::string::npos)) &&
        PathKindOf(arg) == TPathKind::Missing;
    if (!switchLike) {
      settings.Targets.push_back(arg);
    } else if (IsSwitchLetter(arg, 'r')) {
      settings.Shuffle = true;
    } else if (IsSwitchLetter(arg, 'n')) {
      settings.KeepLastPlaylist = false;
    } else if (IsSwitchLetter(arg, 'g')) {
      settings.ReplayGain = true;
    } else if (arg[0] == '/' && arg[1] == 'v') {
      if (arg.size() == 3)
        settings.Volume = StrToInt(std::string_view(arg).substr(2, 1));
      else if (arg.size() == 4)
        settings.Volume = StrToInt(std::string_view(arg).substr(2, 2));
      else if (arg.size() == 5)
        settings.Volume = 100;
    } else if (arg != "--help" && arg != "--version") {
      settings.Ignored.push_back(arg);
    }
  }
}

bool IsExistingFile(const std::string& path) { return PathKindOf(path) == TPathKind::File; }

bool IsExistingDirectory(const std::string& path) { return PathKindOf(path) == TPathKind::Directory; }
