// How an output device is described in the device list.
#pragma once

#include <cstdint>
#include <string>

// The type text of a device's flags word (type in bits 24 to 31).
const char* DeviceTypeText(uint32_t flags);

// Name, then driver, type and flags on three indented lines; the flag
// words loopback (bit 3), enabled (bit 0) and default (bit 1) in that
// order, then the whole word in decimal. Ends without the last line end.
std::string DeviceInfoText(const char* name, const char* driver, uint32_t flags);
