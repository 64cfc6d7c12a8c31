// Fixture builders for ASF (Windows Media) headers and RIFF WAVE files.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "TestSupport.h"

namespace asfbuild {

using testsupport::Bytes;

// The 16 stored bytes of a GUID written as text ("75B22630-668E-...");
// the first three groups are stored little-endian.
inline std::string GuidBytes(std::string_view text) {
  auto hex = [&](size_t at) {
    auto nibble = [](char c) { return c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10; };
    return static_cast<uint8_t>(nibble(text[at]) * 16 + nibble(text[at + 1]));
  };
  Bytes b;
  for (size_t at : {6, 4, 2, 0}) b.u8(hex(at));
  for (size_t at : {11, 9}) b.u8(hex(at));
  for (size_t at : {16, 14}) b.u8(hex(at));
  for (size_t at : {19, 21, 24, 26, 28, 30, 32, 34}) b.u8(hex(at));
  return b.str();
}

inline const std::string kHeaderGuid = GuidBytes("75B22630-668E-11CF-A6D9-00AA0062CE6C");
inline const std::string kFilePropertiesGuid = GuidBytes("8CABDCA1-A947-11CF-8EE4-00C00C205365");
inline const std::string kStreamPropertiesGuid = GuidBytes("B7DC0791-A9B7-11CF-8EE6-00C00C205365");
inline const std::string kContentDescriptionGuid = GuidBytes("75B22633-668E-11CF-A6D9-00AA0062CE6C");
inline const std::string kExtendedContentGuid = GuidBytes("D2D0A440-E307-11D2-97F0-00A0C95EA850");
inline const std::string kDataGuid = GuidBytes("75B22636-668E-11CF-A6D9-00AA0062CE6C");
inline const std::string kPaddingGuid = GuidBytes("1806D474-CADF-4509-A4BA-9AABCB96AAE8");

// An object: identifier, 64-bit size (the whole object unless given), body.
inline std::string Object(const std::string& guid, const std::string& body,
                          std::optional<uint64_t> size = std::nullopt) {
  return Bytes(guid).u64le(size.value_or(24 + body.size())).raw(body).str();
}

// File properties object with the maximum bitrate at offset 100.
inline std::string FileProperties(uint32_t maxBitrate) {
  return Object(kFilePropertiesGuid, Bytes().zeros(76).u32le(maxBitrate));
}

// Stream properties object of an audio stream with a wave format.
inline std::string StreamProperties(uint16_t channels, uint32_t sampleRate, uint32_t byteRate,
                                    uint16_t formatTag = 0x161) {
  Bytes b;
  b.zeros(54);  // stream type, error correction type, offsets, flags, reserved
  b.u16le(formatTag).u16le(channels).u32le(sampleRate).u32le(byteRate);
  b.u16le(0x0BA3).u16le(16).u16le(0);  // block align, bits, no extra data
  return Object(kStreamPropertiesGuid, b);
}

// A text as stored in a field: UTF-16LE code units.
inline std::string Text(std::u16string_view s) { return Bytes().utf16le(s).str(); }
// The same with the terminating NUL that writers usually add.
inline std::string TextZ(std::u16string_view s) { return Bytes().utf16le(s).u16le(0).str(); }

// Content description object from the five stored fields (raw bytes, as
// made by Text/TextZ): title, author, copyright, description, rating.
inline std::string ContentDescription(const std::string& title, const std::string& author, const std::string& copyright,
                                      const std::string& description, const std::string& rating) {
  Bytes b;
  for (const std::string* f : {&title, &author, &copyright, &description, &rating}) b.u16le(f->size());
  for (const std::string* f : {&title, &author, &copyright, &description, &rating}) b.raw(*f);
  return Object(kContentDescriptionGuid, b);
}

struct Descriptor {
  std::string name;  // stored bytes
  uint16_t type;
  std::string value;  // stored bytes
};
inline Descriptor StringDescriptor(std::u16string_view name, std::u16string_view value) {
  return {TextZ(name), 0, TextZ(value)};
}
inline Descriptor DwordDescriptor(std::u16string_view name, uint32_t value) {
  return {TextZ(name), 3, Bytes().u32le(value).str()};
}
inline std::string ExtendedContentDescription(const std::vector<Descriptor>& descriptors) {
  Bytes b;
  b.u16le(static_cast<uint32_t>(descriptors.size()));
  for (const Descriptor& d : descriptors) {
    b.u16le(d.name.size()).raw(d.name);
    b.u16le(d.type).u16le(d.value.size()).raw(d.value);
  }
  return Object(kExtendedContentGuid, b);
}

// Header object holding the objects; the count and size are the true ones
// unless given.
inline std::string Header(const std::vector<std::string>& objects, std::optional<int32_t> count = std::nullopt,
                          std::optional<uint64_t> size = std::nullopt) {
  Bytes body;
  body.u32le(static_cast<uint32_t>(count.value_or(static_cast<int32_t>(objects.size())))).u8(1).u8(2);
  for (const std::string& o : objects) body.raw(o);
  return Object(kHeaderGuid, body, size);
}

// A whole file: the header, then a data object filling it to totalSize
// bytes (or a minimal data object when totalSize is too small).
inline std::string File(const std::string& header, size_t totalSize = 0) {
  const size_t dataBody = totalSize > header.size() + 24 ? totalSize - header.size() - 24 : 26;
  return header + Object(kDataGuid, std::string(dataBody, '\0'));
}

}  // namespace asfbuild

namespace riffbuild {

using testsupport::Bytes;

// A chunk with its true size (or the given one) and no pad byte.
inline std::string Chunk(std::string_view id, const std::string& data, std::optional<uint32_t> size = std::nullopt) {
  return Bytes().raw(id).u32le(size.value_or(static_cast<uint32_t>(data.size()))).raw(data).str();
}

// The 16-byte body of a "fmt " chunk, fields as stored.
inline std::string FmtBody(uint16_t channels, uint32_t sampleRate, uint32_t byteRate, uint16_t blockAlign,
                           uint16_t bitsPerSample, uint16_t formatTag = 1) {
  return Bytes()
      .u16le(formatTag)
      .u16le(channels)
      .u32le(sampleRate)
      .u32le(byteRate)
      .u16le(blockAlign)
      .u16le(bitsPerSample)
      .str();
}

// "fmt " chunk fields as stored.
inline std::string Fmt(uint16_t channels, uint32_t sampleRate, uint32_t byteRate, uint16_t blockAlign,
                       uint16_t bitsPerSample, uint16_t formatTag = 1) {
  return Chunk("fmt ", FmtBody(channels, sampleRate, byteRate, blockAlign, bitsPerSample, formatTag));
}
// PCM "fmt " chunk with the byte rate and block align that belong to it.
inline std::string PcmFmt(uint16_t channels, uint32_t sampleRate, uint16_t bitsPerSample) {
  const uint16_t blockAlign = static_cast<uint16_t>(channels * bitsPerSample / 8);
  return Fmt(channels, sampleRate, sampleRate * blockAlign, blockAlign, bitsPerSample);
}

// "data" chunk head claiming `size` bytes followed by `present` zero bytes.
inline std::string DataHead(uint32_t size, size_t present = 0) {
  return Bytes().raw("data").u32le(size).zeros(present).str();
}

// "RIFF" size "WAVE" and the chunks.
inline std::string Wave(const std::vector<std::string>& chunks) {
  Bytes body;
  for (const std::string& c : chunks) body.raw(c);
  return Bytes().raw("RIFF").u32le(static_cast<uint32_t>(4 + body.size())).raw("WAVE").raw(body.str()).str();
}

// A whole 16-bit PCM file: "fmt " and "data" holding `samples` (16-bit
// little-endian, channels interleaved).
inline std::string PcmWave(uint16_t channels, uint32_t sampleRate, const std::string& samples) {
  return Wave({PcmFmt(channels, sampleRate, 16), Chunk("data", samples)});
}

}  // namespace riffbuild
