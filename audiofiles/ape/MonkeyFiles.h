// TMonkeyFile: Monkey's Audio streams. Reads the stream header behind any
// leading ID3v2 tag, in the descriptor layout (version 3980 and later) or
// the older fixed layout; tags and file handling come from TBaseApeFile.
#pragma once

#include <cstdint>
#include <string>

#include "Apev2Tags.h"

class TMonkeyFile : public TBaseApeFile {
 public:
  TMonkeyFile() = default;

  // True (and Valid) when bits, sample rate, total samples and channels
  // are all above 0. The version and its text survive a header cut short.
  bool ReadAudioProperties(TStream& stream) override;

  int32_t Version() const { return fVersion; }
  // Version / 1000 with two decimals and a full stop, at least 4 wide.
  const std::u16string& VersionStr() const { return fVersionStr; }
  uint32_t PeakLevel() const { return fPeakLevel; }
  double PeakLevelRatio() const { return fPeakLevelRatio; }
  int64_t TotalSamples() const { return fTotalSamples; }
  int32_t CompressionMode() const { return fCompressionMode; }
  const std::u16string& CompressionModeStr() const { return fCompressionModeStr; }
  int32_t FormatFlags() const { return fFormatFlags; }
  bool HasPeakLevel() const { return fHasPeakLevel; }
  bool HasSeekElements() const { return fHasSeekElements; }
  bool WavNotStored() const { return fWavNotStored; }
  int32_t Bits() const { return fBits; }

 private:
  void ResetData();
  bool ReadDescriptorLayout(TStream& stream);
  bool ReadOldLayout(TStream& stream);

  int32_t fVersion = 0;
  std::u16string fVersionStr;
  uint32_t fPeakLevel = 0;
  double fPeakLevelRatio = 0;
  int64_t fTotalSamples = 0;
  int32_t fCompressionMode = 0;
  std::u16string fCompressionModeStr;
  int32_t fFormatFlags = 0;
  bool fHasPeakLevel = false;
  bool fHasSeekElements = false;
  bool fWavNotStored = false;
  int32_t fBits = 0;
};

// The name of a compression level: "Fast" ... "BrainDead" for the multiples
// of 1000 up to 6000 ("Unknown" for 0), else the number in decimal.
std::u16string MonkeyCompressionName(int32_t level);
// The version as text: 3990 gives "3.99".
std::u16string MonkeyVersionText(int32_t version);
