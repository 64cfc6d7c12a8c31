// Exact stream lengths for containers that do not state one: walks over
// MPEG audio frame headers, Ogg page headers and the Musepack SV8 stream
// header without decoding anything; and the container that a file's magic
// bytes name.
//
// Every walker reads through a ByteReader, checks each size it reads
// against the bytes that remain, and stops after a bounded number of steps.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string_view>
#include <vector>

namespace quav {

// Buffered random access to a file's bytes.
class ByteReader {
 public:
  // read(offset, destination, bytes) returns the bytes read (fewer at the
  // end of the file, 0 on failure).
  using ReadFn = std::function<size_t(int64_t, uint8_t*, size_t)>;
  ByteReader(ReadFn read, int64_t size);

  int64_t Size() const { return fSize; }
  // Copies bytes at offset into out; false when the file holds fewer.
  bool Get(int64_t offset, uint8_t* out, size_t bytes);

 private:
  static constexpr size_t kBlock = 64 * 1024;
  ReadFn fRead;
  int64_t fSize;
  std::vector<uint8_t> fBlock;
  int64_t fBlockStart = -1;
  size_t fBlockBytes = 0;
};

// One MPEG audio frame header, decoded.
struct MpegFrameHeader {
  int version = 0;  // 1, 2, or 25 for MPEG 2.5
  int layer = 0;    // 1..3
  int sampleRate = 0;
  int samplesPerFrame = 0;
  int frameBytes = 0;
};

// Decodes the four header bytes at p; nullopt for anything that is not a
// frame header with a stated bitrate (free-format frames included).
std::optional<MpegFrameHeader> ParseMpegFrameHeader(const uint8_t* p);

// Samples (per channel) in the MPEG audio frames of a file: leading ID3v2
// tags are skipped, the first frame that is followed by a matching one
// fixes version, layer and rate, and the walk then counts frame after frame,
// finding its way back after damage. nullopt when no frames are found.
std::optional<int64_t> CountMpegSamples(ByteReader& reader);

// Samples at outRate in every link of an Ogg file whose codec is codec
// ("vorbis", "opus", "flac", "speex"), chained links added up, each from
// the granule position of its last page (Opus less its pre-skip). nullopt
// when there is no such link, or when two links of that codec are
// multiplexed side by side.
std::optional<int64_t> CountOggSamples(ByteReader& reader, std::string_view codec, int outRate);

// The demuxer that a file's first bytes (past any ID3v2 tags) name beyond
// doubt: "flac", "ogg", "asf", "ape", "wv", "tta", "mpc" (SV7), "mpc8", or
// "mp3" where four MPEG audio frames in a row start the data. Empty where
// the bytes leave room for doubt; probing every demuxer then decides.
std::string_view DemuxerNamedBy(ByteReader& reader);

// Samples that a Musepack SV8 file decodes to: the stream header's sample
// count plus the decoder's synthesis delay, which the decoder leaves at the
// start. nullopt without a readable stream header.
std::optional<int64_t> CountMusepackSv8Samples(ByteReader& reader);

}  // namespace quav
