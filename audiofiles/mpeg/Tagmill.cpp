// The unit Tagmill: the MPEG stream analysis and the names of TMP3Error
// here; the genre list, the ID3v1 tag and the ID3v2 tag in Tagmill_Genres,
// Tagmill_Id3v1 and Tagmill_Id3v2.
#include "Tagmill.h"

#include <algorithm>
#include <exception>

#include "AudioFileBasics.h"
#include "Id3Basics.h"
#include "TextUtils.h"

const char* MP3ErrorName(TMP3Error error) {
  static constexpr std::array<const char*, MPEGERR_NoFrame + 1> kNames = {QUAV_MP3_ERROR_LIST(QUAV_ENUM_NAME)};
  return error <= MPEGERR_NoFrame ? kNames[error] : "?";
}

// ===========================================================================
// MPEG stream information

namespace {

// kbit/s by [row][index]; rows: MPEG-1 Layer I, II, III, then MPEG-2/2.5
// Layer I, and Layers II and III. Index 0 is free format, 15 is rejected.
constexpr std::array<std::array<uint16_t, 15>, 5> kBitrates = {{
    {0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448},
    {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},
    {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320},
    {0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256},
    {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},
}};

// Hz by [version - 1][index]; index 3 is reserved (0).
constexpr std::array<std::array<int32_t, 4>, 3> kSamplerates = {{
    {44100, 48000, 32000, 0},
    {22050, 24000, 16000, 0},
    {11025, 12000, 8000, 0},
}};

// Frame-length coefficient divided by 1000 (Layer I: 4 x 12).
int32_t BitrateCoefficient(const TMpegFrameHeader& h) {
  if (h.layer == 1) return 48;
  if (h.layer == 2 || h.version == 1) return 144;
  return 72;
}

// Frame count of a Xing or VBRI header inside the frame `frame` (the frame's
// bytes plus the 4 bytes after it); found is false when there is none.
struct VbrInfo {
  uint32_t frames = 0;
  bool found = false;
  bool vbri = false;  // the header found is a VBRI header
};

VbrInfo FindVbrHeader(const TMpegFrameHeader& h, const uint8_t* frame) {
  VbrInfo info;
  const size_t available = size_t(h.framelength) + 4;
  //  Xing: "Xing" | flags (u32 BE, bit 0 = frame count present) | frames (u32 BE)
  size_t xing;
  if (h.version == 1)
    xing = h.channelmode == 3 ? 21 : 36;
  else
    xing = h.channelmode == 3 ? 13 : 21;
  if (xing + 12 <= available && std::equal(frame + xing, frame + xing + 4, "Xing")) {
    info.found = true;
    if (frame[xing + 7] & 1) info.frames = GetU32BE(frame + xing + 8);
    return info;
  }
  //  VBRI: "VBRI" | version u16 | delay u16 | quality u16 | bytes u32 | frames u32 (all BE)
  constexpr size_t kVbri = 36;
  if (kVbri + 18 <= available && std::equal(frame + kVbri, frame + kVbri + 4, "VBRI")) {
    info.found = true;
    info.vbri = true;
    info.frames = GetU32BE(frame + kVbri + 14);
  }
  return info;
}

}  // namespace

//  b0        b1                 b2                  b3
//  11111111  111 VV LL P        BBBB SS p x         MM EE C O PP
//            sync ver layer crc bitrate rate pad    mode ext copy orig emph
TMpegFrameHeader DecodeMpegFrameHeader(const uint8_t b[4]) {
  TMpegFrameHeader h;
  if (b[0] != 0xFF || b[1] < 0xE0) return h;
  static constexpr int32_t kVersions[4] = {3, 0, 2, 1};
  h.version = kVersions[(b[1] >> 3) & 3];
  h.layer = 4 - ((b[1] >> 1) & 3);
  h.protection = (b[1] & 1) == 0;
  if (h.version == 0 || h.layer == 4) return h;

  const int index = b[2] >> 4;
  if (index == 15) return h;
  const size_t row = h.version == 1 ? size_t(h.layer - 1) : (h.layer == 1 ? 3 : 4);
  h.bitrate = kBitrates[row][size_t(index)];
  h.samplerate = kSamplerates[size_t(h.version - 1)][(b[2] >> 2) & 3];
  h.padding = (b[2] >> 1) & 1;
  h.channelmode = b[3] >> 6;
  h.extension = (b[3] >> 4) & 3;
  h.copyright = (b[3] & 0x08) != 0;
  h.original = (b[3] & 0x04) != 0;
  h.emphasis = b[3] & 3;

  // Layer II of MPEG-1 allows the low rates only in mono, the high ones only
  // with two channels.
  if (h.version == 1 && h.layer == 2) {
    const bool mono = h.channelmode == 3;
    switch (h.bitrate) {
      case 32:
      case 48:
      case 56:
      case 80:
        if (!mono) return h;
        break;
      case 224:
      case 256:
      case 320:
      case 384:
        if (mono) return h;
        break;
      default: break;
    }
  }

  h.framelength = 0xFFFF;
  if (h.samplerate == 0) return h;
  int64_t length;
  if (h.layer == 1)
    length = (12000LL * h.bitrate / h.samplerate + h.padding) * 4;
  else if (h.layer == 2 || h.version == 1)
    length = 144000LL * h.bitrate / h.samplerate + h.padding;
  else
    length = 72000LL * h.bitrate / h.samplerate + h.padding;
  if (length > 0 && length < 0xFFFF) {
    h.framelength = static_cast<uint16_t>(length);
    h.valid = true;
  }
  return h;
}

namespace {

// Bytes of the stream around the search position, read a block at a time
// from the candidate on: headers are scanned through it, and the longer
// checks of a candidate (its frame, the next header, the third sync) refill
// it from the candidate only when they reach past it, so that a run of
// candidates that fail late costs one read per block rather than one per
// candidate. The block is the stream's own small block, so that the first
// frames of a file cost one read.
class SearchWindow {
 public:
  explicit SearchWindow(TStream& stream) : fStream(stream), fSize(stream.Size()) {}

  // The 4 header bytes at P (P + 3 < stream size), or nullptr on a short read.
  const uint8_t* Header(int64_t P) {
    if (P < fStart || P + 4 > fStart + fLength) Fill(P, kBlockSize);
    return P + 4 <= fStart + fLength ? At(P) : nullptr;
  }

  // The bytes [pos, pos + count) for the candidate at P (P <= pos), or
  // nullptr when the stream does not hold them all.
  const uint8_t* Range(int64_t P, int64_t pos, int64_t count) {
    if (pos + count > fSize) return nullptr;
    if (pos < fStart || pos + count > fStart + fLength) Fill(P, std::max<int64_t>(pos + count - P, kBlockSize));
    return pos >= fStart && pos + count <= fStart + fLength ? At(pos) : nullptr;
  }

 private:
  static constexpr int64_t kBlockSize = TFileStream::kBlockSize;

  const uint8_t* At(int64_t pos) const { return fBuffer.data() + (pos - fStart); }

  void Fill(int64_t from, int64_t count) {
    fBuffer.resize(size_t(count));
    fStream.Seek(from);
    fStart = from;
    fLength = 0;  // stays empty should the read raise
    fLength = fStream.Read(fBuffer.data(), count);
  }

  TStream& fStream;
  const int64_t fSize;
  std::vector<uint8_t> fBuffer;
  int64_t fStart = 0;
  int64_t fLength = 0;
};

}  // namespace

TMP3Error TMpegInfo::LoadFromStream(TStream& stream) {
  TMP3Error result = MPEGERR_NoFrame;
  Fvalid = false;
  FfirstHeaderPosition = -1;
  const int64_t S = stream.Size();
  FFilesize = S;
  SearchWindow window(stream);

  for (int64_t P = stream.Position(); P + 3 < S; ++P) {
    try {
      const uint8_t* b = window.Header(P);
      if (!b) continue;
      if (b[0] != 0xFF || b[1] < 0xE0) continue;
      const TMpegFrameHeader h = DecodeMpegFrameHeader(b);
      if (!h.valid) continue;
      const int64_t F = h.framelength;

      // The frame and the next header's 4 bytes.
      const uint8_t* frame = window.Range(P, P, F + 4);
      if (!frame) continue;
      const VbrInfo vbr = FindVbrHeader(h, frame);
      if (!vbr.vbri) {
        const TMpegFrameHeader second = DecodeMpegFrameHeader(frame + F);
        if (!second.valid) continue;
        const int64_t third = P + F + second.framelength;
        if (third + 3 > S) continue;
        const uint8_t* sync = window.Range(P, third, 2);
        if (!sync || sync[0] != 0xFF || sync[1] < 0xE0) continue;
      }

      Fversion = h.version;
      Flayer = h.layer;
      Fprotection = h.protection;
      Fsamplerate = h.samplerate;
      Fchannelmode = h.channelmode;
      Fextension = h.extension;
      Fcopyright = h.copyright;
      Foriginal = h.original;
      Femphasis = h.emphasis;
      if (vbr.found) {
        const int64_t A = S - P - F;
        const int64_t N = vbr.frames;
        if (N == 0) continue;
        const double rate = (h.samplerate / 1000.0) * double(A) / (double(N) * BitrateCoefficient(h));
        // A bitrate beyond what the field holds (the frame count is far too
        // small) or a frame count beyond the signed range is not taken, as
        // a bitrate of 0 is not.
        const int64_t kbps = TruncToInt64(rate);
        Fbitrate = kbps <= UINT16_MAX && N <= INT32_MAX ? static_cast<uint16_t>(kbps) : 0;
        Fvbr = true;
        if (Fbitrate == 0) continue;
        Fdauer = static_cast<int32_t>((A * 8) / (int64_t(Fbitrate) * 1000));
        Fframes = static_cast<int32_t>(N);
      } else {
        Fframes = static_cast<int32_t>((S - P) / F);
        Fbitrate = static_cast<uint16_t>(h.bitrate);
        Fvbr = false;
        if (Fbitrate == 0) continue;
        Fdauer = static_cast<int32_t>(((S - P) * 8) / (int64_t(Fbitrate) * 1000));
      }
      Fvalid = true;
      FfirstHeaderPosition = P;
      result = MP3ERR_None;
      break;
    } catch (const std::exception&) {
      // A fault while fetching bytes rejects this position only.
    }
  }
  return result;
}

TMP3Error TMpegInfo::LoadFromFile(const std::string& FileName) {
  if (!AudioFileExists(FileName)) return MP3ERR_NoFile;
  TMP3Error result = MP3ERR_None;
  if (!ParseFile(FileName, [&](TStream& stream) { result = LoadFromStream(stream); })) return MP3ERR_FOpenR;
  return result;
}
