// The clock every output keeps: which ring frame is being heard.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdint>

namespace quav {

// Which frame of the ring is being heard. The device is handed frames at
// its own pace: frames from the ring, and silence whenever the ring has run
// dry. A frame is heard some time after it was handed, so the heard ring
// frame is found by walking back from the device frame being heard over the
// device frames, gaps of silence included. Only the last gap is remembered:
// with an earlier one still inside the latency window the answer is a
// little early, never late.
//
// The device frame being heard comes either from a fixed latency (Handed:
// the frames handed so far less the latency) or from the device itself
// (Record the frames handed, then PlayedTo the frame it says it plays).
//
// Threads: Handed, Record and PlayedTo belong to the output's consumer (the
// real-time callback, the silent clock, or whoever holds the output's lock)
// and touch only plain fields and one atomic store; Heard() may be called
// from any thread. Reset() runs on the thread that starts the output,
// before the consumer runs.
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
  // out of the ring and the rest silence; heard is what was handed a
  // latency ago.
  void Handed(size_t fromRing, size_t frames) {
    Record(fromRing, frames);
    if (fDevice >= fLatency) PlayedTo(fDevice - fLatency);
  }

  // Consumer: as Handed, for a device that tells what it plays itself.
  void Record(size_t fromRing, size_t frames) {
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
  }

  // Consumer: the device is playing device frame `at` (counted from the
  // start, silence included; never past what it was handed).
  void PlayedTo(uint64_t at) {
    at = std::min(at, fDevice);
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
  // Consumer: device frames handed so far, silence included.
  uint64_t HandedFrames() const { return fDevice; }
  uint64_t LatencyFrames() const { return fLatency; }

 private:
  // Written by Reset (no consumer running) and read by the consumer; also
  // read by LatencyFrames, which callers use only while the output stands.
  uint64_t fLatency;
  // ---- The consumer's alone, set by Reset ----
  uint64_t fDevice = 0;  // frames handed to the device, silence included
  uint64_t fRing = 0;    // of which from the ring
  bool fHaveGap = false;
  bool fInGap = false;
  uint64_t fGapStart = 0, fGapLength = 0, fRingAtGap = 0;
  // Stored by the consumer only, loaded by anyone.
  std::atomic<uint64_t> fHeard{0};
};

}  // namespace quav
