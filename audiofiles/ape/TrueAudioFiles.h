// TTrueAudioFile: True Audio streams, described by one fixed 22-byte header
// at the start of the stream; tags and file handling come from TBaseApeFile.
#pragma once

#include <cstdint>

#include "Apev2Tags.h"

// The stream header as read, integers little-endian.
struct tta_header {
  char ID[4] = {};  // "TTA1"
  uint16_t AudioFormat = 0;
  uint16_t NumChannels = 0;
  uint16_t BitsPerSample = 0;
  uint32_t SampleRate = 0;
  uint32_t DataLength = 0;  // samples per channel
  uint32_t CRC32 = 0;       // of the header; not verified

  static constexpr int kSize = 22;
  // Fills the record from kSize bytes in file layout.
  void Decode(const uint8_t bytes[kSize]);
};

class TTrueAudioFile : public TBaseApeFile {
 public:
  TTrueAudioFile() = default;

  // Valid as soon as the identifier matches; a header cut short reads as
  // zeros past the end. Bitrate counts the whole file, tags included.
  bool ReadAudioProperties(TStream& stream) override;
  // Forgets the previous file's header and values before reading.

  uint32_t Bits() const { return fBits; }
  uint32_t AudioFormat() const { return fAudioFormat; }
  uint32_t Samples() const { return fSamples; }
  uint32_t CRC32() const { return fCRC32; }
  const tta_header& Header() const { return fHeader; }

 protected:
  void ResetForRead() override;

 private:
  void ResetData();

  tta_header fHeader;
  uint32_t fAudioFormat = 0;
  uint32_t fBits = 0;
  uint32_t fSamples = 0;
  uint32_t fCRC32 = 0;
};
