#include "Engine.h"

#include "Console.h"
#include "DeviceInfo.h"
#include "Settings.h"
#include "StatusLine.h"

void EngineErrorExit(const std::string& text) { throw EngineFailure{BASS_ErrorGetCode(), text, {}}; }

EngineSession::EngineSession(int device, const std::string& configurationFile) {
  BASS_SetConfig(BASS_CONFIG_NET_PLAYLIST, 1);
  BASS_SetConfig(BASS_CONFIG_MF_VIDEO, 1);
  if (!BASS_Init(device, 44100, BASS_DEVICE_3D, nullptr, nullptr)) {
    // The code first: asking the engine anything more sets a new one.
    EngineFailure failure{BASS_ErrorGetCode(), "Can't initialize device", {}};
    BASS_DEVICEINFO first{};
    if (device == -1 && !BASS_GetDeviceInfo(1, &first))
      failure.Hint = "No output device found; line 1 of " + ConsoleName(configurationFile) +
                     " set to 0 plays on the silent device.";
    throw failure;
  }
  for (const char16_t* addOn : {BASS_PLUGIN_NAMES(u"")}) BASS_PluginLoad(addOn, BASS_UNICODE);
}

EngineSession::~EngineSession() { BASS_Free(); }

int32_t DeviceNumberByName(const std::string& name) {
  BASS_DEVICEINFO info{};
  for (DWORD device = 1; BASS_GetDeviceInfo(device, &info); ++device)
    if (info.name != nullptr && name == info.name) return static_cast<int32_t>(device);
  return -1;
}

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

void ExitIfOutputLost() {
  if (BASS_IsStarted() != BASS_ACTIVE_PAUSED_DEVICE) return;
  WriteBlankingLine();
  throw EngineFailure{BASS_ERROR_REINIT, "Output device lost",
                      "The output device went away (its sound server stopped or restarted)."};
}

HSTREAM OpenFileStream(const std::string& path, DWORD flags) {
  return BASS_StreamCreateFile(FALSE, path.c_str(), 0, 0, flags);
}
