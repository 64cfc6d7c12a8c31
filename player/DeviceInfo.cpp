#include "DeviceInfo.h"

namespace {
constexpr uint32_t kEnabled = 1;
constexpr uint32_t kDefault = 2;
constexpr uint32_t kLoopback = 8;
}  // namespace

const char* DeviceTypeText(uint32_t flags) {
  switch (flags >> 24) {
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

std::string DeviceInfoText(const char* name, const char* driver, uint32_t flags) {
  std::string text = name ? name : "";
  text += "\r\n\tdriver: ";
  text += driver ? driver : "";
  text += "\r\n\ttype: ";
  text += DeviceTypeText(flags);
  text += "\r\n\tflags:";
  if (flags & kLoopback) text += " loopback";
  if (flags & kEnabled) text += " enabled";
  if (flags & kDefault) text += " default";
  text += " (" + std::to_string(flags) + ")";
  return text;
}
