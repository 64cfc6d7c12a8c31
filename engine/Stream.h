// One open stream: a decoder and the processing behind it (equaliser
// bands at the file's rate, playback-rate resampling, volume), with the
// record of what was produced when, from which the heard position and the
// level are read.
//
// Threads: every member is guarded by fMutex, which the engine thread holds
// while rendering a block and the caller's thread while asking or setting
// something. fMixing is the engine thread's cheap "render me" flag.
#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <vector>

#include "Decoder.h"
#include "Dsp.h"

namespace quav {

class Stream {
 public:
  enum class State { Stopped, Playing, Paused };

  // outRate: the rate the output runs at (the device's, or the file's own
  // for a decode-only stream).
  Stream(std::unique_ptr<Decoder> decoder, bool decodeOnly, int outRate);

  std::mutex fMutex;
  std::atomic<bool> fMixing{false};

  bool DecodeOnly() const { return fDecodeOnly; }
  int Rate() const { return fRate; }
  int Channels() const { return fChannels; }
  int OutRate() const { return fOutRate; }
  Decoder& Source() { return *fDecoder; }

  // Renders up to frames frames (Channels() interleaved) into out; outFrame
  // is the output's frame number of the first one, clockStart the attribute
  // clock there. Fewer frames mean the end was reached.
  size_t Render(float* out, size_t frames, uint64_t outFrame, double clockStart);
  bool Ended() const { return fSourceEnded && fPos >= static_cast<double>(SourceEnd()); }

  // Back to the beginning (decoder, filters, record).
  bool Rewind();

  // Frames in the stream: the container's figure until the end has been
  // decoded, then the count actually decoded.
  int64_t LengthFrames() const { return fSourceEnded ? fDecodedFrames : fDecoder->LengthFrames(); }
  // Source frames delivered (decode-only streams).
  int64_t DeliveredFrames() const;
  // Output frames rendered so far (the clock of a decode-only stream).
  uint64_t RenderedFrames() const { return fRendered; }

  // Source position heard at output frame heard, and the peaks of the
  // window ending there.
  int64_t PositionAt(uint64_t heard) const;
  uint32_t LevelAt(uint64_t heard) const;
  // Output frame at which the last rendered block ends (0 before any).
  uint64_t LastRenderedEnd() const { return fRecord.empty() ? 0 : fRecord.back().outEnd; }
  bool HasRecord() const { return !fRecord.empty(); }

  SlidingValue fVolume{1.0f};
  SlidingValue fFreq;  // Hz

  // Equaliser bands, kept in running order.
  struct Band {
    uint32_t handle;
    int priority;
    uint64_t order;
    PeakingParams params;
    PeakingBand filter;
  };
  void AddBand(uint32_t handle, int priority);
  bool RemoveBand(uint32_t handle);
  Band* FindBand(uint32_t handle);
  bool SetBand(uint32_t handle, const PeakingParams& params);  // false: out of range

  State fState = State::Stopped;
  bool fRenderedSincePlay = false;

 private:
  struct Block {
    uint64_t outStart, outEnd;
    double srcStart, srcEnd;
    float peakLeft, peakRight;
  };

  int64_t SourceEnd() const { return fSourceBase + static_cast<int64_t>(fSource.size() / fChannels); }
  void FillSource(int64_t needEnd);
  size_t Resample(float* out, size_t frames, double step);

  std::unique_ptr<Decoder> fDecoder;
  bool fDecodeOnly;
  int fRate;
  int fChannels;
  int fOutRate;

  std::vector<Band> fBands;
  uint64_t fBandOrder = 0;

  // Decoded, equalised source frames from fSourceBase on; fPos is the
  // resampler's read position in absolute source frames.
  std::vector<float> fSource;
  int64_t fSourceBase = 0;
  double fPos = 0.0;
  bool fSourceEnded = false;
  int64_t fDecodedFrames = 0;

  uint64_t fRendered = 0;
  std::deque<Block> fRecord;
};

}  // namespace quav
