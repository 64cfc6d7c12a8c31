// Byte builders for Vorbis comment blocks, Ogg pages and FLAC metadata,
// shared by the tests and the fuzz seeds.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "TestSupport.h"

namespace oggflac {

using testsupport::Bytes;

// --- Vorbis comments -------------------------------------------------------

// The block's fields: vendor, count and comments; no header, no framing
// byte (the FLAC form).
inline std::string CommentFields(const std::vector<std::string>& comments, const std::string& vendor = "quav test") {
  Bytes b;
  b.u32le(static_cast<uint32_t>(vendor.size())).raw(vendor).u32le(static_cast<uint32_t>(comments.size()));
  for (const std::string& c : comments) b.u32le(static_cast<uint32_t>(c.size())).raw(c);
  return b;
}

// The Ogg comment packet: type 3, "vorbis", the fields, the framing byte.
inline std::string CommentPacket(const std::vector<std::string>& comments, const std::string& vendor = "quav test",
                                 uint8_t framing = 1) {
  return Bytes().u8(3).raw("vorbis").raw(CommentFields(comments, vendor)).u8(framing);
}

// --- Ogg -------------------------------------------------------------------

struct VorbisId {
  uint8_t packetType = 1;
  std::string id = "vorbis";
  uint8_t channels = 2;
  uint32_t sampleRate = 44100;
  uint32_t nominal = 128000;
  uint8_t stopFlag = 1;
};

// The 30-byte identification packet.
inline std::string IdentificationPacket(const VorbisId& v = {}) {
  return Bytes()
      .u8(v.packetType)
      .raw(v.id)
      .u32le(0)
      .u8(v.channels)
      .u32le(v.sampleRate)
      .u32le(0)
      .u32le(v.nominal)
      .u32le(0)
      .u8(0xB8)
      .u8(v.stopFlag);
}

// Lacing values of one packet that ends on its page.
inline std::vector<uint8_t> Lacing(size_t packetLength) {
  std::vector<uint8_t> lacing(packetLength / 255, 255);
  lacing.push_back(static_cast<uint8_t>(packetLength % 255));
  return lacing;
}

inline std::vector<uint8_t> Concat(std::vector<uint8_t> a, const std::vector<uint8_t>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// One page: 27-byte header, the lacing values, the payload. The checksum
// is left 0 (never verified by the reader).
inline std::string OggPage(const std::vector<uint8_t>& lacing, const std::string& payload, int64_t granule = 0,
                           uint32_t sequence = 0, uint8_t flags = 0, const std::string& pattern = "OggS") {
  Bytes b;
  b.raw(pattern).u8(0).u8(flags).u64le(static_cast<uint64_t>(granule)).u32le(0x5157).u32le(sequence).u32le(0);
  b.u8(static_cast<uint32_t>(lacing.size()));
  for (uint8_t v : lacing) b.u8(v);
  return b.raw(payload);
}

struct OggFileParams {
  VorbisId id;
  std::vector<std::string> comments = {"TITLE=Song", "ARTIST=Band",      "ALBUM=Record",
                                       "DATE=2004",  "TRACKNUMBER=3/12", "GENRE=Rock"};
  int64_t lastGranule = 441000;  // 10 s at 44100 Hz
  size_t audioBytes = 4000;
};

// First page (identification), second page (comment and a stand-in setup
// packet), an audio page and the last page with the total granule.
inline std::string OggVorbisFile(const OggFileParams& params) {
  const std::string comment = CommentPacket(params.comments);
  const std::string setup = Bytes().u8(5).raw("vorbis").fill(40, 0x11);
  std::string file = OggPage({30}, IdentificationPacket(params.id), 0, 0, 2);
  file += OggPage(Concat(Lacing(comment.size()), Lacing(setup.size())), comment + setup, 0, 1);
  file += OggPage(Lacing(200), std::string(200, '\x22'), 2048, 2);
  file += std::string(params.audioBytes, '\x33');
  file += OggPage(Lacing(100), std::string(100, '\x44'), params.lastGranule, 3, 4);
  return file;
}

// The same with the defaults. (Not a default argument: GCC 12 at -O3 warns
// that the strings of the brace-initialised temporary may be used
// uninitialized.)
inline std::string OggVorbisFile() {
  const OggFileParams params;
  return OggVorbisFile(params);
}

// --- FLAC ------------------------------------------------------------------

// Block header: last flag, type, 24-bit length.
inline std::string FlacBlock(uint8_t type, bool last, const std::string& body) {
  return Bytes().u8((last ? 0x80 : 0) | type).u24be(static_cast<uint32_t>(body.size())).raw(body);
}

// A Vorbis comment block (type 4) holding the comments given.
inline std::string Comments(const std::vector<std::string>& c, bool last = false) {
  return FlacBlock(4, last, CommentFields(c));
}

// The 34-byte STREAMINFO body. `samples` is the 36-bit total.
inline std::string StreamInfoBody(uint32_t sampleRate = 44100, uint32_t channels = 2, uint32_t bitsPerSample = 16,
                                  uint64_t samples = 441000) {
  Bytes b;
  b.u16be(4096).u16be(4096).u24be(0).u24be(0);
  // 20 bits rate | 3 bits channels-1 | 5 bits bps-1 | 36 bits samples
  const uint64_t packed = (uint64_t(sampleRate & 0xFFFFF) << 44) | (uint64_t((channels - 1) & 7) << 41) |
                          (uint64_t((bitsPerSample - 1) & 31) << 36) | (samples & 0xFFFFFFFFFull);
  b.u32be(static_cast<uint32_t>(packed >> 32)).u32be(static_cast<uint32_t>(packed));
  return b.fill(16, 0xAB);
}

inline std::string PictureBody(uint32_t type, const std::string& mime, const std::string& description,
                               const std::string& data, uint32_t width = 300, uint32_t height = 200) {
  return Bytes()
      .u32be(type)
      .u32be(static_cast<uint32_t>(mime.size()))
      .raw(mime)
      .u32be(static_cast<uint32_t>(description.size()))
      .raw(description)
      .u32be(width)
      .u32be(height)
      .u32be(24)
      .u32be(0)
      .u32be(static_cast<uint32_t>(data.size()))
      .raw(data);
}

// "fLaC", STREAMINFO (flagged last when no block follows), the blocks as
// given (the caller flags the last one), then `audioBytes` of frame data.
inline std::string FlacFile(const std::vector<std::string>& blocks, size_t audioBytes = 1000,
                            const std::string& streamInfo = StreamInfoBody()) {
  std::string file = "fLaC" + FlacBlock(0, blocks.empty(), streamInfo);
  for (const std::string& b : blocks) file += b;
  return file + std::string(audioBytes, '\xFF');
}

// An ID3v2 tag of `bodySize` zero bytes (version 2.major), optionally with
// the v2.4 footer flag and a footer.
inline std::string Id3v2Tag(uint32_t bodySize, uint8_t major = 3, bool footer = false) {
  Bytes b;
  b.raw("ID3").u8(major).u8(0).u8(footer ? 0x10 : 0).syncsafe(bodySize).zeros(bodySize);
  if (footer) b.raw("3DI").u8(major).u8(0).u8(0x10).syncsafe(bodySize);
  return b;
}

}  // namespace oggflac
