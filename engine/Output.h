// The engine's output interface. An output pulls stereo float frames from a
// FrameRing at its own pace: a PortAudio device in its real-time callback,
// which neither locks nor allocates; a PulseAudio stream on its client
// thread whenever the server asks for more; the silent device whenever it
// is brought up to the present (under its own lock, from the engine thread
// or a caller). Each keeps a DeviceClock (DeviceClock.h) of what is heard;
// Devices.h lists and opens the system's devices.
#pragma once

#include <cstdint>
#include <memory>

#include "FrameRing.h"

namespace quav {

// Threads: Start, Stop and destruction come from one controlling thread at
// a time (the engine's BASS_Init and BASS_Free); LatencySeconds, Rate,
// HeardFrames, Advance and Lost may be called from any thread while the
// output exists. The consumer, once started, reads only the ring and writes
// only its clock.
class Output {
 public:
  virtual ~Output() = default;
  // Starts pulling from ring (which must outlive the output). False on failure.
  virtual bool Start(FrameRing& ring) = 0;
  // Stops pulling; no callback runs once this returns.
  virtual void Stop() = 0;
  // Waits, at most limitSeconds, until every frame written to the ring has
  // been heard (the end of a fade, say), so that stopping cuts nothing off.
  // The silent device has nothing to be heard and returns at once.
  virtual void Drain(double limitSeconds) { (void)limitSeconds; }
  // Seconds between a frame leaving the ring and being heard.
  virtual double LatencySeconds() const = 0;
  // Frames to be heard before a frame written to ring now: those the ring
  // holds and those on their way through the device. By default the
  // latency stands for the latter, which suits a device that takes frames
  // at an even pace; one that takes them in bursts tells them itself.
  virtual double AheadFrames(const FrameRing& ring) {
    return static_cast<double>(ring.Available()) + LatencySeconds() * Rate();
  }
  virtual int Rate() const = 0;
  // Ring frames heard so far; keeps counting while the device plays the
  // silence of an empty ring.
  virtual uint64_t HeardFrames() = 0;
  // Brings an output without a thread of its own up to the present (it takes
  // what is due out of the ring). The engine thread calls it before it looks
  // at the ring or writes to it; devices with their own callback ignore it.
  virtual void Advance() {}
  // True once the device has gone away for good (its sound server stopped):
  // nothing more is heard, and HeardFrames stands still.
  virtual bool Lost() const { return false; }
};

// Drain for a device with a clock of its own: polls until everything
// written to ring has been heard, the device is lost or limitSeconds pass.
void DrainByClock(Output& output, const FrameRing& ring, double limitSeconds);

// Device 0: consumes audio in real time and discards it. latencySeconds
// simulates the buffering of a real device (0: none).
std::unique_ptr<Output> MakeSilentOutput(int rate, double latencySeconds = 0.0);

}  // namespace quav
