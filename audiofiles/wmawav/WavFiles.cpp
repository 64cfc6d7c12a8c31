#include "WavFiles.h"

#include <cstring>

namespace {

// RIFF layout as read:
//   0 "RIFF" | 4 RIFF size (not examined) | 8 "WAVE" | 12 chunks
// Each chunk: 4-byte identifier, 4-byte size (taken as signed), data.
constexpr int64_t kFirstChunk = 12;

// Searches the chunk list from its start for `id`. On success returns true
// with the chunk's size and the stream at the chunk's data. Chunks are
// stepped over by their stated size alone: no pad byte follows odd sizes.
// A size that would not move the search past the current chunk's start,
// or a chunk head cut off by the end of the file, ends it unsuccessfully.
bool FindChunk(TStream& stream, const char id[4], int32_t& size) {
  stream.Seek(kFirstChunk);
  for (;;) {
    const int64_t start = stream.Position();
    char head[8] = {};
    if (stream.Read(head, sizeof head) != sizeof head) return false;
    size = static_cast<int32_t>(GetU32LE(head + 4));
    if (std::memcmp(head, id, 4) == 0) return true;
    const int64_t next = stream.Position() + size;
    if (next <= start) return false;
    stream.Seek(next);
    if (next >= stream.Size()) return false;
  }
}

}  // namespace

Twavfile::Twavfile() { Reset(); }

void Twavfile::Reset() {
  fValid = false;
  fFileSize = 0;
  fSamplerate = 0;
  fChannels = 0;
  fDuration = 0;
  fBitrate = 0;
}

void Twavfile::ResetForRead() { Reset(); }

TAudioError Twavfile::ReadFromStream(TStream& stream) {
  fFileSize = stream.Size();
  char riff[4] = {};
  char wave[4] = {};
  stream.Read(riff, 4);
  stream.Skip(4);
  stream.Read(wave, 4);
  int32_t size = 0;
  if (std::memcmp(riff, "RIFF", 4) == 0 && std::memcmp(wave, "WAVE", 4) == 0 && FindChunk(stream, "fmt ", size)) {
    // "fmt " data: format tag(2) channels(2) sample rate(4)
    //              bytes per second(4) block align(2) bits per sample(2)
    stream.Skip(2);
    const uint16_t channels = stream.ReadU16LE();
    fChannels = channels;
    fSamplerate = stream.ReadI32LE();
    const int32_t byteRate = stream.ReadI32LE();
    stream.ReadU16LE();  // block align
    const uint16_t bitsPerSample = stream.ReadU16LE();
    // 32-bit arithmetic, wrapping like the stored field would
    fBitrate = static_cast<int32_t>(uint32_t{channels} * bitsPerSample * static_cast<uint32_t>(fSamplerate));

    int32_t dataSize = 0;
    if (FindChunk(stream, "data", dataSize) && byteRate != 0)
      // Truncating division; computed in 64 bits so that the one
      // overflowing pair (-2^31 / -1) wraps instead of trapping.
      fDuration = static_cast<int32_t>(int64_t{dataSize} / byteRate);
  }
  fValid = true;
  return FileErr_None;
}
