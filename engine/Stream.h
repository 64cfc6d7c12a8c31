// One open stream: a decoder and the processing behind it (equaliser
// bands at the file's rate, playback-rate resampling, volume), with the
// record of what was produced when, from which the heard position and the
// level are read.
//
// Threads and locks. Rendering (decoding, the bands, resampling) can take
// long: a slow disk, a heavy chain of bands. It runs under fRenderMutex, on
// the engine thread for played streams and on the reading thread for
// decode-only ones. Everything a caller polls (state, attributes, the
// record, the published figures) sits under fStateMutex, which is only
// ever held for a moment, so asking where a stream is never waits for it
// to be decoded. Order: fRenderMutex before fStateMutex. The constants
// (rates, channels, sizes) are set by the constructor and read freely.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "Decoder.h"
#include "Dsp.h"

namespace quav {

class Stream {
 public:
  enum class Activity { Stopped, Playing, Stalled, Paused };
  enum class Attribute { Volume, Frequency };

  // outRate: the rate the output runs at (the device's, or the file's own
  // for a decode-only stream).
  Stream(std::unique_ptr<Decoder> decoder, bool decodeOnly, int outRate);

  bool DecodeOnly() const { return fDecodeOnly; }
  int Rate() const { return fRate; }
  int Channels() const { return fChannels; }
  int OutRate() const { return fOutRate; }
  int64_t FileSize() const { return fFileSize; }
  int64_t DataStart() const { return fDataStart; }
  // What the file holds (codec, container, tags), read when it opened.
  const Decoder::SourceInfo& Info() const { return *fInfo; }

  // ---- Playing (played streams) -------------------------------------------
  // Starts or resumes; restart, or a stream that has played to its end,
  // begins again from the first frame. False when the file cannot rewind.
  bool Play(bool restart);
  void Stop();
  bool Pause();  // false when the stream is not playing
  // Rendering goes on from the file's frame `frame` (clamped to the
  // length); what was rendered before is still heard first. False when the
  // file cannot seek.
  bool SetPosition(int64_t frame);
  // The handle is gone: the engine thread leaves the stream alone, it
  // starts no follower and it is never played again.
  void Retire();
  // Whether the engine thread should render the stream (cheap, lock-free).
  bool WantsMixing() const { return fMixing.load(std::memory_order_acquire); }
  // Where the stream stands when output frame heard is being heard and the
  // output has been given frames up to written. A played stream whose
  // every frame has been heard becomes stopped here; one whose output has
  // run dry before its end is stalled.
  Activity ActivityAt(uint64_t heard, uint64_t written);
  bool Ended() const;  // everything decoded and delivered

  // ---- Gapless joins ------------------------------------------------------
  // next starts playing on the output frame after this stream's last one:
  // the engine thread starts it within the block in which this one ends.
  // False when this stream has no end to come (not started, stopped, its
  // end already rendered, or retired); the caller then starts next itself.
  // Stop and Retire drop the follower; a pause keeps it.
  bool SetFollower(std::shared_ptr<Stream> next);
  // Drops the follower if it is next (any follower when next is null).
  void DropFollower(const Stream* next);
  // Engine thread, after this stream rendered fewer frames than asked: the
  // follower that takes over, if the stream has really ended (not paused).
  std::shared_ptr<Stream> TakeFollower();

  // ---- Figures (never wait for rendering) ---------------------------------
  // Frames in the stream: the length measured when the file opened, then
  // the count actually decoded once the end has been reached.
  int64_t LengthFrames() const;
  // Source frames heard at output frame heard (decode-only: delivered).
  int64_t PositionAt(uint64_t heard) const;
  // Peaks of the 20 ms ending at output frame heard (decode-only: the last
  // 20 ms delivered), as 0..32768 left in the low word, right in the high.
  uint32_t LevelAt(uint64_t heard) const;
  // How far the decoder has read into the file.
  int64_t FilePosition() const;

  // ---- Attributes -----------------------------------------------------------
  // wallNow: seconds on the engine's wall clock. Decode-only streams run on
  // their own clock instead (frames rendered).
  void SetAttribute(Attribute attribute, float value);
  float AttributeNow(Attribute attribute, double wallNow) const;
  // Slides from the value at the start to target over seconds. A playing
  // stream's slide starts at heardStart (wall time when audio rendered next
  // is heard), any other's at once.
  void SlideAttribute(Attribute attribute, float target, double heardStart, double seconds, double wallNow);
  // nullopt: any attribute.
  bool SlidingNow(std::optional<Attribute> attribute, double wallNow) const;

  // ---- Rendering ------------------------------------------------------------
  // Engine thread: renders up to frames frames (Channels() interleaved) of
  // a playing stream into out; outFrame is the output's frame number of the
  // first, clockStart the wall time at which it will be heard. Fewer frames
  // mean the end (the stream then stops asking to be mixed); 0 also when
  // the stream is not playing.
  size_t MixInto(float* out, size_t frames, uint64_t outFrame, double clockStart);
  // Decode-only streams: the next frames at the stream's own clock.
  size_t Read(float* out, size_t frames);

  // ---- Equaliser bands, kept in running order -----------------------------
  void AddBand(uint32_t handle, int priority);
  bool RemoveBand(uint32_t handle);
  std::optional<PeakingParams> BandParams(uint32_t handle);
  bool SetBand(uint32_t handle, const PeakingParams& params);  // false: no such band, or out of range

 private:
  struct Block {
    uint64_t outStart, outEnd;
    double srcStart, srcEnd;
    float peakLeft, peakRight;
  };
  // The last blocks rendered, oldest first, in a fixed ring (rendering
  // allocates nothing for it).
  class BlockRecord {
   public:
    explicit BlockRecord(size_t capacity) : fBlocks(capacity) {}
    size_t size() const { return fCount; }
    bool empty() const { return fCount == 0; }
    const Block& operator[](size_t i) const { return fBlocks[(fFirst + i) % fBlocks.size()]; }
    const Block& front() const { return (*this)[0]; }
    const Block& back() const { return (*this)[fCount - 1]; }
    void clear() { fFirst = fCount = 0; }
    void push_back(const Block& b) {  // over the oldest when full
      if (fCount < fBlocks.size()) {
        fBlocks[(fFirst + fCount++) % fBlocks.size()] = b;
      } else {
        fBlocks[fFirst] = b;
        fFirst = (fFirst + 1) % fBlocks.size();
      }
    }

   private:
    std::vector<Block> fBlocks;
    size_t fFirst = 0, fCount = 0;
  };
  struct Band {
    uint32_t handle;
    int priority;
    uint64_t order;
    PeakingParams params;
    PeakingBand filter;
  };

  // Render side (fRenderMutex held).
  size_t Render(float* out, size_t frames, uint64_t outFrame, double clockStart);
  bool Rewind();
  int64_t SourceEnd() const { return fSourceBase + static_cast<int64_t>(fSource.size() / fChannels); }
  void FillSource(int64_t needEnd);
  size_t Resample(float* out, size_t frames, double step);
  // Copies the render side's figures for the pollers (fStateMutex held too).
  void Publish();
  Band* FindBand(uint32_t handle);

  // State side (fStateMutex held).
  int64_t ToFileFrames(double pos) const;  // a position in the source buffer as frames of the file
  SlidingValue& Value(Attribute attribute) { return attribute == Attribute::Volume ? fVolume : fFreq; }
  const SlidingValue& Value(Attribute attribute) const { return attribute == Attribute::Volume ? fVolume : fFreq; }
  double ClockNow(double wallNow) const { return fDecodeOnly ? static_cast<double>(fRendered) / fOutRate : wallNow; }

  // Fixed at construction.
  const bool fDecodeOnly;
  const int fRate;
  const int fChannels;
  const int fOutRate;
  // A played stream whose rate differs from the output's is converted to the
  // output rate as it is decoded; fSourceRate is the rate of fSource.
  int fSourceRate;
  int64_t fFileSize;
  int64_t fDataStart;
  const Decoder::SourceInfo* fInfo;  // owned by the decoder, never changed

  std::mutex fRenderMutex;
  // ---- Under fRenderMutex ----
  std::unique_ptr<Decoder> fDecoder;
  std::vector<Band> fBands;
  uint64_t fBandOrder = 0;
  std::unique_ptr<RateConverter> fConverter;
  Samples fDecoded;
  // Decoded, equalised source frames from fSourceBase on; fPos is the
  // resampler's read position in absolute source frames.
  Samples fSource;
  int64_t fSourceBase = 0;
  double fPos = 0.0;
  bool fSourceEnded = false;
  int64_t fDecodedFrames = 0;

  mutable std::mutex fStateMutex;
  // ---- Under fStateMutex ----
  Activity fState = Activity::Stopped;  // Stopped, Playing or Paused
  bool fRenderedSincePlay = false;
  uint64_t fFirstFrameSincePlay = 0;  // output frame of the first frame rendered since
  SlidingValue fVolume{1.0f};
  SlidingValue fFreq;      // Hz
  uint64_t fRendered = 0;  // output frames rendered (a decode-only stream's clock)
  BlockRecord fRecord;
  // Published by the render side after every block.
  bool fEndedNow = false;
  bool fSourceEndedNow = false;
  int64_t fDecodedFramesNow = 0;
  int64_t fDeliveredNow = 0;
  int64_t fLengthNow = 0;
  int64_t fFilePositionNow = 0;

  std::shared_ptr<Stream> fFollower;  // under fStateMutex
  bool fRetired = false;              // under fStateMutex

  // Set by Play, cleared by Stop, Pause, the end and StreamFree; read by the
  // engine thread without a lock.
  std::atomic<bool> fMixing{false};
};

}  // namespace quav
