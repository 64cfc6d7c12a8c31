#include "MusePackFiles.h"

#include <algorithm>

namespace {

constexpr std::array<int32_t, 4> kSampleRates = {44100, 48000, 37800, 32000};

constexpr uint32_t kSV7Magic = 0x072B504D;   // "MP+" 0x07
constexpr uint32_t kSV71Magic = 0x172B504D;  // "MP+" 0x17
constexpr uint32_t kSV8Magic = 0x4B43504D;   // "MPCK"

constexpr int kSamplesPerFrame = 1152;

int32_t SampleRateOfIndex(unsigned index) { return index < kSampleRates.size() ? kSampleRates[index] : 0; }

}  // namespace

void TMusePackFile::fResetData() {
  fValid = false;
  fChannelModeID = 0;
  fFrameCount = 0;
  fStreamVersion = 0;
  // Also forget what an earlier SV8 file left, so that a reused object
  // never reports another file's sample count.
  fSampleCount = 0;
  fDataIndex = 0;
}

uint8_t TMusePackFile::fGetStreamVersion() const {
  const uint32_t magic = static_cast<uint32_t>(fHeader.IntegerArray[0]);
  if (magic == kSV7Magic) return 7;
  if (magic == kSV71Magic) return 71;
  if (magic == kSV8Magic) return 8;
  // Older streams carry their version in bits 1-4 of the second byte.
  switch ((fHeader.ByteArray[1] & 0x1F) >> 1) {
    case 3: return 4;
    case 7: return 5;
    case 11: return 6;
    default: return 0;
  }
}

int32_t TMusePackFile::fGetFrameCount() const {
  switch (fStreamVersion) {
    case 4: return static_cast<int32_t>(static_cast<uint32_t>(fHeader.IntegerArray[1]) >> 16);
    case 5:
    case 6:
    case 7:
    case 8:
    case 71: return std::max(0, fHeader.IntegerArray[1]);  // beyond 2^31 - 1: unknown
    default: return 0;
  }
}

// SV8: "MPCK", then the stream header packet: key "SH", a one-byte size,
// CRC (4), version (1), so the numbers start at byte 12:
//   sample count     (7 bits per byte, bit 7 = more follows)
//   beginning silence (same encoding)
//   sample-rate byte  rate index in bits 5-7
//   channel byte      channels - 1 in bits 4-7, bit 3 = mid/side stereo
// The walk stays inside the 32 stored bytes; when it runs off their end,
// the sample-rate byte falls back to byte 0.
int TMusePackFile::SampleRateByteIndex() const {
  const auto& b = fHeader.ByteArray;
  int j = 12;
  while (j < 31 && (b[j] & 0x80)) ++j;
  ++j;
  while (j < 31 && (b[j] & 0x80)) ++j;
  return j < 30 ? j + 1 : 0;
}

int64_t TMusePackFile::fGetSampleCount() {
  const auto& b = fHeader.ByteArray;
  uint64_t value = b[12] & 0x7F;
  int j = 12;
  while (j < 31 && (b[j] & 0x80)) {
    ++j;
    value = (value << 7) + (b[j] & 0x7F);
  }
  fDataIndex = SampleRateByteIndex() + 1;
  return std::max<int64_t>(0, static_cast<int64_t>(value));  // beyond the signed range: unknown
}

int32_t TMusePackFile::Samplerate() const {
  if (fStreamVersion == 8) return SampleRateOfIndex(fHeader.ByteArray[SampleRateByteIndex()] >> 5);
  return SampleRateOfIndex(fHeader.ByteArray[10] & 3);
}

int32_t TMusePackFile::Channels() const {
  if (fStreamVersion == 8) return (fHeader.ByteArray[SampleRateByteIndex() + 1] >> 4) + 1;
  return 2;
}

uint8_t TMusePackFile::fGetChannelModeID() const {
  const auto& b = fHeader.ByteArray;
  switch (fStreamVersion) {
    case 7:
    case 71: return (b[11] & 0x7F) >= 0x40 ? 2 : 1;
    case 8: return (b[SampleRateByteIndex() + 1] & 0x08) ? 2 : 1;
    default: return (b[2] & 0x7F) != 0 ? 2 : 1;
  }
}

std::u16string TMusePackFile::fGetChannelMode() const {
  switch (fChannelModeID) {
    case 1: return u"Stereo";
    case 2: return u"Joint Stereo";
    default: return u"Unknown";
  }
}

std::u16string TMusePackFile::fGetVersionString() const {
  switch (fStreamVersion) {
    case 4: return u"4.0";
    case 5: return u"5.0";
    case 6: return u"6.0";
    case 7: return u"7.0";
    case 8: return u"8.0";
    case 71: return u"7.1";
    default: return IntToStr(fStreamVersion);
  }
}

// Against 16-bit stereo PCM in a WAVE file with a 44-byte header. SV8
// streams count samples rather than frames, so their sample count is used.
double TMusePackFile::fGetRatio() const {
  if (!fValid || (fChannelModeID != 1 && fChannelModeID != 2)) return 0;
  const double samples =
      fStreamVersion == 8 ? static_cast<double>(fSampleCount) : static_cast<double>(fFrameCount) * kSamplesPerFrame;
  return static_cast<double>(fFileSize) / (samples * 4 + 44) * 100;
}

bool TMusePackFile::fIsCorrupted() const { return fValid && (fBitrate < 3000 || fBitrate > 480000); }

void TMusePackFile::ResetForRead() {
  fResetData();
  fHeader = HeaderRecord{};
  TBaseApeFile::ResetForRead();
}

bool TMusePackFile::ReadAudioProperties(TStream& stream) {
  fResetData();
  fHeader = HeaderRecord{};
  const bool complete = stream.Read(fHeader.ByteArray.data(), 32) == 32;
  if (complete) {
    for (size_t k = 0; k < fHeader.IntegerArray.size(); ++k)
      fHeader.IntegerArray[k] = static_cast<int32_t>(GetU32LE(fHeader.ByteArray.data() + 4 * k));
  }
  fStreamVersion = fGetStreamVersion();
  if (!complete || fFileSize <= 0 || fStreamVersion == 0) return complete;

  fValid = true;
  if (fStreamVersion == 8)
    fSampleCount = fGetSampleCount();
  else
    fFrameCount = fGetFrameCount();

  fChannels = Channels();
  fSamplerate = Samplerate();
  fChannelModeID = fGetChannelModeID();

  fDuration = 0;
  if (fSamplerate > 0) {
    const double samples =
        fStreamVersion == 8 ? static_cast<double>(fSampleCount) : static_cast<double>(fFrameCount) * kSamplesPerFrame;
    fDuration = RoundToInt32(samples / fSamplerate);
  }
  fBitrate = 0;
  if (fDuration > 0)
    fBitrate =
        RoundToInt32(static_cast<double>(std::max<int64_t>(0, fFileSize - int64_t{CombinedTagSize()})) * 8 / fDuration);
  return true;
}
