#include "WavFiles.h"

#include <cstring>

namespace {

// RIFF layout as read:
//   0 "RIFF" | 4 RIFF size (not examined) | 8 "WAVE" | 12 chunks
// Each chunk: 4-byte identifier, 4-byte size (unsigned), data.
constexpr int64_t kFirstChunk = 12;
constexpr uint32_t kUnknownSize = 0xFFFFFFFF;

// Searches the chunk list from its start for `id`. On success returns true
// with the chunk's size and the stream at the chunk's data. Chunks are
// stepped over by their stated size alone: no pad byte follows odd sizes.
// A chunk head cut off by the end of the file, or a chunk reaching to the
// end, ends it unsuccessfully; every step moves on by at least the head.
bool FindChunk(TStream& stream, const char id[4], uint32_t& size) {
  stream.Seek(kFirstChunk);
  for (;;) {
    char head[8] = {};
    if (stream.Read(head, sizeof head) != sizeof head) return false;
    size = GetU32LE(head + 4);
    if (std::memcmp(head, id, 4) == 0) return true;
    const int64_t next = stream.Position() + size;
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
  uint32_t size = 0;
  if (std::memcmp(riff, "RIFF", 4) == 0 && std::memcmp(wave, "WAVE", 4) == 0 && FindChunk(stream, "fmt ", size)) {
    // "fmt " data: format tag(2) channels(2) sample rate(4)
    //              bytes per second(4) block align(2) bits per sample(2)
    stream.Skip(2);
    const uint16_t channels = stream.ReadU16LE();
    fChannels = channels;
    // Rates, sizes and the figures made of them that do not fit the signed
    // fields are unknown (0) rather than negative.
    fSamplerate = Int32OrZero(stream.ReadU32LE());
    const uint32_t byteRate = stream.ReadU32LE();
    stream.ReadU16LE();  // block align
    const uint16_t bitsPerSample = stream.ReadU16LE();
    fBitrate = Int32OrZero(uint64_t{channels} * bitsPerSample * static_cast<uint64_t>(fSamplerate));

    // A data size of 0xFFFFFFFF says that the length was not known when the
    // file was written (to a pipe, say): no duration rather than hours.
    uint32_t dataSize = 0;
    if (FindChunk(stream, "data", dataSize) && byteRate != 0 && dataSize != kUnknownSize)
      fDuration = Int32OrZero(dataSize / byteRate);
  }
  fValid = true;
  return FileErr_None;
}
