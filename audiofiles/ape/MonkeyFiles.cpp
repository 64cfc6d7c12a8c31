#include "MonkeyFiles.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstring>

namespace {

constexpr std::array<const char16_t*, 7> kCompressionNames = {u"Unknown",    u"Fast",   u"Normal",   u"High",
                                                              u"Extra High", u"Insane", u"BrainDead"};

// The descriptor layout is used from this version on.
constexpr int32_t kDescriptorVersion = 3980;
constexpr uint32_t kDescriptorSize = 52;
constexpr int64_t kMaxHeaderSize = 24;

}  // namespace

std::u16string MonkeyCompressionName(int32_t level) {
  if (level >= 0 && level % 1000 == 0 && level <= 6000) return kCompressionNames[level / 1000];
  return IntToStr(level);
}

std::u16string MonkeyVersionText(int32_t version) {
  char buf[64];
  const auto r = std::to_chars(buf, buf + sizeof buf, version / 1000.0, std::chars_format::fixed, 2);
  std::string text(buf, r.ptr);
  if (text.size() < 4) text.insert(0, 4 - text.size(), ' ');
  return AsciiToUtf16(text);
}

void TMonkeyFile::ResetData() {
  fValid = false;
  fVersion = 0;
  fVersionStr.clear();
  fBits = 0;
  fPeakLevel = 0;
  fPeakLevelRatio = 0;
  fTotalSamples = 0;
  fBitrate = 0;
  fDuration = 0;
  fSamplerate = 0;
  fChannels = 0;
  fCompressionMode = 0;
  fCompressionModeStr.clear();
  fFormatFlags = 0;
  fHasPeakLevel = false;
  fHasSeekElements = false;
  fWavNotStored = false;
}

bool TMonkeyFile::ReadAudioProperties(TStream& stream) {
  ResetData();
  //  0  4  "MAC "   4  2  version
  uint8_t start[6];
  if (stream.Read(start, sizeof start) != sizeof start || std::memcmp(start, "MAC ", 4) != 0) return false;
  fVersion = GetU16LE(start + 4);
  fVersionStr = MonkeyVersionText(fVersion);

  const bool ok = fVersion >= kDescriptorVersion ? ReadDescriptorLayout(stream) : ReadOldLayout(stream);
  if (!ok) return false;

  fCompressionModeStr = MonkeyCompressionName(fCompressionMode);
  if (fSamplerate > 0) fDuration = RoundToInt32(static_cast<double>(fTotalSamples) / fSamplerate);
  if (fTotalSamples > 0) {
    // Tags that claim more than the file holds leave no audio, not less.
    const double audioBytes = static_cast<double>(std::max<int64_t>(0, fFileSize - int64_t{CombinedTagSize()}));
    fBitrate = RoundToInt32(audioBytes * 8 * fSamplerate / static_cast<double>(fTotalSamples));
  }
  fValid = fBits > 0 && fSamplerate > 0 && fTotalSamples > 0 && fChannels > 0;
  return fValid;
}

// Descriptor (offsets from the start of the file):
//   6  2  padding          8  4  descriptor length   12  4  header length
//  16  4  seek table      20  4  WAV header length    24  8  frame data length
//  32  4  terminating     36 16  MD5
// Header (offsets from its start):
//   0  2  compression level   2  2  format flags   4  4  blocks per frame
//   8  4  final frame blocks 12  4  total frames  16  2  bits per sample
//  18  2  channels           20  4  sample rate
bool TMonkeyFile::ReadDescriptorLayout(TStream& stream) {
  uint8_t descriptor[46];
  if (stream.Read(descriptor, sizeof descriptor) != sizeof descriptor) return false;
  const uint32_t descriptorSize = GetU32LE(descriptor + 2);
  const uint32_t headerSize = GetU32LE(descriptor + 6);
  if (descriptorSize != kDescriptorSize) stream.Skip(int64_t{uint32_t(descriptorSize - kDescriptorSize)});

  uint8_t header[kMaxHeaderSize] = {};
  const int64_t wanted = std::min<int64_t>(headerSize, kMaxHeaderSize);
  if (stream.Read(header, wanted) != wanted) return false;

  fCompressionMode = GetU16LE(header);
  fFormatFlags = GetU16LE(header + 2);
  const uint32_t blocksPerFrame = GetU32LE(header + 4);
  const uint32_t finalFrameBlocks = GetU32LE(header + 8);
  const uint32_t totalFrames = GetU32LE(header + 12);
  fBits = GetU16LE(header + 16);
  fChannels = GetU16LE(header + 18);
  fSamplerate = Int32OrZero(GetU32LE(header + 20));
  // Unsigned 64-bit arithmetic: the largest fields still fit, and a result
  // beyond the signed range counts as no samples and so as invalid.
  if (totalFrames > 0)
    fTotalSamples =
        std::max<int64_t>(0, static_cast<int64_t>(uint64_t{blocksPerFrame} * (totalFrames - 1) + finalFrameBlocks));
  return true;
}

// Old layout (offsets from the start of the file):
//   6  2  compression level   8  2  format flags   10  2  channels
//  12  4  sample rate        16  4  WAV header     20  4  terminating data
//  24  4  total frames       28  4  final frame blocks   32  4  peak level
bool TMonkeyFile::ReadOldLayout(TStream& stream) {
  uint8_t header[30];
  if (stream.Read(header, sizeof header) != sizeof header) return false;
  fCompressionMode = GetU16LE(header);
  fFormatFlags = GetU16LE(header + 2);
  fChannels = GetU16LE(header + 4);
  fSamplerate = Int32OrZero(GetU32LE(header + 6));
  const uint32_t totalFrames = GetU32LE(header + 18);
  const uint32_t finalFrameBlocks = GetU32LE(header + 22);

  fBits = 16;
  if (fFormatFlags & 0x01) fBits = 8;
  if (fFormatFlags & 0x08) fBits = 24;
  fHasSeekElements = (fFormatFlags & 0x04) != 0;
  fWavNotStored = (fFormatFlags & 0x10) != 0;
  fHasPeakLevel = (fFormatFlags & 0x20) != 0;
  if (fHasPeakLevel) {
    fPeakLevel = GetU32LE(header + 26);
    fPeakLevelRatio = fPeakLevel / std::ldexp(1.0, fBits) / 2 * 100;
  }

  int64_t blocksPerFrame = 9216;
  if (fVersion >= 3950)
    blocksPerFrame = 294912;
  else if (fVersion >= 3900 || (fVersion >= 3800 && fCompressionMode == 4000))
    blocksPerFrame = 73728;
  if (totalFrames > 0) fTotalSamples = (int64_t{totalFrames} - 1) * blocksPerFrame + finalFrameBlocks;
  return true;
}
