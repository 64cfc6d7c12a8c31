#include "WavPackFiles.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace {

constexpr std::array<int32_t, 15> kBlockSampleRates = {6000,  8000,  9600,  11025, 12000, 16000, 22050, 24000,
                                                       32000, 44100, 48000, 64000, 88200, 96000, 192000};
constexpr int32_t kDefaultSampleRate = 44100;

// How far behind the first block header the encoder-mode sub-block is
// looked for.
constexpr int64_t kSubBlockSearch = 4096;

bool Is(const uint8_t* bytes, const char (&fourcc)[5]) { return std::memcmp(bytes, fourcc, 4) == 0; }

}  // namespace

std::u16string WavPackOldEncoderText(uint32_t lossyBits, uint32_t flags) {
  std::u16string text;
  if (lossyBits > 0) {
    if (flags & 0x0400) {
      text = u"hybrid";
      text += (flags & 0x0080) ? u" lossless" : u" lossy";
      if (flags & 0x8000) text += u" (high)";
    } else {
      text = IntToStr(int64_t{lossyBits} + 3) + u"-bit lossy";
      if (flags & (0x0002 | 0x0010)) text += (flags & 0x0010) ? u" high" : u" fast";
    }
  } else if (!(flags & 0x0010)) {
    text = u"lossless (fast mode)";
  } else {
    text = (flags & 0x8000) ? u"lossless (high mode)" : u"lossless";
  }
  return text;
}

void TWavPackFile::ResetData() {
  fValid = false;
  fFormatTag = 0;
  fBits = 0;
  fVersion = 0;
  fEncoder.clear();
  fSamples = 0;
  fBSamples = 0;
  fDuration = 0;
  fBitrate = 0;
  fSamplerate = 0;
  fChannels = 0;
}

bool TWavPackFile::ReadAudioProperties(TStream& stream) {
  ResetData();
  const int64_t start = stream.Position();
  uint8_t id[4];
  if (stream.Read(id, 4) != 4) return false;
  stream.Seek(start);
  if (Is(id, "RIFF")) return ReadRiffFile(stream);
  if (Is(id, "wvpk")) return ReadBlockFile(stream);
  return false;
}

// Older files: RIFF WAVE whose data chunk starts with
//   0  4  "wvpk"      4  4  header size   8  2  version   10  2  lossy bits
//  12  2  flags      14  2  shift        16  4  total samples
//  20  4  CRC        24  4  CRC 2        28  4  extension  32  4  extras
bool TWavPackFile::ReadRiffFile(TStream& stream) {
  uint8_t riff[12];
  if (stream.Read(riff, sizeof riff) != sizeof riff || !Is(riff + 8, "WAVE")) return false;

  bool result = false;
  bool haveFormat = false;
  // Every chunk moves the position forward by at least 9 bytes.
  while (stream.Position() < fFileSize) {
    uint8_t chunk[8];
    if (stream.Read(chunk, sizeof chunk) != sizeof chunk) break;
    const uint32_t size = GetU32LE(chunk + 4);
    if (size == 0) break;
    const int64_t dataStart = stream.Position();

    if (Is(chunk, "fmt ")) {
      // 0 2 format tag  2 2 channels  4 4 sample rate  8 4 bytes/s  12 2 align  14 2 bits
      uint8_t fmt[16];
      if (size < sizeof fmt || stream.Read(fmt, sizeof fmt) != sizeof fmt) break;
      fValid = true;
      result = true;
      haveFormat = true;
      fFormatTag = GetU16LE(fmt);
      fChannels = GetU16LE(fmt + 2);
      fSamplerate = Int32OrZero(GetU32LE(fmt + 4));
      fBits = GetU16LE(fmt + 14);
      fBitrate = Int32OrZero(uint64_t{GetU32LE(fmt + 8)} * 8);
      stream.Seek(dataStart + size);  // no pad byte after an odd size
    } else if (Is(chunk, "data") && haveFormat) {
      uint8_t header[36];
      if (stream.Read(header, sizeof header) != sizeof header || !Is(header, "wvpk")) break;
      fValid = true;
      result = true;
      fVersion = GetU16LE(header + 8);
      const uint32_t flags = GetU16LE(header + 12);
      fChannels = (flags & 0x0001) ? 1 : 2;
      fSamples = GetU32LE(header + 16);
      fEncoder = WavPackOldEncoderText(GetU16LE(header + 10), flags);
      if (fSamplerate <= 0) fSamplerate = kDefaultSampleRate;
      fDuration = RoundToInt32(static_cast<double>(fSamples) / fSamplerate);
      if (fDuration <= 0) break;
      const double audioBytes = static_cast<double>(
          std::max<int64_t>(0, fFileSize - int64_t{CombinedTagSize()} - int64_t{GetU32LE(header + 4)}));
      fBitrate = RoundToInt32(audioBytes * 8 / fDuration);
      break;
    } else {
      break;
    }
  }
  return result;
}

// Block header:
//   0  4  "wvpk"           4  4  block size      8  2  version
//  10  1  block index hi  11  1  total samples hi
//  12  4  total samples   16  4  block index     20  4  samples in block
//  24  4  flags: bits 0-1 bytes per sample - 1, bit 2 mono, bit 3 hybrid,
//         bits 23-27 sample-rate index
//  28  4  CRC
bool TWavPackFile::ReadBlockFile(TStream& stream) {
  // The header and the bytes searched behind it, in one read; what the
  // stream does not hold stays zero.
  static_assert(kSubBlockSearch >= 3);
  std::array<uint8_t, 32 + kSubBlockSearch> bytes;
  const auto got = static_cast<size_t>(stream.Read(bytes.data(), static_cast<int64_t>(bytes.size())));
  std::fill(bytes.begin() + got, bytes.end(), 0);
  const uint8_t* header = bytes.data();
  if (!Is(header, "wvpk")) return false;

  fValid = true;
  fVersion = GetU16LE(header + 8) >> 8;
  const uint32_t flags = GetU32LE(header + 24);
  fChannels = (flags & 0x04) ? 1 : 2;
  fBits = static_cast<int32_t>(((flags & 3) + 1) * 8);
  fSamples = GetU32LE(header + 12);
  fBSamples = GetU32LE(header + 20);
  const uint32_t rateIndex = (flags >> 23) & 0x1F;
  fSamplerate = rateIndex < kBlockSampleRates.size() ? kBlockSampleRates[rateIndex] : kDefaultSampleRate;
  fEncoder = (flags & 0x08) ? u"hybrid lossy" : u"lossless";

  fDuration = RoundToInt32(static_cast<double>(fSamples) / fSamplerate);
  if (fSamples > 0) {
    const double audioBytes = static_cast<double>(std::max<int64_t>(0, fFileSize - int64_t{CombinedTagSize()}));
    fBitrate = RoundToInt32(audioBytes * 8 * fSamplerate / static_cast<double>(fSamples));
  }

  // The encoder mode sits in a metadata sub-block of id 0x65 and size 2.
  // Candidates are found with memchr: the search runs over every file.
  const uint8_t* next = header + 32;
  for (size_t k = 0; k + 2 < kSubBlockSearch; ++k) {
    const void* id = std::memchr(next + k, 0x65, kSubBlockSearch - 2 - k);
    if (!id) break;
    k = static_cast<size_t>(static_cast<const uint8_t*>(id) - next);
    if (next[k + 1] != 0x02) continue;
    switch (next[k + 2]) {
      case 8: fEncoder += u" (high)"; break;
      case 0: fEncoder += u" (normal)"; break;
      case 2: fEncoder += u" (fast)"; break;
      case 6: fEncoder += u" (very fast)"; break;
      default: break;
    }
    break;
  }
  return true;
}

std::u16string TWavPackFile::ChannelMode() const {
  switch (fChannels) {
    case 1: return u"Mono";
    case 2: return u"Stereo";
    default: return u"Surround";
  }
}

double TWavPackFile::Ratio() const {
  if (!fValid) return 0;
  return static_cast<double>(fFileSize) /
         (static_cast<double>(fSamples) * (static_cast<double>(fChannels) * fBits / 8) + 44) * 100;
}
