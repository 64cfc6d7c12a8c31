// The device list across backends, and opening a device of it.
#include "Devices.h"

#include <chrono>
#include <thread>

#include "Backends.h"

namespace quav {

namespace {

const std::vector<SystemDevice>& Sinks() {
#if QUAV_HAVE_PULSE
  static const std::vector<SystemDevice> sinks = ProbePulseSinks();
#else
  static const std::vector<SystemDevice> sinks;
#endif
  return sinks;
}

// With a sound server's sinks listed, its default sink is the default
// device, not PortAudio's.
const std::vector<SystemDevice>& PortAudioDevices() {
  static const std::vector<SystemDevice> devices = [] {
    std::vector<SystemDevice> list = ProbePortAudioDevices();
    if (!Sinks().empty())
      for (SystemDevice& d : list) d.isDefault = false;
    return list;
  }();
  return devices;
}

}  // namespace

const SystemDevice* SystemDeviceAt(int number) {
  if (number < 1) return nullptr;
  const auto index = static_cast<size_t>(number - 1);
  const auto& sinks = Sinks();
  if (index < sinks.size()) return &sinks[index];
  const auto& devices = PortAudioDevices();
  return index - sinks.size() < devices.size() ? &devices[index - sinks.size()] : nullptr;
}

int DefaultSystemDevice() {
  const auto& sinks = Sinks();
  for (size_t i = 0; i < sinks.size(); ++i)
    if (sinks[i].isDefault) return static_cast<int>(i) + 1;
  // A server without a default sink still plays on "the default".
  if (!sinks.empty()) return 1;
  const auto& devices = PortAudioDevices();
  for (size_t i = 0; i < devices.size(); ++i)
    if (devices[i].isDefault) return static_cast<int>(sinks.size() + i) + 1;
  return 0;
}

std::unique_ptr<Output> MakeSystemOutput(const SystemDevice& device, bool followDefault, int rate, double bufferSeconds,
                                         double mostPerTake) {
#if QUAV_HAVE_PULSE
  if (device.backend == SystemDevice::Backend::Pulse)
    return MakePulseOutput(followDefault ? nullptr : &device, rate, bufferSeconds, mostPerTake);
#else
  (void)followDefault;
#endif
  return MakePortAudioOutput(device, rate, bufferSeconds, mostPerTake);
}

void DrainByClock(Output& output, const FrameRing& ring, double limitSeconds) {
  const auto until = std::chrono::steady_clock::now() + std::chrono::duration<double>(limitSeconds);
  while (!output.Lost() && output.HeardFrames() < ring.WriteCount() && std::chrono::steady_clock::now() < until)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
}

}  // namespace quav
