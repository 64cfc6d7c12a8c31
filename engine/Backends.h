// What each system backend offers the device list (Devices.cpp), one unit
// each: PortAudioOutput.cpp everywhere, PulseOutput.cpp where there is a
// PulseAudio client library (QUAV_HAVE_PULSE; not on Windows).
#pragma once

#include <memory>
#include <vector>

#include "Devices.h"

namespace quav {

// PortAudio's output devices (PortAudio initialised on the first call, the
// sound system's diagnostics kept off the terminal).
std::vector<SystemDevice> ProbePortAudioDevices();
std::unique_ptr<Output> MakePortAudioOutput(const SystemDevice& device, int rate, double bufferSeconds,
                                            double mostPerTake);

#if QUAV_HAVE_PULSE
// The sinks of the PulseAudio server, when one answers within a moment (no
// server is started for it); empty otherwise. The server's default sink is
// flagged default.
std::vector<SystemDevice> ProbePulseSinks();
// A playback stream on the sink, or on the server's default sink (and
// following it) when sink is nullptr.
std::unique_ptr<Output> MakePulseOutput(const SystemDevice* sink, int rate, double bufferSeconds, double mostPerTake);
#endif

}  // namespace quav
