#include "Engine.h"

#include <cstdlib>

#include "Console.h"
#include "TextUtils.h"

void EngineErrorExit(const std::string& text) {
  console::WriteLine("Error(" + std::to_string(BASS_ErrorGetCode()) + "): " + text);
  BASS_Free();
  std::exit(0);
}

const char* DeviceTypeText(DWORD flags) {
  switch ((flags & BASS_DEVICE_TYPE_MASK) >> 24) {
    case 1: return "Remote Network";
    case 2: return "Speakers";
    case 3: return "Line";
    case 4: return "Headphones";
    case 5: return "Microphone";
    case 6: return "Headset";
    case 7: return "Handset";
    case 8: return "Digital";
    case 9: return "SPDIF";
    case 10: return "HDMI";
    case 64: return "DisplayPort";
    default: return "Unknown";
  }
}

void PrintDeviceInfo(const BASS_DEVICEINFO& info) {
  std::string text = info.name ? info.name : "";
  text += "\r\n\tdriver: ";
  text += info.driver ? info.driver : "";
  text += "\r\n\ttype: ";
  text += DeviceTypeText(info.flags);
  text += "\r\n\tflags:";
  if (info.flags & BASS_DEVICE_LOOPBACK) text += " loopback";
  if (info.flags & BASS_DEVICE_ENABLED) text += " enabled";
  if (info.flags & BASS_DEVICE_DEFAULT) text += " default";
  text += " (" + std::to_string(info.flags) + ")";
  console::WriteLine(text);
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
