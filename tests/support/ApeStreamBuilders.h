// Byte builders for the stream headers of Musepack, OptimFROG and True
// Audio files, shared by the tests and the fuzz seeds.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

#include "TestSupport.h"

namespace apestream {

using testsupport::Bytes;

// Musepack variable-length number: 7 bits per byte, most significant
// first, bit 7 set on every byte but the last.
inline Bytes MpcVarInt(uint64_t value) {
  std::string groups(1, static_cast<char>(value & 0x7F));
  while (value >>= 7) groups.insert(groups.begin(), static_cast<char>(0x80 | (value & 0x7F)));
  return Bytes(groups);
}

// SV7 (or SV7.1 with minor 0x17) header, 32 bytes: "MP+", version byte,
// frame count, then sample-rate index in byte 10 bits 0-1 and mid/side
// stereo in byte 11 bit 6.
inline Bytes MpcSV7Header(uint32_t frames, uint8_t rateIndex = 0, bool jointStereo = true, uint8_t versionByte = 0x07) {
  Bytes b;
  b.raw("MP+").u8(versionByte).u32le(frames);
  b.zeros(2).u8(rateIndex & 3).u8(jointStereo ? 0x40 : 0x00);
  b.zeros(32 - b.size());
  return b;
}

// SV4 to SV6 header, 32 bytes: the version code in bits 1-4 of byte 1
// (3 for SV4, 7 for SV5, 11 for SV6), mid/side in byte 2, frame count in
// word 1 (SV4 keeps it in the upper 16 bits).
inline Bytes MpcOldHeader(uint8_t versionCode, uint32_t word1, bool jointStereo, uint8_t rateIndex = 0) {
  Bytes b;
  b.u8(0).u8(static_cast<uint8_t>(versionCode << 1)).u8(jointStereo ? 1 : 0).u8(0).u32le(word1);
  b.zeros(2).u8(rateIndex).zeros(32 - 11);
  return b;
}

// SV8: "MPCK" and a stream header packet with a one-byte size: key "SH",
// size, CRC, stream version, sample count, beginning silence, then the
// rate byte (index in bits 5-7, bands in 0-4) and the channel byte
// (channels - 1 in bits 4-7, mid/side in bit 3). Padded to 32 bytes.
inline Bytes MpcSV8Header(uint64_t samples, uint64_t silence, uint8_t rateIndex, uint8_t channels, bool midSide) {
  Bytes body;
  body.u32le(0x12345678).u8(8).append(MpcVarInt(samples)).append(MpcVarInt(silence));
  body.u8(static_cast<uint8_t>((rateIndex << 5) | 0x1F));
  body.u8(static_cast<uint8_t>(((channels - 1) << 4) | (midSide ? 0x08 : 0) | 0x03));
  Bytes b;
  b.raw("MPCK").raw("SH").u8(static_cast<uint8_t>(body.size() + 3)).append(body);
  if (b.size() < 32) b.zeros(32 - b.size());
  return b;
}

struct OfrFields {
  uint32_t length = 10584000;  // samples of all channels, low 32 bits
  uint16_t hiLength = 0;
  uint8_t sampleType = 2;   // 16 bit
  uint8_t channelMode = 1;  // stereo
  int32_t sampleRate = 44100;
  uint16_t encoderID = 0x0C20;
  uint8_t compressionID = 0x08;  // "normal"
};

// The 23-byte OptimFROG stream header.
inline Bytes OfrHeader(const OfrFields& f = {}) {
  Bytes b;
  b.raw("OFR ").u32le(15).u32le(f.length).u16le(f.hiLength).u8(f.sampleType).u8(f.channelMode);
  b.u32le(static_cast<uint32_t>(f.sampleRate)).u16le(f.encoderID).u8(f.compressionID);
  return b;
}

// The 22-byte True Audio stream header (CRC left zero).
inline Bytes TtaHeader(uint16_t channels, uint16_t bits, uint32_t sampleRate, uint32_t samples,
                       uint16_t audioFormat = 1) {
  Bytes b;
  b.raw("TTA1").u16le(audioFormat).u16le(channels).u16le(bits).u32le(sampleRate).u32le(samples).u32le(0);
  return b;
}

// Writes bytes to `name` in `dir`; when `size` is larger, the file grows to
// `size` bytes with a hole of zeros, so large worked examples stay cheap.
inline std::string WriteExtended(const testsupport::TempDir& dir, const std::string& name, const std::string& bytes,
                                 uintmax_t size = 0) {
  const std::string path = dir.write(name, bytes);
  if (size > bytes.size()) std::filesystem::resize_file(path, size);
  return path;
}

}  // namespace apestream
