// Single-producer single-consumer ring of interleaved float frames.
//
// The engine thread writes, the output (a real-time callback or the silent
// device's clock thread) reads. Neither side blocks or allocates; the two
// running counters are the only shared state.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

namespace quav {

class FrameRing {
 public:
  FrameRing(size_t capacityFrames, int channels)
      : fBuffer(capacityFrames * channels), fCapacity(capacityFrames), fChannels(channels) {}

  int Channels() const { return fChannels; }
  size_t Capacity() const { return fCapacity; }

  // Frames waiting to be read. Exact on the consumer side, a lower bound on
  // the producer side (and the other way round for Space).
  size_t Available() const {
    return static_cast<size_t>(fWritten.load(std::memory_order_acquire) - fRead.load(std::memory_order_acquire));
  }
  size_t Space() const { return fCapacity - Available(); }

  // Total frames ever written / read.
  uint64_t WriteCount() const { return fWritten.load(std::memory_order_acquire); }
  uint64_t ReadCount() const { return fRead.load(std::memory_order_acquire); }

  // Producer: writes up to frames frames, returns how many fitted.
  size_t Write(const float* src, size_t frames) {
    const uint64_t w = fWritten.load(std::memory_order_relaxed);
    const uint64_t r = fRead.load(std::memory_order_acquire);
    frames = std::min(frames, fCapacity - static_cast<size_t>(w - r));
    const size_t at = static_cast<size_t>(w % fCapacity);
    const size_t first = std::min(frames, fCapacity - at);
    std::memcpy(&fBuffer[at * fChannels], src, first * fChannels * sizeof(float));
    std::memcpy(&fBuffer[0], src + first * fChannels, (frames - first) * fChannels * sizeof(float));
    fWritten.store(w + frames, std::memory_order_release);
    return frames;
  }

  // Consumer: reads up to frames frames into dst (nullptr discards them),
  // returns how many were there.
  size_t Read(float* dst, size_t frames) {
    const uint64_t r = fRead.load(std::memory_order_relaxed);
    const uint64_t w = fWritten.load(std::memory_order_acquire);
    frames = std::min(frames, static_cast<size_t>(w - r));
    if (dst != nullptr) {
      const size_t at = static_cast<size_t>(r % fCapacity);
      const size_t first = std::min(frames, fCapacity - at);
      std::memcpy(dst, &fBuffer[at * fChannels], first * fChannels * sizeof(float));
      std::memcpy(dst + first * fChannels, &fBuffer[0], (frames - first) * fChannels * sizeof(float));
    }
    fRead.store(r + frames, std::memory_order_release);
    return frames;
  }

 private:
  // The frames between fRead and fWritten belong to the consumer, the rest
  // to the producer; a side hands frames over by storing its counter.
  std::vector<float> fBuffer;
  const size_t fCapacity;
  const int fChannels;
  std::atomic<uint64_t> fWritten{0};  // stored by the producer only
  std::atomic<uint64_t> fRead{0};     // stored by the consumer only
};

}  // namespace quav
