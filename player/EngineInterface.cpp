#include "Engine.h"

#include <cstdlib>

#include "Console.h"
#include "DeviceInfo.h"

void EngineErrorExit(const std::string& text) {
  console::WriteLine("Error(" + std::to_string(BASS_ErrorGetCode()) + "): " + text);
  BASS_Free();
  std::exit(0);
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

void InitialiseEngine(int device) {
  BASS_SetConfig(BASS_CONFIG_NET_PLAYLIST, 1);
  BASS_SetConfig(BASS_CONFIG_MF_VIDEO, 1);
  if (!BASS_Init(device, 44100, BASS_DEVICE_3D, nullptr, nullptr)) EngineErrorExit("Can't initialize device");
  for (const char16_t* addOn : {u"bassflac.dll", u"basshls.dll", u"bassdsd.dll", u"bassalac.dll", u"bassopus.dll"})
    BASS_PluginLoad(addOn, BASS_UNICODE);
}

HSTREAM OpenFileStream(const std::string& path) {
  return BASS_StreamCreateFile(FALSE, path.c_str(), 0, 0, 0);
}
