#include "OptimFrogFiles.h"

#include <array>
#include <cstdio>
#include <cstring>

namespace {

constexpr std::array<const char16_t*, 10> kCompressionNames = {
    u"fast", u"normal", u"high", u"extra", u"best", u"ultra", u"insane", u"highnew", u"extranew", u"bestnew"};

// Bits per sample by sample type; negative marks floating point.
constexpr std::array<int8_t, 11> kSampleTypeBits = {8, 8, 16, 16, 24, 24, 32, 32, -32, -32, -32};

}  // namespace

//  0  ID            4   "OFR "
//  4  Size          4
//  8  Length        4   samples of all channels, low part
// 12  HiLength      2   high part
// 14  SampleType    1
// 15  ChannelMode   1
// 16  SampleRate    4
// 20  EncoderID     2
// 22  CompressionID 1
void TOfrHeader::Decode(const uint8_t bytes[kSize]) {
  std::memcpy(ID, bytes, 4);
  Size = GetU32LE(bytes + 4);
  Length = GetU32LE(bytes + 8);
  HiLength = GetU16LE(bytes + 12);
  SampleType = bytes[14];
  ChannelMode = bytes[15];
  SampleRate = static_cast<int32_t>(GetU32LE(bytes + 16));
  EncoderID = GetU16LE(bytes + 20);
  CompressionID = bytes[22];
}

bool TOptimFrogFile::ReadAudioProperties(TStream& stream) {
  fValid = false;
  fSamplerate = 0;
  fChannels = 0;
  fDuration = 0;
  fBitrate = 0;
  fHeader = TOfrHeader{};

  uint8_t raw[TOfrHeader::kSize] = {};
  if (stream.Read(raw, sizeof raw) != TOfrHeader::kSize) return false;
  fHeader.Decode(raw);

  fValid = std::memcmp(fHeader.ID, "OFR ", 4) == 0 && fHeader.SampleRate > 0 && fHeader.SampleType <= 10 &&
           fHeader.ChannelMode <= 1 && (fHeader.CompressionID >> 3) <= 9;
  if (!fValid) return false;

  fSamplerate = fHeader.SampleRate;
  fChannels = fHeader.ChannelMode + 1;
  const uint64_t samples = ((uint64_t(fHeader.HiLength) << 32) + fHeader.Length) >> fHeader.ChannelMode;
  fDuration = RoundToInt32(static_cast<double>(samples) / fSamplerate);
  if (samples > 0)
    fBitrate = RoundToInt32(static_cast<double>(fFileSize) * 8 * fSamplerate / static_cast<double>(samples));
  return true;
}

void TOptimFrogFile::ResetForRead() {
  fHeader = TOfrHeader{};
  TBaseApeFile::ResetForRead();
}

std::u16string TOptimFrogFile::Version() const {
  char text[32];
  std::snprintf(text, sizeof text, "%5.3f", ((fHeader.EncoderID >> 4) + 4500) / 1000.0);
  return AsciiToUtf16(text);
}

std::u16string TOptimFrogFile::Compression() const {
  const unsigned index = fHeader.CompressionID >> 3;
  return index < kCompressionNames.size() ? kCompressionNames[index] : u"unknown";
}

int8_t TOptimFrogFile::Bits() const {
  return fHeader.SampleType < kSampleTypeBits.size() ? kSampleTypeBits[fHeader.SampleType] : 0;
}
