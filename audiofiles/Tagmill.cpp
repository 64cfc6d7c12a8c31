#include "Tagmill.h"

#include <algorithm>
#include <exception>

#include "AudioFileBasics.h"
#include "Id3Basics.h"
#include "TextUtils.h"

const char* MP3ErrorName(TMP3Error error) {
  static constexpr std::array<const char*, MPEGERR_NoFrame + 1> kNames = {
      "MP3ERR_None",   "MP3ERR_NoFile",        "MP3ERR_FOpenCrt",     "MP3ERR_FOpenR",
      "MP3ERR_FOpenRW", "MP3ERR_FOpenW",        "MP3ERR_SRead",        "MP3ERR_SWrite",
      "ID3ERR_Cache",  "ID3ERR_NoTag",         "ID3ERR_Invalid_Header", "ID3ERR_Compression",
      "ID3ERR_Unclassified", "MPEGERR_NoFrame"};
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

constexpr int64_t kWindowSize = 512;

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
      case 32: case 48: case 56: case 80:
        if (!mono) return h;
        break;
      case 224: case 256: case 320: case 384:
        if (mono) return h;
        break;
      default:
        break;
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

// Bytes of the stream around the search position. Headers are scanned
// through a 512-byte window starting at the candidate; the longer checks of
// a candidate (its frame, the next header, the third sync) read a larger
// block from the candidate on, so that a run of candidates that fail late
// costs one read per block rather than one per candidate.
class SearchWindow {
 public:
  explicit SearchWindow(TStream& stream) : fStream(stream), fSize(stream.Size()) {}

  // The 4 header bytes at P (P + 3 < stream size), or nullptr on a short read.
  const uint8_t* Header(int64_t P) {
    if (P < fStart || P + 4 > fStart + fLength) Fill(P, kWindowSize);
    return P + 4 <= fStart + fLength ? At(P) : nullptr;
  }

  // The bytes [pos, pos + count) for the candidate at P (P <= pos), or
  // nullptr when the stream does not hold them all.
  const uint8_t* Range(int64_t P, int64_t pos, int64_t count) {
    if (pos + count > fSize) return nullptr;
    if (pos < fStart || pos + count > fStart + fLength)
      Fill(P, std::max<int64_t>(pos + count - P, kBlockSize));
    return pos >= fStart && pos + count <= fStart + fLength ? At(pos) : nullptr;
  }

 private:
  static constexpr int64_t kBlockSize = 16384;

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
        Fbitrate = static_cast<uint16_t>(TruncToInt64(rate));
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

// ===========================================================================
// Genre list. Three names keep the spellings that tags written by older
// versions of this library carry (92, 133, 144).

const std::array<std::u16string_view, kID3GenreCount> ID3Genres = {
    // 0
    u"Blues", u"Classic Rock", u"Country", u"Dance", u"Disco", u"Funk", u"Grunge", u"Hip-Hop",
    u"Jazz", u"Metal", u"New Age", u"Oldies", u"Other", u"Pop", u"R&B", u"Rap", u"Reggae",
    u"Rock", u"Techno", u"Industrial",
    // 20
    u"Alternative", u"Ska", u"Death Metal", u"Pranks", u"Soundtrack", u"Euro-Techno",
    u"Ambient", u"Trip-Hop", u"Vocal", u"Jazz+Funk", u"Fusion", u"Trance", u"Classical",
    u"Instrumental", u"Acid", u"House", u"Game", u"Sound Clip", u"Gospel", u"Noise",
    // 40
    u"AlternRock", u"Bass", u"Soul", u"Punk", u"Space", u"Meditative", u"Instrumental Pop",
    u"Instrumental Rock", u"Ethnic", u"Gothic", u"Darkwave", u"Techno-Industrial",
    u"Electronic", u"Pop-Folk", u"Eurodance", u"Dream", u"Southern Rock", u"Comedy", u"Cult",
    u"Gangsta",
    // 60
    u"Top 40", u"Christian Rap", u"Pop/Funk", u"Jungle", u"Native American", u"Cabaret",
    u"New Wave", u"Psychadelic", u"Rave", u"Showtunes", u"Trailer", u"Lo-Fi", u"Tribal",
    u"Acid Punk", u"Acid Jazz", u"Polka", u"Retro", u"Musical", u"Rock & Roll", u"Hard Rock",
    // 80
    u"Folk", u"Folk-Rock", u"National Folk", u"Swing", u"Fast Fusion", u"Bebob", u"Latin",
    u"Revival", u"Celtic", u"Bluegrass", u"Avantgarde", u"Gothic Rock", u"Progessive Rock",
    u"Psychedelic Rock", u"Symphonic Rock", u"Slow Rock", u"Big Band", u"Chorus",
    u"Easy Listening", u"Acoustic",
    // 100
    u"Humour", u"Speech", u"Chanson", u"Opera", u"Chamber Music", u"Sonata", u"Symphony",
    u"Booty Bass", u"Primus", u"Porn Groove", u"Satire", u"Slow Jam", u"Club", u"Tango",
    u"Samba", u"Folklore", u"Ballad", u"Power Ballad", u"Rhythmic Soul", u"Freestyle",
    // 120
    u"Duet", u"Punk Rock", u"Drum Solo", u"A capella", u"Euro-House", u"Dance Hall", u"Goa",
    u"Drum & Bass", u"Club-House", u"Hardcore", u"Terror", u"Indie", u"BritPop", u"Negerunk",
    u"Polsk Punk", u"Beat", u"Christian Gangsta Rap", u"Heavy Metal", u"Black Metal",
    u"Crossover",
    // 140
    u"Contemporary Christian", u"Christian Rock", u"Merengue", u"Salsa", u"Trash Metal",
    u"Anime", u"JPop", u"Synthpop",
};

int32_t ID3GenreIndex(std::u16string_view name) {
  for (size_t i = 0; i < ID3Genres.size(); ++i)
    if (SameText(ID3Genres[i], name)) return static_cast<int32_t>(i);
  return -1;
}

// ===========================================================================
// ID3v1 tag

namespace {

constexpr size_t kID3v1Size = 128;

}  // namespace

void TID3v1Tag::Clear() {
  FTitle.assign(30, '\0');
  FArtist.assign(30, '\0');
  FAlbum.assign(30, '\0');
  FComment.assign(30, '\0');
  FYear.assign(4, '\0');
  FTrack = 0;
  FGenre = 0;
  FVersion = 0;
  FExists = false;
}

TMP3Error TID3v1Tag::ReadFromStream(TStream& stream) {
  Clear();
  try {
    // A stream shorter than the tag keeps its position and reads short.
    if (stream.Size() >= int64_t(kID3v1Size)) stream.Seek(stream.Size() - int64_t(kID3v1Size));
    char block[kID3v1Size];
    if (stream.Read(block, kID3v1Size) < int64_t(kID3v1Size)) return MP3ERR_SRead;
    if (std::string_view(block, 3) != "TAG") return ID3ERR_NoTag;

    FExists = true;
    FVersion = (block[125] == 0 && block[126] != 0) ? 1 : 0;
    FTitle.assign(block + 3, 30);
    FArtist.assign(block + 33, 30);
    FAlbum.assign(block + 63, 30);
    FYear.assign(block + 93, 4);
    if (FVersion == 1) {
      FComment.assign(block + 97, 28);
      FComment.append(2, '\0');
      FTrack = static_cast<uint8_t>(block[126]);
    } else {
      FComment.assign(block + 97, 30);
      FTrack = 0;
    }
    FGenre = static_cast<uint8_t>(block[127]);
    return MP3ERR_None;
  } catch (const std::exception& e) {
    Clear();
    ShowId3ErrorBox(e.what());
    return ID3ERR_Unclassified;
  }
}

TMP3Error TID3v1Tag::ReadFromFile(const std::string& aFilename) {
  if (!AudioFileExists(aFilename)) return MP3ERR_NoFile;
  TMP3Error result = MP3ERR_None;
  if (!ParseFile(aFilename, [&](TStream& stream) { result = ReadFromStream(stream); })) return MP3ERR_FOpenR;
  return result;
}

std::u16string TID3v1Tag::DecodeField(const std::string& field) const {
  return Trim(DecodeCodePageText(field, fAutoCorrectCodepage, FCharCode));
}

std::u16string TID3v1Tag::Genre() const {
  // The extensions past 125 were never part of the 8-bit tag's list.
  if (!FExists || FGenre > 125) return {};
  return std::u16string(ID3Genres[FGenre]);
}

std::u16string TID3v1Tag::Track() const { return IntToStr(FTrack); }

// ===========================================================================
// ID3v2 tag

std::u16string ResolveGenre(std::u16string_view text) {
  const size_t open = text.find(u'(');
  const size_t close = text.find(u')');
  if (open == std::u16string_view::npos || close == std::u16string_view::npos || close < open)
    return std::u16string(text);
  int32_t number = 0;
  if (!TryStrToInt(text.substr(open + 1, close - open - 1), number)) number = 255;
  const uint32_t index = static_cast<uint32_t>(number) & 0xFF;
  if (index < ID3Genres.size()) return std::u16string(ID3Genres[index]);
  return std::u16string(text);
}

namespace {

constexpr int64_t kBodyChunk = 1048576;

}  // namespace

void TID3v2Tag::Clear() {
  fFrames.clear();
  fVersion = TID3Version{};
  fTagSize = 0;
  fDataSize = 0;
  fPaddingSize = 0;
  fExists = false;
  fUsePadding = true;
  fFlgUnsynch = fFlgCompression = fFlgExtended = false;
  fFlgExperimental = fFlgFooterPresent = fFlgUnknown = false;
  fUseClusteredPadding = true;
}

//  "ID3" | major | minor | flags | size (4 x 7 bits, big-endian)
//  flags  2.2: 0x80 unsynchronisation, 0x40 compression
//         2.3: 0x80 unsynchronisation, 0x40 extended header, 0x20 experimental
//         2.4: as 2.3, and 0x10 footer present
TMP3Error TID3v2Tag::ReadHeader(TStream& Stream) {
  uint8_t header[10];
  Stream.Seek(0);
  if (Stream.Read(header, 10) != 10) return MP3ERR_SRead;
  if (header[0] != 'I' || header[1] != 'D' || header[2] != '3') return ID3ERR_NoTag;
  const uint8_t major = header[3];
  if (major < 2 || major > 4) return ID3ERR_Invalid_Header;

  TMP3Error result = MP3ERR_None;
  fTagSize = SyncSafeToInteger(header + 6) + 10;
  fExists = true;
  const uint8_t flags = header[5];
  fFlgUnsynch = (flags & 0x80) != 0;
  switch (major) {
    case 2:
      fFlgCompression = (flags & 0x40) != 0;
      fFlgUnknown = (flags & 0x3F) != 0;
      if (fFlgCompression) result = ID3ERR_Compression;
      break;
    case 3:
      fFlgExtended = (flags & 0x40) != 0;
      fFlgExperimental = (flags & 0x20) != 0;
      fFlgUnknown = (flags & 0x1F) != 0;
      break;
    default:
      fFlgExtended = (flags & 0x40) != 0;
      fFlgExperimental = (flags & 0x20) != 0;
      fFlgFooterPresent = (flags & 0x10) != 0;
      fFlgUnknown = (flags & 0x0F) != 0;
      if (fFlgFooterPresent) fTagSize += 10;
      break;
  }
  fVersion.Major = major;
  fVersion.Minor = header[4];

  if (fFlgExtended) {
    // 2.3: big-endian size without its own four bytes; 2.4: 7 bits per byte,
    // counting the whole extended header.
    uint8_t size[4];
    if (Stream.Read(size, 4) != 4) return MP3ERR_SRead;
    if (major == 3) {
      Stream.Skip(GetU32BE(size));
    } else {
      const uint32_t extended = SyncSafeToInteger(size);
      if (extended >= 4) Stream.Skip(extended - 4);
    }
  }
  return result;
}

TMP3Error TID3v2Tag::ReadFromStream(TStream& Stream) {
  Clear();
  TMP3Error result;
  try {
    result = ReadHeader(Stream);
  } catch (const EReadError&) {
    return MP3ERR_SRead;
  } catch (const std::exception& e) {
    ShowId3ErrorBox(e.what());
    return ID3ERR_Unclassified;
  }
  if (!fExists || result != MP3ERR_None) return result;

  const int64_t bodyLength = int64_t(fTagSize) - Stream.Position();
  TMemoryStream body;
  if (bodyLength > 0) {
    if (fFlgUnsynch && fVersion.Major != 4) {
      // Only what the stream holds is taken: a size beyond the end never
      // turns into an allocation of that size.
      body.Append(RemoveUnsynchronisation(Stream.ReadAtMost(bodyLength)));
    } else {
      // A body the stream cannot supply raises EReadError to the caller,
      // before anything is allocated for it.
      if (bodyLength > Stream.Remaining()) throw EReadError();
      for (int64_t left = bodyLength; left > 0; left -= std::min(left, kBodyChunk))
        body.CopyFrom(Stream, std::min(left, kBodyChunk));
    }
    body.Seek(0);
  }
  return ReadFrames(body);
}

TMP3Error TID3v2Tag::ReadFrames(TStream& body) {
  fUsePadding = false;
  fFrames.clear();
  const int64_t idLength = fVersion.Major == 2 ? 3 : 4;
  // Every pass consumes at least the ID, so the loop ends with the body.
  while (body.Remaining() > 0) {
    const int64_t idStart = body.Position();
    const std::string id = body.ReadAtMost(idLength);
    if (int64_t(id.size()) < idLength || !IsValidFrameID(id, fVersion.Major)) {
      fPaddingSize = fTagSize - static_cast<uint32_t>(idStart);
      fUsePadding = true;
      return MP3ERR_None;
    }
    try {
      auto frame = std::make_unique<TID3v2Frame>(id, fVersion.Major);
      frame->ReadFromStream(body);
      frame->SetAlwaysWriteUnicode(fAlwaysWriteUnicode);
      frame->SetCharCode(fCharCode);
      frame->SetAutoCorrectCodepage(fAutoCorrectCodepage);
      fFrames.push_back(std::move(frame));
    } catch (const EReadError&) {
      return MP3ERR_SRead;
    } catch (const std::exception& e) {
      ShowId3ErrorBox(e.what());
      return ID3ERR_Unclassified;
    }
  }
  return MP3ERR_None;
}

TMP3Error TID3v2Tag::ReadFromFile(const std::string& Filename) {
  if (!AudioFileExists(Filename)) return MP3ERR_NoFile;
  fFilename = Filename;
  TMP3Error result = MP3ERR_None;
  if (!ParseFile(Filename, [&](TStream& stream) { result = ReadFromStream(stream); })) return MP3ERR_FOpenR;
  return result;
}

const TID3v2Frame* TID3v2Tag::FindFrame(TFrameIDs FrameID) const {
  const int index = IndexOfFrame(fFrames, IDStringFor(FrameID, fVersion.Major));
  return index < 0 ? nullptr : fFrames[size_t(index)].get();
}

TID3v2FrameRefs TID3v2Tag::FramesWithID(TFrameIDs FrameID) const {
  TID3v2FrameRefs list;
  const std::string_view id = IDStringFor(FrameID, fVersion.Major);
  if (id.empty()) return list;
  for (const auto& frame : fFrames)
    if (frame->FrameIDString() == id) list.push_back(frame.get());
  return list;
}

TID3v2FrameRefs TID3v2Tag::FramesOfType(TID3v2FrameTypes type) const {
  TID3v2FrameRefs list;
  for (const auto& frame : fFrames)
    if (frame->FrameType() == type) list.push_back(frame.get());
  return list;
}

std::u16string TID3v2Tag::GetText(TFrameIDs FrameID) const {
  const TID3v2Frame* frame = FindFrame(FrameID);
  return frame ? frame->GetText() : std::u16string();
}

const TID3v2Frame* TID3v2Tag::FindCommentFrame(TFrameIDs FrameID, std::string_view Language,
                                                std::u16string_view Description) const {
  for (const TID3v2Frame* frame : FramesWithID(FrameID))
    if (CommentFrameMatches(*frame, Language, Description)) return frame;
  return nullptr;
}

std::u16string TID3v2Tag::GetExtendedComment(std::string_view Language,
                                             std::u16string_view Description) const {
  const TID3v2Frame* frame = FindCommentFrame(IDv2_COMMENT, Language, Description);
  if (!frame) return {};
  std::string language;
  std::u16string description;
  return frame->GetCommentsLyrics(language, description);
}

std::u16string TID3v2Tag::GetLyrics(std::string_view Language,
                                    std::u16string_view Description) const {
  const TID3v2Frame* frame = FindCommentFrame(IDv2_LYRICS, Language, Description);
  if (!frame) return {};
  std::string language;
  std::u16string description;
  return frame->GetCommentsLyrics(language, description);
}

std::u16string TID3v2Tag::GetUserText(std::u16string_view Description) const {
  for (const TID3v2Frame* frame : FramesOfType(FT_UserTextFrame)) {
    std::u16string description;
    std::u16string value = frame->GetUserText(description);
    if (description == Description) return value;
  }
  return {};
}

const TID3v2Frame* TID3v2Tag::FindUserDefinedURLFrame(std::u16string_view Description) const {
  for (const TID3v2Frame* frame : FramesWithID(IDv2_USERDEFINEDURL)) {
    std::u16string description;
    frame->GetUserdefinedURL(description);
    if (description == Description) return frame;
  }
  return nullptr;
}

std::string TID3v2Tag::GetUserDefinedURL(std::u16string_view Description) const {
  const TID3v2Frame* frame = FindUserDefinedURLFrame(Description);
  std::u16string description;
  return frame ? frame->GetUserdefinedURL(description) : std::string();
}

std::string TID3v2Tag::GetURL(TFrameIDs FrameID) const {
  const TID3v2Frame* frame = FindFrame(FrameID);
  return frame ? frame->GetURL() : std::string();
}

const TID3v2Frame* TID3v2Tag::FindPictureFrame(std::u16string_view Description) const {
  for (const TID3v2Frame* frame : FramesWithID(IDv2_PICTURE)) {
    if (Description == u"*") return frame;
    std::string mime;
    uint8_t type = 0;
    std::u16string description;
    TMemoryStream ignored;
    frame->GetPicture(mime, type, description, ignored);
    if (description == Description) return frame;
  }
  return nullptr;
}

std::string TID3v2Tag::GetPicture(TMemoryStream& stream, std::u16string_view Description) const {
  const TID3v2Frame* frame = FindPictureFrame(Description);
  if (!frame) return {};
  std::string mime;
  uint8_t type = 0;
  std::u16string description;
  frame->GetPicture(mime, type, description, stream);
  return mime;
}

const TID3v2Frame* TID3v2Tag::FindPopularimeterFrame(std::string_view aEMail) const {
  for (const TID3v2Frame* frame : FramesWithID(IDv2_RATING)) {
    if (aEMail == "*") return frame;
    std::string email;
    frame->GetRating(email);
    if (email == aEMail) return frame;
  }
  return nullptr;
}

uint8_t TID3v2Tag::GetRating(std::string_view aEMail) const {
  const TID3v2Frame* frame = FindPopularimeterFrame(aEMail);
  std::string email;
  return frame ? frame->GetRating(email) : 0;
}

uint32_t TID3v2Tag::GetPersonalPlayCounter(std::string_view aEMail) const {
  const TID3v2Frame* frame = FindPopularimeterFrame(aEMail);
  std::string email;
  return frame ? frame->GetPersonalPlayCounter(email) : 0;
}

bool TID3v2Tag::GetPrivateFrame(std::string_view aOwnerID, TMemoryStream& Content) const {
  for (const TID3v2Frame* frame : FramesWithID(IDv2_PRIVATE)) {
    std::string owner;
    TMemoryStream data;
    const bool hasData = frame->GetPrivateFrame(owner, data);
    if (owner != aOwnerID) continue;
    if (hasData) Content.Append(data.Data());
    return hasData;
  }
  return false;
}

TID3v2FrameRefs TID3v2Tag::GetAllFrames() const {
  TID3v2FrameRefs list;
  for (const auto& frame : fFrames) list.push_back(frame.get());
  return list;
}
TID3v2FrameRefs TID3v2Tag::GetAllTextFrames() const { return FramesOfType(FT_TextFrame); }
TID3v2FrameRefs TID3v2Tag::GetAllUserTextFrames() const { return FramesOfType(FT_UserTextFrame); }
TID3v2FrameRefs TID3v2Tag::GetAllCommentFrames() const { return FramesWithID(IDv2_COMMENT); }
TID3v2FrameRefs TID3v2Tag::GetAllLyricFrames() const { return FramesWithID(IDv2_LYRICS); }
TID3v2FrameRefs TID3v2Tag::GetAllUserDefinedURLFrames() const {
  return FramesWithID(IDv2_USERDEFINEDURL);
}
TID3v2FrameRefs TID3v2Tag::GetAllPictureFrames() const { return FramesWithID(IDv2_PICTURE); }
TID3v2FrameRefs TID3v2Tag::GetAllPopularimeterFrames() const { return FramesWithID(IDv2_RATING); }
TID3v2FrameRefs TID3v2Tag::GetAllURLFrames() const { return FramesOfType(FT_URLFrame); }
TID3v2FrameRefs TID3v2Tag::GetAllPrivateFrames() const { return FramesWithID(IDv2_PRIVATE); }

bool TID3v2Tag::ValidNewCommentFrame(std::string_view Language,
                                     std::u16string_view Description) const {
  return FindCommentFrame(IDv2_COMMENT, Language, Description) == nullptr;
}
bool TID3v2Tag::ValidNewLyricFrame(std::string_view Language,
                                   std::u16string_view Description) const {
  return FindCommentFrame(IDv2_LYRICS, Language, Description) == nullptr;
}
bool TID3v2Tag::ValidNewPictureFrame(std::u16string_view Description) const {
  return FindPictureFrame(Description) == nullptr;
}
bool TID3v2Tag::ValidNewUserDefUrlFrame(std::u16string_view Description) const {
  return FindUserDefinedURLFrame(Description) == nullptr;
}
bool TID3v2Tag::ValidNewPopularimeterFrame(std::string_view EMail) const {
  return FindPopularimeterFrame(EMail) == nullptr;
}

std::vector<TFrameIDs> TID3v2Tag::GetAllowedTextFrames() const {
  return AllowedFrameIDs(fFrames, fVersion.Major, IDv2_ARTIST, IDv2_SETSUBTITLE);
}
std::vector<TFrameIDs> TID3v2Tag::GetAllowedURLFrames() const {
  return AllowedFrameIDs(fFrames, fVersion.Major, IDv2_AUDIOFILEURL, IDv2_PAYMENTURL);
}

void TID3v2Tag::SetCharCode(const TCodePage& value) {
  fCharCode = value;
  for (auto& frame : fFrames) frame->SetCharCode(value);
}

void TID3v2Tag::SetAutoCorrectCodepage(bool value) {
  fAutoCorrectCodepage = value;
  for (auto& frame : fFrames) frame->SetAutoCorrectCodepage(value);
}
