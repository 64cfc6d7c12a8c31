// The system's output devices as the engine lists them, across backends:
// the sound server's sinks first (PulseAudio, where one answers), then
// PortAudio's devices. Each backend is a unit of its own (Backends.h).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "Output.h"

namespace quav {

// A system output device as listed for the user.
struct SystemDevice {
  enum class Backend { PortAudio, Pulse };
  Backend backend = Backend::PortAudio;
  std::string name;
  std::string driver;  // host API name, "PulseAudio" for a sink
  bool isDefault = false;
  unsigned type = 0;  // device type bits (already shifted into 24..31), 0 when unknown
  int paIndex = -1;   // PortAudio device index
  int maxChannels = 0;
  std::string sinkName;  // the server's name of a sink
};

// Device number (from 1) of the list; nullptr past its end. The list is
// made once per process, each backend when first needed: the sinks
// without probing PortAudio, so a sink opens without PortAudio's probe of
// every ALSA device. Names stay valid until the process ends.
const SystemDevice* SystemDeviceAt(int number);
// The number of the device flagged default; 0 when there is none.
int DefaultSystemDevice();

// Opens a system device; nullptr when it cannot be opened at that rate.
// followDefault: the device stands for "the default device", and a sink
// then follows the server's default when the user changes it.
// bufferSeconds: the latency to ask for (0: the engine's default);
// mostPerTake: the most the device may take out of the ring at once.
std::unique_ptr<Output> MakeSystemOutput(const SystemDevice& device, bool followDefault, int rate, double bufferSeconds,
                                         double mostPerTake);

// The version of the PortAudio library loaded at run time: major << 16 |
// minor << 8 | subminor. Needs no initialisation.
uint32_t PortAudioVersion();

// Runs fn with standard error silenced where sound systems write their
// probing diagnostics straight to it (ALSA plug-ins, JACK, the sound
// server's client library: quiet_posix.cpp); Windows' audio interfaces
// write none (quiet_win.cpp).
int WithoutStderr(const std::function<int()>& fn);

}  // namespace quav
