// The "No sound" device: a clock that takes frames out of the ring at the
// rate real hardware would, so that positions, levels and slides advance as
// they would when heard. It has no thread of its own: whoever looks at it
// (the engine thread before it tops the ring up, a caller asking what is
// heard) first brings it up to the present.
#include <algorithm>
#include <chrono>
#include <mutex>

#include "DeviceClock.h"
#include "Output.h"

namespace quav {

namespace {

class SilentOutput final : public Output {
 public:
  SilentOutput(int rate, double latencySeconds) : fRate(rate), fLatencySeconds(latencySeconds) {}

  bool Start(FrameRing& ring) override {
    std::lock_guard<std::mutex> lock(fMutex);
    fRing = &ring;
    fStart = Clock::now();
    fClockFrames = 0;
    fClock.Reset(static_cast<uint64_t>(fLatencySeconds * fRate));
    return true;
  }

  void Stop() override {
    std::lock_guard<std::mutex> lock(fMutex);
    fRing = nullptr;
  }

  double LatencySeconds() const override { return fLatencySeconds; }
  int Rate() const override { return fRate; }

  uint64_t HeardFrames() override {
    Advance();
    return fClock.Heard();
  }

  // The frames due since the last call leave the ring: the audio it holds
  // first, then silence when it runs dry. The engine thread calls this
  // before each write, so audio never counts as played before it arrived.
  void Advance() override {
    std::lock_guard<std::mutex> lock(fMutex);
    if (fRing == nullptr) return;
    const double elapsed = std::chrono::duration<double>(Clock::now() - fStart).count();
    const auto due = static_cast<uint64_t>(elapsed * fRate);
    if (due <= fClockFrames) return;
    const auto frames = static_cast<size_t>(due - fClockFrames);
    fClock.Handed(fRing->Read(nullptr, frames), frames);
    fClockFrames = due;
  }

 private:
  using Clock = std::chrono::steady_clock;

  const int fRate;
  const double fLatencySeconds;
  std::mutex fMutex;  // guards everything below: one consumer of the ring at a time
  FrameRing* fRing = nullptr;
  Clock::time_point fStart;
  uint64_t fClockFrames = 0;  // frames the "hardware" has played, heard or not
  DeviceClock fClock;
};

}  // namespace

std::unique_ptr<Output> MakeSilentOutput(int rate, double latencySeconds) {
  return std::make_unique<SilentOutput>(rate, std::max(0.0, latencySeconds));
}

}  // namespace quav
