// A file decoder on FFmpeg: interleaved float frames, one or two channels,
// at the file's own sample rate.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "Dsp.h"

struct SwrContext;

namespace quav {

class Decoder {
 public:
  enum class OpenError { None, FileOpen, Format, Memory };

  // Opens path (UTF-8) and decodes the first audio frame before accepting
  // it, so that text, pictures and noise are refused here.
  static std::unique_ptr<Decoder> Open(const std::string& path, OpenError& error);
  ~Decoder();
  Decoder(const Decoder&) = delete;
  Decoder& operator=(const Decoder&) = delete;

  int Rate() const { return fRate; }
  int Channels() const { return fChannels; }
  // Frames the file decodes to (within one codec frame), measured when it
  // opened; 0 when unknown.
  int64_t LengthFrames() const { return fLengthFrames; }

  // Appends the next decoded frames (interleaved) to out. Returns false
  // once the end has been reached and nothing was appended.
  bool Decode(Samples& out);
  // Back to the first frame; false when the file cannot seek.
  bool Rewind();
  // Decoding goes on from frame target (0 and up): the frames before it
  // in the packet it lands on are dropped, so that the position is exact
  // where the file's timestamps tell it. A file that cannot seek is
  // decoded from its start up to there. Returns the frame decoding goes on
  // from (the end, for a target past it); -1 when the file cannot even
  // rewind.
  int64_t SeekTo(int64_t target);

  // Byte offsets in the file: how far it has been read, its size, and
  // where the audio data begins.
  int64_t FilePosition() const;
  int64_t FileSize() const;
  int64_t DataStart() const { return fDataStart; }

  // What the file holds, as FFmpeg reads it (for display, not decoding).
  struct SourceInfo {
    int rate = 0;
    int channels = 0;     // the file's own count, before any downmix
    int64_t bitrate = 0;  // bits per second; 0 when unknown
    std::string codec, codecName, container, containerName;
    std::string tags;  // "name=value" strings, each ended by '\0', then one more '\0'
  };
  // Described on the first call and never changed afterwards, so pointers
  // into it stay valid for the decoder's life. The first call must come
  // before decoding goes on in another thread (a stream makes it when it
  // is created).
  const SourceInfo& Info();

 private:
  struct Impl;
  explicit Decoder(std::unique_ptr<Impl> impl);
  bool Receive(Samples& out);
  // The next decoded frames, and where they start (-1 when the file does
  // not say); false at the end.
  bool NextFrames(Samples& out, int64_t& start);

  std::unique_ptr<Impl> fImpl;
  int fRate = 0;
  int fChannels = 0;
  int64_t fLengthFrames = 0;
  int64_t fDataStart = 0;
  Samples fPending;  // the frame decoded while opening
  std::unique_ptr<SourceInfo> fInfo;
};

// Fixed-ratio sample-rate conversion of interleaved float frames (one or two
// channels) with FFmpeg's resampler.
class RateConverter {
 public:
  RateConverter(int channels, int inRate, int outRate);
  ~RateConverter();
  RateConverter(const RateConverter&) = delete;
  RateConverter& operator=(const RateConverter&) = delete;
  bool Valid() const { return fSwr != nullptr; }
  // Appends the converted frames to out.
  void Convert(const float* in, size_t frames, Samples& out);
  // Appends what the filter still holds (at the end of the input).
  void Flush(Samples& out);
  void Reset();

 private:
  ::SwrContext* fSwr = nullptr;
  int fChannels;
  int fInRate;
  int fOutRate;
};

// Silences FFmpeg's own logging; safe to call more than once.
void QuietFFmpeg();

// The versions of the FFmpeg libraries loaded at run time, as FFmpeg packs
// them: major << 16 | minor << 8 | micro.
uint32_t AvformatVersion();
uint32_t AvcodecVersion();

}  // namespace quav
