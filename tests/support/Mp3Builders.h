// Builders for MPEG audio fixtures: frame headers, whole frames, frames
// carrying a Xing or VBRI header, and ID3v1 blocks. (ID3v2 frames and tags
// are built by Id3v2Builders.h.)
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "TestSupport.h"

namespace mp3build {

// Fields of a 4-byte frame header, as raw values. Defaults: MPEG-1 Layer III,
// 128 kbit/s, 44100 Hz, stereo, no CRC, no padding.
struct FrameFields {
  uint8_t versionBits = 3;  // 0 MPEG-2.5, 1 reserved, 2 MPEG-2, 3 MPEG-1
  uint8_t layerBits = 1;    // 1 Layer III, 2 Layer II, 3 Layer I, 0 reserved
  bool crc = false;         // protection bit 0
  uint8_t bitrateIndex = 9;
  uint8_t samplerateIndex = 0;
  bool padding = false;
  uint8_t channelMode = 0;  // 3 = mono
  uint8_t extension = 0;
  bool copyright = false;
  bool original = false;
  uint8_t emphasis = 0;

  FrameFields& mpeg1() {
    versionBits = 3;
    return *this;
  }
  FrameFields& mpeg2() {
    versionBits = 2;
    return *this;
  }
  FrameFields& mpeg25() {
    versionBits = 0;
    return *this;
  }
  FrameFields& layer(int l) {
    layerBits = static_cast<uint8_t>(4 - l);
    return *this;
  }
  FrameFields& bitrate(uint8_t index) {
    bitrateIndex = index;
    return *this;
  }
  FrameFields& rate(uint8_t index) {
    samplerateIndex = index;
    return *this;
  }
  FrameFields& mono() {
    channelMode = 3;
    return *this;
  }
  FrameFields& mode(uint8_t m) {
    channelMode = m;
    return *this;
  }
  FrameFields& padded(bool p = true) {
    padding = p;
    return *this;
  }
};

inline std::string MpegHeader(const FrameFields& s) {
  testsupport::Bytes b;
  b.u8(0xFF);
  b.u8(0xE0 | (s.versionBits & 3) << 3 | (s.layerBits & 3) << 1 | (s.crc ? 0 : 1));
  b.u8((s.bitrateIndex & 15) << 4 | (s.samplerateIndex & 3) << 2 | (s.padding ? 2 : 0));
  b.u8((s.channelMode & 3) << 6 | (s.extension & 3) << 4 | (s.copyright ? 8 : 0) | (s.original ? 4 : 0) |
       (s.emphasis & 3));
  return b.str();
}

// The frame length the header implies (only for valid, non-free headers).
inline size_t FrameLength(const FrameFields& s) {
  static const int kRates[4][3] = {{11025, 12000, 8000}, {0, 0, 0}, {22050, 24000, 16000}, {44100, 48000, 32000}};
  static const int kBitrates[5][15] = {{0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448},
                                       {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},
                                       {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320},
                                       {0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256},
                                       {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160}};
  const int layer = 4 - s.layerBits;
  const bool mpeg1 = s.versionBits == 3;
  const int row = mpeg1 ? layer - 1 : (layer == 1 ? 3 : 4);
  const int64_t br = kBitrates[row][s.bitrateIndex];
  const int64_t sr = kRates[s.versionBits][s.samplerateIndex];
  const int pad = s.padding ? 1 : 0;
  if (layer == 1) return size_t((12000 * br / sr + pad) * 4);
  if (layer == 2 || mpeg1) return size_t(144000 * br / sr + pad);
  return size_t(72000 * br / sr + pad);
}

// One frame: header, then `fill` bytes up to the frame length.
inline std::string MpegFrame(const FrameFields& s, uint8_t fill = 0) {
  std::string f = MpegHeader(s);
  f.resize(FrameLength(s), static_cast<char>(fill));
  return f;
}

inline std::string MpegFrames(const FrameFields& s, size_t count, uint8_t fill = 0) {
  std::string out;
  for (size_t i = 0; i < count; ++i) out += MpegFrame(s, fill);
  return out;
}

// Where a Xing header sits in a frame of this kind.
inline size_t XingOffset(const FrameFields& s) {
  const bool mono = s.channelMode == 3;
  if (s.versionBits == 3) return mono ? 21 : 36;
  return mono ? 13 : 21;
}

// A frame holding a Xing header with a frame count (flags bit 0) unless
// withFrames is false; the byte count field follows.
inline std::string XingFrame(const FrameFields& s, uint32_t frames, bool withFrames = true, uint32_t bytes = 0) {
  std::string f = MpegFrame(s);
  testsupport::Bytes x;
  x.raw("Xing").u32be(withFrames ? 0x3 : 0x2).u32be(withFrames ? frames : bytes).u32be(bytes);
  f.replace(XingOffset(s), x.size(), x.str());
  return f;
}

// A frame holding a VBRI header (always at offset 36).
inline std::string VbriFrame(const FrameFields& s, uint32_t frames, uint32_t bytes = 0) {
  std::string f = MpegFrame(s);
  testsupport::Bytes v;
  v.raw("VBRI").u16be(1).u16be(0).u16be(75).u32be(bytes).u32be(frames);
  f.replace(36, v.size(), v.str());
  return f;
}

// A 128-byte ID3v1 block. A track of 0 leaves bytes 125/126 to the comment
// (ID3v1.0); any other value writes 0 and the track there (ID3v1.1).
struct Id3v1Fields {
  std::string title = {}, artist = {}, album = {}, year = {}, comment = {};
  uint8_t track = 0;
  uint8_t genre = 255;
  char pad = '\0';
};

inline std::string Id3v1(const Id3v1Fields& s) {
  auto field = [&](const std::string& v, size_t n) {
    std::string f = v.substr(0, n);
    f.resize(n, s.pad);
    return f;
  };
  std::string b =
      "TAG" + field(s.title, 30) + field(s.artist, 30) + field(s.album, 30) + field(s.year, 4) + field(s.comment, 30);
  if (s.track != 0) {
    b[125] = '\0';
    b[126] = static_cast<char>(s.track);
  }
  b.push_back(static_cast<char>(s.genre));
  return b;
}

}  // namespace mp3build
