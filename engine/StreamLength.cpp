#include "StreamLength.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <map>
#include <string>

namespace quav {

ByteReader::ByteReader(ReadFn read, int64_t size) : fRead(std::move(read)), fSize(std::max<int64_t>(0, size)) {}

bool ByteReader::Get(int64_t offset, uint8_t* out, size_t bytes) {
  if (offset < 0 || bytes > kBlock || offset > fSize || static_cast<int64_t>(bytes) > fSize - offset) return false;
  if (fBlockStart < 0 || offset < fBlockStart ||
      offset + static_cast<int64_t>(bytes) > fBlockStart + static_cast<int64_t>(fBlockBytes)) {
    fBlock.resize(kBlock);
    fBlockStart = offset;
    fBlockBytes = fRead(offset, fBlock.data(), kBlock);
    if (fBlockBytes < bytes) {
      fBlockStart = -1;
      return false;
    }
  }
  std::memcpy(out, fBlock.data() + (offset - fBlockStart), bytes);
  return true;
}

namespace {

uint32_t U16LE(const uint8_t* p) { return p[0] | (p[1] << 8); }
uint32_t U32LE(const uint8_t* p) { return U16LE(p) | (U16LE(p + 2) << 16); }
uint64_t U64LE(const uint8_t* p) { return U32LE(p) | (static_cast<uint64_t>(U32LE(p + 4)) << 32); }

// ---- MPEG audio ----------------------------------------------------------

// Bitrates in kbit/s by [MPEG 1 or not][layer - 1][index]; index 0 (free
// format) and 15 (invalid) are 0.
constexpr std::array<std::array<std::array<int, 16>, 3>, 2> kBitrates = {{
    {{{0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256, 0},
      {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0},
      {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0}}},
    {{{0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448, 0},
      {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, 0},
      {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0}}},
}};
constexpr std::array<int, 3> kMpeg1Rates = {44100, 48000, 32000};

bool SameStream(const MpegFrameHeader& a, const MpegFrameHeader& b) {
  return a.version == b.version && a.layer == b.layer && a.sampleRate == b.sampleRate;
}

// A header at offset that matches like, followed by another one that does
// (or by the end of the file).
std::optional<MpegFrameHeader> FrameAt(ByteReader& reader, int64_t offset, const MpegFrameHeader* like) {
  uint8_t b[4];
  if (!reader.Get(offset, b, 4)) return std::nullopt;
  const auto h = ParseMpegFrameHeader(b);
  if (!h || (like && !SameStream(*h, *like))) return std::nullopt;
  return h;
}

bool ConfirmedFrameAt(ByteReader& reader, int64_t offset, const MpegFrameHeader* like, MpegFrameHeader& header) {
  const auto h = FrameAt(reader, offset, like);
  if (!h) return false;
  const int64_t next = offset + h->frameBytes;
  if (next > reader.Size()) return false;
  if (next < reader.Size() && !FrameAt(reader, next, &*h)) return false;
  header = *h;
  return true;
}

// Offset just past the ID3v2 tags at the start (several may follow each
// other).
int64_t SkipId3v2(ByteReader& reader) {
  int64_t at = 0;
  for (int tags = 0; tags < 16; ++tags) {
    uint8_t h[10];
    if (!reader.Get(at, h, 10) || std::memcmp(h, "ID3", 3) != 0 || h[3] < 2 || h[3] > 4) break;
    if ((h[6] | h[7] | h[8] | h[9]) & 0x80) break;
    const int64_t size = (h[6] << 21) | (h[7] << 14) | (h[8] << 7) | h[9];
    at += 10 + size + ((h[3] == 4 && (h[5] & 0x10)) ? 10 : 0);
  }
  return at;
}

// ---- Ogg -------------------------------------------------------------------

struct OggLink {
  std::string codec;
  int rate = 0;
  int64_t preSkip = 0;
  int64_t lastGranule = -1;
  bool carriedAudio = false;  // a page past the headers (granule above 0)
  bool ended = false;
};

// Codec, rate and pre-skip from the first packet of a logical stream.
void IdentifyOggLink(const uint8_t* p, size_t n, OggLink& link) {
  if (n >= 16 && std::memcmp(p, "\x01vorbis", 7) == 0) {
    link.codec = "vorbis";
    link.rate = static_cast<int>(U32LE(p + 12));
  } else if (n >= 12 && std::memcmp(p, "OpusHead", 8) == 0) {
    link.codec = "opus";
    link.rate = 48000;  // granules always count at 48 kHz
    link.preSkip = U16LE(p + 10);
  } else if (n >= 30 &&
             std::memcmp(p,
                         "\x7f"
                         "FLAC",
                         5) == 0 &&
             std::memcmp(p + 9, "fLaC", 4) == 0) {
    // STREAMINFO follows the 4-byte block header; the rate is its 20 bits
    // from byte 10 on.
    const uint8_t* si = p + 17;
    link.codec = "flac";
    link.rate = static_cast<int>((si[10] << 12) | (si[11] << 4) | (si[12] >> 4));
  } else if (n >= 40 && std::memcmp(p, "Speex   ", 8) == 0) {
    link.codec = "speex";
    link.rate = static_cast<int>(U32LE(p + 36));
  }
}

// ---- Musepack SV8 ------------------------------------------------------------

// Variable-length size: 7 bits a byte, high bit set on all but the last.
bool ReadVarint(ByteReader& reader, int64_t& at, int64_t& value) {
  value = 0;
  for (int i = 0; i < 8; ++i) {
    uint8_t b;
    if (!reader.Get(at++, &b, 1)) return false;
    value = (value << 7) | (b & 0x7f);
    if (!(b & 0x80)) return true;
  }
  return false;
}

// Samples the decoder's synthesis filter puts before the first one coded.
constexpr int64_t kMusepackSynthesisDelay = 481;

}  // namespace

std::optional<MpegFrameHeader> ParseMpegFrameHeader(const uint8_t* p) {
  // AAAAAAAA AAABBCCD EEEEFFGH ...: A sync, B version, C layer, E bitrate
  // index, F rate index, G padding.
  if (p[0] != 0xff || (p[1] & 0xe0) != 0xe0) return std::nullopt;
  const int versionBits = (p[1] >> 3) & 3;
  const int layerBits = (p[1] >> 1) & 3;
  const int bitrateIndex = p[2] >> 4;
  const int rateIndex = (p[2] >> 2) & 3;
  const int padding = (p[2] >> 1) & 1;
  if (versionBits == 1 || layerBits == 0 || rateIndex == 3) return std::nullopt;
  MpegFrameHeader h;
  h.version = versionBits == 3 ? 1 : versionBits == 2 ? 2 : 25;
  h.layer = 4 - layerBits;
  const bool mpeg1 = h.version == 1;
  const int kbps = kBitrates[mpeg1 ? 1 : 0][h.layer - 1][bitrateIndex];
  if (kbps == 0) return std::nullopt;
  h.sampleRate = kMpeg1Rates[rateIndex] / (mpeg1 ? 1 : h.version == 2 ? 2 : 4);
  const int bitrate = kbps * 1000;
  if (h.layer == 1) {
    h.samplesPerFrame = 384;
    h.frameBytes = (12 * bitrate / h.sampleRate + padding) * 4;
  } else if (h.layer == 2 || mpeg1) {
    h.samplesPerFrame = 1152;
    h.frameBytes = 144 * bitrate / h.sampleRate + padding;
  } else {
    h.samplesPerFrame = 576;
    h.frameBytes = 72 * bitrate / h.sampleRate + padding;
  }
  return h;
}

std::optional<int64_t> CountMpegSamples(ByteReader& reader) {
  const int64_t size = reader.Size();
  int64_t at = SkipId3v2(reader);
  MpegFrameHeader first;
  while (at < size && !ConfirmedFrameAt(reader, at, nullptr, first)) ++at;
  if (at >= size) return std::nullopt;
  int64_t samples = 0;
  // Each pass moves at least one byte on, so the file's size bounds the walk.
  while (at < size) {
    const auto h = FrameAt(reader, at, &first);
    if (h && at + h->frameBytes <= size) {
      samples += h->samplesPerFrame;
      at += h->frameBytes;
      continue;
    }
    // Damage or trailing tags: the next frame that is followed by another.
    MpegFrameHeader again;
    ++at;
    while (at < size && !ConfirmedFrameAt(reader, at, &first, again)) ++at;
  }
  return samples;
}

std::string_view DemuxerNamedBy(ByteReader& reader) {
  const int64_t at = SkipId3v2(reader);
  uint8_t m[16] = {};
  if (!reader.Get(at, m, std::min<int64_t>(sizeof m, reader.Size() - at))) return {};
  static constexpr uint8_t kAsfHeader[16] = {0x30, 0x26, 0xb2, 0x75, 0x8e, 0x66, 0xcf, 0x11,
                                             0xa6, 0xd9, 0x00, 0xaa, 0x00, 0x62, 0xce, 0x6c};
  struct Magic {
    const char* bytes;
    size_t size;
    std::string_view demuxer;
  };
  static constexpr Magic kMagic[] = {{"fLaC", 4, "flac"},   {"OggS\0", 5, "ogg"}, {"MAC ", 4, "ape"},
                                     {"wvpk", 4, "wv"},     {"TTA1", 4, "tta"},   {"MPCK", 4, "mpc8"},
                                     {"MP+\x07", 4, "mpc"}, {"MP+\x17", 4, "mpc"}};
  for (const Magic& magic : kMagic)
    if (std::memcmp(m, magic.bytes, magic.size) == 0) return magic.demuxer;
  if (std::memcmp(m, kAsfHeader, sizeof kAsfHeader) == 0) return "asf";
  // Frame sync is two bytes any data may hold: only a run of frames, each
  // where the last one's size puts it, names MPEG audio.
  MpegFrameHeader first;
  int64_t frame = at;
  for (int n = 0; n < 4; ++n) {
    const auto h = FrameAt(reader, frame, n == 0 ? nullptr : &first);
    if (!h) return {};
    if (n == 0) first = *h;
    frame += h->frameBytes;
  }
  return "mp3";
}

std::optional<int64_t> CountOggSamples(ByteReader& reader, std::string_view codec, int outRate) {
  const int64_t size = reader.Size();
  std::map<uint32_t, OggLink> links;  // by serial number
  std::vector<uint32_t> order;        // links of the codec, in file order
  bool multiplexed = false;
  int64_t at = 0;
  while (at + 27 <= size) {
    uint8_t h[27 + 255];
    if (!reader.Get(at, h, 27) || std::memcmp(h, "OggS", 4) != 0 || h[4] != 0) {
      ++at;  // lost: look for the next page
      continue;
    }
    const int segments = h[26];
    if (!reader.Get(at + 27, h + 27, static_cast<size_t>(segments))) break;
    int64_t body = 0;
    for (int i = 0; i < segments; ++i) body += h[27 + i];
    const int64_t bodyStart = at + 27 + segments;
    if (body > size - bodyStart) break;  // a page cut off by the end of the file
    const auto granule = static_cast<int64_t>(U64LE(h + 6));
    const uint32_t serial = U32LE(h + 14);
    const bool beginning = (h[5] & 0x02) != 0;
    if (beginning) {
      OggLink link;
      uint8_t packet[64];
      const auto n = static_cast<size_t>(std::min<int64_t>(body, sizeof packet));
      if (reader.Get(bodyStart, packet, n)) IdentifyOggLink(packet, n, link);
      if (link.codec == codec && link.rate > 0) {
        // A second link of the codec that starts while the previous one has
        // not yet carried audio runs beside it, not after it.
        if (!order.empty() && !links[order.back()].carriedAudio && !links[order.back()].ended) multiplexed = true;
        order.push_back(serial);
      }
      links[serial] = link;
    }
    const auto it = links.find(serial);
    if (it != links.end()) {
      if (granule >= 0) it->second.lastGranule = granule;
      if (granule > 0) it->second.carriedAudio = true;
      if (h[5] & 0x04) it->second.ended = true;
    }
    at = bodyStart + body;
  }
  if (order.empty() || multiplexed) return std::nullopt;
  // Granule positions are the file's word, and damage makes them anything:
  // a length beyond what the engine counts in is no length.
  constexpr int64_t kMostFrames = int64_t{1} << 60;
  int64_t total = 0;
  for (uint32_t serial : order) {
    const OggLink& link = links[serial];
    // A serial number used again by a link of unknown rate: not ours to tell.
    if (link.rate <= 0) return std::nullopt;
    const int64_t samples = std::max<int64_t>(0, link.lastGranule - link.preSkip);
    const double frames =
        link.rate == outRate ? static_cast<double>(samples) : static_cast<double>(samples) * outRate / link.rate;
    if (!(frames < static_cast<double>(kMostFrames - total))) return std::nullopt;
    total += link.rate == outRate ? samples : static_cast<int64_t>(frames);
  }
  return total;
}

std::optional<int64_t> CountMusepackSv8Samples(ByteReader& reader) {
  uint8_t magic[4];
  if (!reader.Get(0, magic, 4) || std::memcmp(magic, "MPCK", 4) != 0) return std::nullopt;
  int64_t at = 4;
  // The stream header comes first or after a few small packets.
  for (int packets = 0; packets < 64; ++packets) {
    uint8_t key[2];
    if (!reader.Get(at, key, 2)) return std::nullopt;
    int64_t sizeAt = at + 2, packetSize;
    if (!ReadVarint(reader, sizeAt, packetSize) || packetSize < sizeAt - at) return std::nullopt;
    if (std::memcmp(key, "SH", 2) == 0) {
      // CRC (4 bytes), version (1 byte), sample count, beginning silence.
      int64_t field = sizeAt + 5, samples;
      if (!ReadVarint(reader, field, samples) || field > at + packetSize) return std::nullopt;
      return samples + kMusepackSynthesisDelay;
    }
    if (std::memcmp(key, "AP", 2) == 0 || packetSize > reader.Size() - at) return std::nullopt;
    at += packetSize;
  }
  return std::nullopt;
}

}  // namespace quav
