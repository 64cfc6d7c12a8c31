// TOptimFrogFile: OptimFROG streams, described by one fixed 23-byte header
// at the start of the stream; tags and file handling come from TBaseApeFile.
#pragma once

#include <cstdint>
#include <string>

#include "Apev2Tags.h"

// The stream header as read, integers little-endian.
struct TOfrHeader {
  char ID[4] = {};            // "OFR "
  uint32_t Size = 0;          // header size
  uint32_t Length = 0;        // samples of all channels, low 32 bits
  uint16_t HiLength = 0;      // samples of all channels, high 16 bits
  uint8_t SampleType = 0;     // 0..10, see TOptimFrogFile::Bits
  uint8_t ChannelMode = 0;    // 0 mono, 1 stereo
  int32_t SampleRate = 0;     // Hz
  uint16_t EncoderID = 0;     // encoder version code
  uint8_t CompressionID = 0;  // compression mode in bits 7-3

  static constexpr int kSize = 23;
  // Fills the record from kSize bytes in file layout.
  void Decode(const uint8_t bytes[kSize]);
};

class TOptimFrogFile : public TBaseApeFile {
 public:
  TOptimFrogFile() = default;

  // Valid only for a complete header with the identifier and every field in
  // range; a stream that ends inside the header is rejected. Bitrate counts
  // the whole file, tags included.
  bool ReadAudioProperties(TStream& stream) override;

  // Encoder version, e.g. "4.694", "%5.3f" with the locale's decimal mark.
  std::u16string Version() const;
  // "fast" .. "bestnew", "unknown" for a mode outside the list.
  std::u16string Compression() const;
  // Bits per sample; -32 for 32-bit floating point, 0 for an unknown type.
  int8_t Bits() const;
  const TOfrHeader& Header() const { return fHeader; }

 protected:
  // Forgets the previous file's header as well.
  void ResetForRead() override;

 private:
  TOfrHeader fHeader;
};
