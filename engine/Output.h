// Output devices. An output pulls stereo float frames from a FrameRing at
// its own pace: a PortAudio device in its real-time callback, which neither
// locks nor allocates; the silent device whenever it is brought up to the
// present (under its own lock, from the engine thread or a caller).
#pragma once

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "FrameRing.h"

namespace quav {

// Which frame of the ring is being heard. The device is handed frames at
// its own pace: frames from the ring, and silence whenever the ring has run
// dry. A frame is heard a latency after it was handed, so the heard ring
// frame is found by walking back one latency over the device frames, gaps
// of silence included. Only the last gap is remembered: with an earlier one
// still inside the latency window the answer is a little early, never late.
//
// Threads: Handed() belongs to the output's consumer (the real-time
// callback or the silent clock) and touches only plain fields and one
// atomic store; Heard() may be called from any thread. Reset() runs on the
// thread that starts the output, before the consumer runs.
class DeviceClock {
 public:
  explicit DeviceClock(uint64_t latencyFrames = 0) : fLatency(latencyFrames) {}

  // Starts again from frame 0; only while no consumer runs.
  void Reset(uint64_t latencyFrames) {
    fLatency = latencyFrames;
    fDevice = fRing = 0;
    fHaveGap = fInGap = false;
    fGapStart = fGapLength = fRingAtGap = 0;
    fHeard.store(0, std::memory_order_release);
  }

  // Consumer: frames frames went to the device, the first fromRing of them
  // out of the ring and the rest silence.
  void Handed(size_t fromRing, size_t frames) {
    if (fromRing > 0) {
      fRing += fromRing;
      fDevice += fromRing;
      fInGap = false;
    }
    if (frames > fromRing) {
      if (!fInGap) {
        fInGap = true;
        fGapStart = fDevice;
        fGapLength = 0;
        fRingAtGap = fRing;
        fHaveGap = true;
      }
      fGapLength += frames - fromRing;
      fDevice += frames - fromRing;
    }
    if (fDevice < fLatency) return;
    const uint64_t at = fDevice - fLatency;  // device frame being heard
    uint64_t heard;
    if (!fHaveGap) {
      heard = at;
    } else if (at >= fGapStart + fGapLength) {
      heard = fRingAtGap + (at - fGapStart - fGapLength);
    } else if (at >= fGapStart) {
      heard = fRingAtGap;
    } else {
      heard = fRingAtGap > fGapStart - at ? fRingAtGap - (fGapStart - at) : 0;
    }
    heard = std::min(heard, fRing);
    if (heard > fHeard.load(std::memory_order_relaxed)) fHeard.store(heard, std::memory_order_release);
  }

  // Ring frames heard so far (never decreases).
  uint64_t Heard() const { return fHeard.load(std::memory_order_acquire); }
  uint64_t LatencyFrames() const { return fLatency; }

 private:
  // Written by Reset (no consumer running) and read by the consumer; also
  // read by LatencyFrames, which callers use only while the output stands.
  uint64_t fLatency;
  // ---- The consumer's alone (Handed), set by Reset ----
  uint64_t fDevice = 0;  // frames handed to the device, silence included
  uint64_t fRing = 0;    // of which from the ring
  bool fHaveGap = false;
  bool fInGap = false;
  uint64_t fGapStart = 0, fGapLength = 0, fRingAtGap = 0;
  // Stored by the consumer only, loaded by anyone.
  std::atomic<uint64_t> fHeard{0};
};

// Threads: Start, Stop and destruction come from one controlling thread at
// a time (the engine's BASS_Init and BASS_Free); LatencySeconds, Rate,
// HeardFrames and Advance may be called from any thread while the output
// exists. The consumer, once started, reads only the ring and writes only
// its clock.
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
  virtual int Rate() const = 0;
  // Ring frames heard so far; keeps counting while the device plays the
  // silence of an empty ring.
  virtual uint64_t HeardFrames() = 0;
  // Brings an output without a thread of its own up to the present (it takes
  // what is due out of the ring). The engine thread calls it before it looks
  // at the ring or writes to it; devices with their own callback ignore it.
  virtual void Advance() {}
};

// Device 0: consumes audio in real time and discards it. latencySeconds
// simulates the buffering of a real device (0: none).
std::unique_ptr<Output> MakeSilentOutput(int rate, double latencySeconds = 0.0);

// A system output device as listed for the user.
struct SystemDevice {
  std::string name;
  std::string driver;  // host API name
  bool isDefault = false;
  unsigned type = 0;  // device type bits (already shifted into 24..31), 0 when unknown
  int paIndex = -1;   // PortAudio device index
  int maxChannels = 0;
};

// The system's output devices (PortAudio, initialised on first use with
// the sound system's diagnostics kept off the terminal). Stable for the
// life of the process.
const std::vector<SystemDevice>& SystemDevices();

// The version of the PortAudio library loaded at run time: major << 16 |
// minor << 8 | subminor. Needs no initialisation.
uint32_t PortAudioVersion();

// Runs fn with standard error silenced where sound systems write their
// probing diagnostics straight to it (ALSA plug-ins, JACK: quiet_posix.cpp);
// Windows' audio interfaces write none (quiet_win.cpp).
int WithoutStderr(const std::function<int()>& fn);

// Opens a system device; nullptr when it cannot be opened at that rate.
// bufferSeconds: the latency to ask for (0: the engine's default);
// mostPerTake: the most the device may take out of the ring at once.
std::unique_ptr<Output> MakeSystemOutput(const SystemDevice& device, int rate, double bufferSeconds,
                                         double mostPerTake);

}  // namespace quav
