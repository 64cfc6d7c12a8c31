// Builders for APE tag items, APE tags and the ID3 tags around them, as raw
// bytes for the tests and fuzz seeds of the APE-tagged formats.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "TestSupport.h"

namespace apebuild {

inline constexpr uint32_t kHasHeader = 0x80000000u;
inline constexpr uint32_t kIsHeader = 0x20000000u;
inline constexpr uint32_t kBinary = 1u << 1;    // content type ctBinary
inline constexpr uint32_t kExternal = 2u << 1;  // content type ctExternal
inline constexpr uint32_t kReserved = 3u << 1;  // content type ctreserved
inline constexpr uint32_t kReadOnly = 1u;

// One item with the value size written as given (may lie about the value).
inline std::string ApeItemRaw(int32_t valueSize, uint32_t flags, std::string_view key, std::string_view value) {
  testsupport::Bytes b;
  b.u32le(static_cast<uint32_t>(valueSize)).u32le(flags).raw(key).u8(0).raw(value);
  return b.str();
}

// One well-formed item.
inline std::string ApeItem(std::string_view key, std::string_view value, uint32_t flags = 0) {
  return ApeItemRaw(static_cast<int32_t>(value.size()), flags, key, value);
}

// A picture item: description, 0x00, image bytes.
inline std::string ApePictureItem(std::string_view key, std::string_view description, std::string_view image) {
  std::string value(description);
  value.push_back('\0');
  value.append(image);
  return ApeItem(key, value, kBinary);
}

// A 32-byte header or footer.
inline std::string ApeHeader(uint32_t size, uint32_t itemCount, uint32_t flags, uint32_t version = 2000,
                             std::string_view preamble = "APETAGEX") {
  testsupport::Bytes b;
  b.raw(preamble).u32le(version).u32le(size).u32le(itemCount).u32le(flags).zeros(8);
  return b.str();
}

struct TagOptions {
  bool withHeader = true;
  uint32_t version = 2000;
  int64_t itemCount = -1;  // -1: the real number of items
};

// A whole tag: optional header, the items, the footer. Size and count are
// computed from the items unless overridden.
inline std::string ApeTag(const std::vector<std::string>& items, TagOptions o = {}) {
  std::string body;
  for (const std::string& item : items) body += item;
  const auto size = static_cast<uint32_t>(body.size() + 32);
  const auto count = o.itemCount >= 0 ? static_cast<uint32_t>(o.itemCount) : static_cast<uint32_t>(items.size());
  const uint32_t flags = o.withHeader ? kHasHeader : 0;
  std::string tag;
  if (o.withHeader) tag += ApeHeader(size, count, flags | kIsHeader, o.version);
  tag += body;
  tag += ApeHeader(size, count, flags, o.version);
  return tag;
}

// A 128-byte ID3v1 tag with a title.
inline std::string Id3v1Tag(std::string_view title = "v1 title") {
  std::string tag = "TAG";
  std::string field(title.substr(0, 30));
  field.resize(30, '\0');
  tag += field;
  tag.resize(127, '\0');
  tag.push_back(static_cast<char>(12));
  return tag;
}

// An ID3v2.3 tag with `bodySize` zero bytes after the 10-byte header.
inline std::string Id3v2Tag(uint32_t bodySize) {
  testsupport::Bytes b;
  b.raw("ID3").u8(3).u8(0).u8(0).syncsafe(bodySize).zeros(bodySize);
  return b.str();
}

// Monkey's Audio stream start in the descriptor layout (version 3980 on).
struct MacHeader {
  uint16_t version = 3990;
  uint16_t compression = 2000;
  uint16_t formatFlags = 0;
  uint32_t blocksPerFrame = 73728;
  uint32_t finalFrameBlocks = 1000;
  uint32_t totalFrames = 10;
  uint16_t bits = 16;
  uint16_t channels = 2;
  uint32_t sampleRate = 44100;
  uint32_t descriptorLength = 52;  // bytes beyond 52 are written as 0xEE
  uint32_t headerLength = 24;      // bytes beyond 24 are written as 0xEE
};

inline std::string MacDescriptorStream(const MacHeader& h) {
  testsupport::Bytes b;
  b.raw("MAC ").u16le(h.version).u16le(0).u32le(h.descriptorLength).u32le(h.headerLength);
  b.u32le(0).u32le(44).u32le(123456).u32le(0).u32le(0).zeros(16);
  if (h.descriptorLength > 52) b.fill(h.descriptorLength - 52, 0xEE);
  testsupport::Bytes header;
  header.u16le(h.compression).u16le(h.formatFlags).u32le(h.blocksPerFrame).u32le(h.finalFrameBlocks);
  header.u32le(h.totalFrames).u16le(h.bits).u16le(h.channels).u32le(h.sampleRate);
  if (h.headerLength > 24) header.fill(h.headerLength - 24, 0xEE);
  b.raw(header.str().substr(0, h.headerLength));
  return b.str();
}

// Monkey's Audio stream start in the old layout (before version 3980).
inline std::string MacOldStream(uint16_t version, uint16_t compression, uint16_t formatFlags, uint16_t channels,
                                uint32_t sampleRate, uint32_t totalFrames, uint32_t finalFrameBlocks,
                                uint32_t peakLevel = 0) {
  testsupport::Bytes b;
  b.raw("MAC ").u16le(version).u16le(compression).u16le(formatFlags).u16le(channels).u32le(sampleRate);
  b.u32le(44).u32le(0).u32le(totalFrames).u32le(finalFrameBlocks).u32le(peakLevel);
  return b.str();
}

// A 32-byte WavPack block header (version 4 and later).
inline std::string WvBlockHeader(uint32_t totalSamples, uint32_t flags, uint16_t version = 0x0410,
                                 uint32_t blockSamples = 22050) {
  testsupport::Bytes b;
  b.raw("wvpk").u32le(1000).u16le(version).u8(0).u8(0).u32le(totalSamples).u32le(0);
  b.u32le(blockSamples).u32le(flags).u32le(0xC0FFEE);
  return b.str();
}

// Flags of a block header with a sample-rate index (bits 23-27).
inline uint32_t WvRateIndex(uint32_t index) { return index << 23; }

// The 36-byte header of an older WavPack file, at the start of the data chunk.
inline std::string WvOldHeader(uint16_t version, uint16_t lossyBits, uint16_t flags, uint32_t totalSamples,
                               uint32_t headerSize = 36) {
  testsupport::Bytes b;
  b.raw("wvpk").u32le(headerSize).u16le(version).u16le(lossyBits).u16le(flags).u16le(0);
  b.u32le(totalSamples).u32le(0).u32le(0).u32le(0).u8(0).zeros(3);
  return b.str();
}

}  // namespace apebuild
