#include "Settings.h"

#include <sstream>
#include <string_view>

#include "Console.h"
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

DeviceNameLookup gDeviceNameLookup = nullptr;

bool IsSwitchLetter(std::string_view arg, char letter) {
  return arg.size() == 2 && (arg[0] == '-' || arg[0] == '/') && (arg[1] == letter || arg[1] == letter - ('a' - 'A'));
}

}  // namespace

void ReadConfiguration(const std::string& path, PlayerSettings& settings) {
  if (!IsExistingFile(path)) return;
  const auto lines = ReadFirstLines(path, 2);
  const std::string line1 = lines.size() > 0 ? lines[0] : std::string();
  const std::string line2 = lines.size() > 1 ? lines[1] : std::string();
  settings.Volume = StrToInt(line2);
  int32_t device = -1;
  if (!TryStrToInt(line1, device)) {
    // Not a number: the name of a listed device, else the conversion error.
    device = gDeviceNameLookup != nullptr && !line1.empty() ? gDeviceNameLookup(line1) : -1;
    if (device < 0) StrToInt(line1);
  }
  settings.Device = device;
}

void SetDeviceNameLookup(DeviceNameLookup lookup) { gDeviceNameLookup = lookup; }

void ScanArguments(const std::vector<std::string>& args, PlayerSettings& settings) {
  for (const std::string& arg : args) {
    const bool isFile = IsExistingFile(arg);
    const bool isDirectory = !isFile && IsExistingDirectory(arg);
    if (!isFile && !isDirectory) {
      if (IsSwitchLetter(arg, 'r')) settings.Shuffle = true;
      if (IsSwitchLetter(arg, 'n')) settings.KeepLastPlaylist = false;
      if (arg.size() >= 2 && arg[0] == '/' && arg[1] == 'v') {
        if (arg.size() == 3)
          settings.Volume = StrToInt(std::string_view(arg).substr(2, 1));
        else if (arg.size() == 4)
          settings.Volume = StrToInt(std::string_view(arg).substr(2, 2));
        else if (arg.size() == 5)
          settings.Volume = 100;
      }
    }
    if (isFile)
      settings.Folder.clear();
    else if (isDirectory)
      settings.Folder = arg;
  }
}

bool IsExistingFile(const std::string& path) { return PathKindOf(path) == TPathKind::File; }

bool IsExistingDirectory(const std::string& path) { return PathKindOf(path) == TPathKind::Directory; }
