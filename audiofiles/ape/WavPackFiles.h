// TWavPackFile: WavPack streams of both generations - the block format
// ("wvpk" block headers, version 4 and later) and the older files, RIFF
// WAVE files whose data chunk starts with a 36-byte WavPack header. Tags
// and file handling come from TBaseApeFile.
#pragma once

#include <cstdint>
#include <string>

#include "Apev2Tags.h"

class TWavPackFile : public TBaseApeFile {
 public:
  TWavPackFile() = default;

  // False for an identifier that is neither "RIFF" nor "wvpk", and for an
  // older file without a usable format chunk.
  bool ReadAudioProperties(TStream& stream) override;

  int32_t FormatTag() const { return fFormatTag; }
  int32_t Version() const { return fVersion; }
  const std::u16string& Encoder() const { return fEncoder; }
  int64_t Samples() const { return fSamples; }
  int64_t BSamples() const { return fBSamples; }
  int32_t Bits() const { return fBits; }
  // "Mono", "Stereo" or "Surround".
  std::u16string ChannelMode() const;
  // Size in percent of an uncompressed WAVE file with a 44-byte header; 0
  // unless Valid.
  double Ratio() const;

 private:
  void ResetData();
  bool ReadRiffFile(TStream& stream);
  bool ReadBlockFile(TStream& stream);

  int32_t fFormatTag = 0;
  int32_t fVersion = 0;
  std::u16string fEncoder;
  int64_t fSamples = 0;
  int64_t fBSamples = 0;
  int32_t fBits = 0;
};

// Encoder text of an older file from its lossy bits and flags.
std::u16string WavPackOldEncoderText(uint32_t lossyBits, uint32_t flags);
