// Output devices. An output pulls stereo float frames from a FrameRing at
// its own pace: the silent device on a clock thread, a PortAudio device in
// its real-time callback. Neither locks nor allocates while pulling.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "FrameRing.h"

namespace quav {

class Output {
 public:
  virtual ~Output() = default;
  // Starts pulling from ring (which must outlive the output). False on failure.
  virtual bool Start(FrameRing& ring) = 0;
  // Stops pulling; no callback runs once this returns.
  virtual void Stop() = 0;
  // Seconds between a frame leaving the ring and being heard.
  virtual double LatencySeconds() const = 0;
  virtual int Rate() const = 0;
};

// Device 0: consumes audio in real time and discards it.
std::unique_ptr<Output> MakeSilentOutput(int rate);

// A system output device as listed for the user.
struct SystemDevice {
  std::string name;
  std::string driver;   // host API name
  bool isDefault = false;
  unsigned type = 0;    // device type bits (already shifted into 24..31), 0 when unknown
  int paIndex = -1;     // PortAudio device index
  int maxChannels = 0;
};

// The system's output devices (PortAudio, initialised on first use with
// the sound system's diagnostics kept off the terminal). Stable for the
// life of the process.
const std::vector<SystemDevice>& SystemDevices();

// Opens a system device; nullptr when it cannot be opened at that rate.
std::unique_ptr<Output> MakeSystemOutput(const SystemDevice& device, int rate);

}  // namespace quav
