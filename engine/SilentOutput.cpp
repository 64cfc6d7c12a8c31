// The "No sound" device: a clock thread that takes frames out of the ring
// at the rate real hardware would, so that positions, levels and slides
// advance as they would when heard.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "Output.h"

namespace quav {

namespace {

class SilentOutput final : public Output {
 public:
  SilentOutput(int rate, double latencySeconds) : fRate(rate), fLatencySeconds(latencySeconds) {}
  ~SilentOutput() override { Stop(); }

  bool Start(FrameRing& ring) override {
    Stop();
    fStop = false;
    fClock.Reset(static_cast<uint64_t>(fLatencySeconds * fRate));
    fThread = std::thread([this, &ring] { Run(ring); });
    return true;
  }

  void Stop() override {
    {
      std::lock_guard<std::mutex> lock(fMutex);
      fStop = true;
    }
    fWake.notify_all();
    if (fThread.joinable()) fThread.join();
  }

  double LatencySeconds() const override { return fLatencySeconds; }
  int Rate() const override { return fRate; }
  uint64_t HeardFrames() const override { return fClock.Heard(); }

 private:
  void Run(FrameRing& ring) {
    using Clock = std::chrono::steady_clock;
    const auto start = Clock::now();
    uint64_t clockFrames = 0;  // frames the "hardware" has played, heard or not
    bool silent = true;        // the last step ran out of audio
    std::unique_lock<std::mutex> lock(fMutex);
    while (!fStop) {
      fWake.wait_for(lock, std::chrono::milliseconds(5));
      const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
      const auto due = static_cast<uint64_t>(elapsed * fRate);
      if (due > clockFrames) {
        // An empty ring means silence was played: the clock runs on. Audio
        // that arrives during a silence is taken to follow it.
        const auto frames = static_cast<size_t>(due - clockFrames);
        const size_t got = ring.Read(nullptr, frames);
        if (silent && got < frames) {
          fClock.Handed(0, frames - got);
          fClock.Handed(got, got);
        } else {
          fClock.Handed(got, frames);
        }
        silent = got < frames;
        clockFrames = due;
      }
    }
  }

  // Fixed at construction.
  int fRate;
  double fLatencySeconds;
  DeviceClock fClock;  // Handed by the clock thread only
  std::thread fThread;  // started and joined by the controlling thread
  std::mutex fMutex;
  std::condition_variable fWake;
  bool fStop = false;  // under fMutex
};

}  // namespace

std::unique_ptr<Output> MakeSilentOutput(int rate, double latencySeconds) {
  return std::make_unique<SilentOutput>(rate, std::max(0.0, latencySeconds));
}

}  // namespace quav
