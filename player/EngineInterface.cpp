#include "Engine.h"

#include <cstdlib>

#include "Console.h"
#include "DeviceInfo.h"
#include "Settings.h"
#include "StatusLine.h"

namespace {

// The engine error exit with the code taken earlier (asking the engine
// anything more sets a new one) and a hint line on standard error.
[[noreturn]] void EngineFailureExit(int code, const std::string& text, const std::string& hint) {
  console::WriteLine("Error(" + std::to_string(code) + "): " + text);
  if (!hint.empty()) console::WriteErrorLine(hint);
  BASS_Free();
  std::exit(kExitEngineFailure);
}

// The first listed device of that name; the list is asked no further than
// that, so a sink's name needs no look at PortAudio's devices.
int32_t DeviceNumberByName(const std::string& name) {
  BASS_DEVICEINFO info{};
  for (DWORD device = 1; BASS_GetDeviceInfo(device, &info); ++device)
    if (info.name != nullptr && name == info.name) return static_cast<int32_t>(device);
  return -1;
}

// Line 1 of the configuration may name a device; the settings ask here.
const bool kDeviceNamesKnown = (SetDeviceNameLookup(&DeviceNumberByName), true);

}  // namespace

void EngineErrorExit(const std::string& text) { EngineFailureExit(BASS_ErrorGetCode(), text, {}); }

void PrintDeviceInfo(const BASS_DEVICEINFO& info) {
  console::WriteLine(DeviceInfoText(info.name, info.driver, info.flags));
}

void ListOutputDevices() {
  BASS_DEVICEINFO info{};
  for (DWORD device = 1; BASS_GetDeviceInfo(device, &info); ++device) {
    console::Write(std::to_string(device) + ": ");
    PrintDeviceInfo(info);
  }
}

void InitialiseEngine(int device, const std::string& configurationFile) {
  BASS_SetConfig(BASS_CONFIG_NET_PLAYLIST, 1);
  BASS_SetConfig(BASS_CONFIG_MF_VIDEO, 1);
  if (!BASS_Init(device, 44100, BASS_DEVICE_3D, nullptr, nullptr)) {
    const int code = BASS_ErrorGetCode();
    std::string hint;
    BASS_DEVICEINFO first{};
    if (device == -1 && !BASS_GetDeviceInfo(1, &first))
      hint = "No output device found; line 1 of " + ConsoleName(configurationFile) +
             " set to 0 plays on the silent device.";
    EngineFailureExit(code, "Can't initialize device", hint);
  }
  for (const char16_t* addOn : {u"bassflac.dll", u"basshls.dll", u"bassdsd.dll", u"bassalac.dll", u"bassopus.dll"})
    BASS_PluginLoad(addOn, BASS_UNICODE);
}

void ExitIfOutputLost() {
  if (BASS_IsStarted() != BASS_ACTIVE_PAUSED_DEVICE) return;
  WriteBlankingLine();
  EngineFailureExit(BASS_ERROR_REINIT, "Output device lost",
                    "The output device went away (its sound server stopped or restarted).");
}

HSTREAM OpenFileStream(const std::string& path, DWORD flags) {
  return BASS_StreamCreateFile(FALSE, path.c_str(), 0, 0, flags);
}
