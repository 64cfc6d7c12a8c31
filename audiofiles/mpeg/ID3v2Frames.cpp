#include "ID3v2Frames.h"

#include <algorithm>
#include <stdexcept>

#include "Id3Basics.h"
#include "TextUtils.h"

const std::array<TID3v2FrameTableRow, kFrameIDCount> ID3v2FrameTable = {{
    //  2.2     2.3     2.4     description
    {{"XXX", "XXXX", "XXXX"}, "Unknown/experimental Frame"},  // IDv2_UNKNOWN
    {{"XMP", "XMP3", "XMP3"}, "Tagmill experimental Frame"},  // IDv2_TagmillExperimental
    {{"TP1", "TPE1", "TPE1"}, "Lead artist(s)/Lead performer(s)/Soloist(s)/Performing group"},  // IDv2_ARTIST
    {{"TT2", "TIT2", "TIT2"}, "Title/Songname/Content description"},                            // IDv2_TITEL
    {{"TAL", "TALB", "TALB"}, "Album/Movie/Show title"},                                        // IDv2_ALBUM
    {{"TYE", "TYER", "TDRC"}, "Year"},                                                          // IDv2_YEAR
    {{"TCO", "TCON", "TCON"}, "Content type"},                                                  // IDv2_GENRE
    {{"TRK", "TRCK", "TRCK"}, "Track number/Position in set"},                                  // IDv2_TRACK
    {{"TCM", "TCOM", "TCOM"}, "Composer"},                                                      // IDv2_COMPOSER
    {{"TOA", "TOPE", "TOPE"}, "Original artist(s)/performer(s)"},                               // IDv2_ORIGINALARTIST
    {{"TCR", "TCOP", "TCOP"}, "Copyright message"},                                             // IDv2_COPYRIGHT
    {{"TEN", "TENC", "TENC"}, "Encoded by"},                                                    // IDv2_ENCODEDBY
    {{"TLA", "TLAN", "TLAN"}, "Language(s)"},                                                   // IDv2_LANGUAGES
    {{"TSS", "TSSE", "TSSE"}, "Software/hardware and settings used for encoding"},              // IDv2_SOFTWARESETTINGS
    {{"TMT", "TMED", "TMED"}, "Media type"},                                                    // IDv2_MEDIATYPE
    {{"TLE", "TLEN", "TLEN"}, "Length"},                                                        // IDv2_LENGTH
    {{"TPB", "TPUB", "TPUB"}, "Publisher"},                                                     // IDv2_PUBLISHER
    {{"TOF", "TOFN", "TOFN"}, "Original filename"},                                             // IDv2_ORIGINALFILENAME
    {{"TOL", "TOLY", "TOLY"}, "Original Lyricist(s)/text writer(s)"},                           // IDv2_ORIGINALLYRICIST
    {{"TOR", "TORY", "TDOR"}, "Original release year"},                           // IDv2_ORIGINALRELEASEYEAR
    {{"TOT", "TOAL", "TOAL"}, "Original album/Movie/Show title"},                 // IDv2_ORIGINALALBUMTITEL
    {{"TBP", "TBPM", "TBPM"}, "BPM (Beats Per Minute)"},                          // IDv2_BPM
    {{"TDY", "TDLY", "TDLY"}, "Playlist delay"},                                  // IDv2_PLAYLISTDELAY
    {{"TFT", "TFLT", "TFLT"}, "File type"},                                       // IDv2_FILETYPE
    {{"TKE", "TKEY", "TKEY"}, "Initial key"},                                     // IDv2_INITIALKEY
    {{"TP2", "TPE2", "TPE2"}, "Band/Orchestra/Accompaniment"},                    // IDv2_BANDACCOMPANIMENT
    {{"TP3", "TPE3", "TPE3"}, "Conductor/Performer refinement"},                  // IDv2_CONDUCTORREFINEMENT
    {{"TP4", "TPE4", "TPE4"}, "Interpreted, remixed, or otherwise modified by"},  // IDv2_INTERPRETEDBY
    {{"TPA", "TPOS", "TPOS"}, "Part of a set"},                                   // IDv2_PARTOFASET
    {{"TRC", "TSRC", "TSRC"}, "ISRC (International Standard Recording Code)"},    // IDv2_ISRC
    {{"TT1", "TIT1", "TIT1"}, "Content group description"},                       // IDv2_CONTENTGROUPDESCRIPTION
    {{"TT3", "TIT3", "TIT3"}, "Subtitle/Description refinement"},                 // IDv2_SUBTITLEREFINEMENT
    {{"TXT", "TEXT", "TEXT"}, "Lyricist/text writer"},                            // IDv2_LYRICIST
    {{"---", "TOWN", "TOWN"}, "File owner/licensee"},                             // IDv2_FILEOWNER
    {{"---", "TRSN", "TRSN"}, "Internet radio station name"},                     // IDv2_INTERNETRADIONAME
    {{"---", "TRSO", "TRSO"}, "Internet radio station owner"},                    // IDv2_INTERNETRADIOOWNER
    {{"---", "----", "TDEN"}, "Encoding time"},                                   // IDv2_ENCODINGTIME
    {{"---", "----", "TDRC"}, "Recording time"},                                  // IDv2_RECORDINGTIME
    {{"---", "----", "TDRL"}, "Release time"},                                    // IDv2_RELEASETIME
    {{"---", "----", "TDTG"}, "Tagging time"},                                    // IDv2_TAGGINGTIME
    {{"---", "----", "TMCL"}, "Musician credits list"},                           // IDv2_MUSICIANCREDITLIST
    {{"---", "----", "TMOO"}, "Mood"},                                            // IDv2_MOOD
    {{"---", "----", "TPRO"}, "Produced notice"},                                 // IDv2_PRODUCEDNOTICE
    {{"---", "----", "TSOA"}, "Album sort order"},                                // IDv2_ALBUMSORTORDER
    {{"---", "----", "TSOP"}, "Performer sort order"},                            // IDv2_PERFORMERSORTORDER
    {{"---", "----", "TSOT"}, "Title sort order"},                                // IDv2_TITLESORTORDER
    {{"---", "----", "TSST"}, "Set subtitle"},                                    // IDv2_SETSUBTITLE
    {{"TXX", "TXXX", "TXXX"}, "User defined text information frame"},             // IDv2_USERDEFINEDTEXT
    {{"WAF", "WOAF", "WOAF"}, "Official audio file webpage"},                     // IDv2_AUDIOFILEURL
    {{"WAR", "WOAR", "WOAR"}, "Official artist/performer webpage"},               // IDv2_ARTISTURL
    {{"WAS", "WOAS", "WOAS"}, "Official audio source webpage"},                   // IDv2_AUDIOSOURCEURL
    {{"WCM", "WCOM", "WCOM"}, "Commercial information"},                          // IDv2_COMMERCIALURL
    {{"WCP", "WCOP", "WCOP"}, "Copyright/Legal information"},                     // IDv2_COPYRIGHTURL
    {{"WPB", "WPUB", "WPUB"}, "Publishers official webpage"},                     // IDv2_PUBLISHERSURL
    {{"---", "WORS", "WORS"}, "Official internet radio station homepage"},        // IDv2_RADIOSTATIONURL
    {{"---", "WPAY", "WPAY"}, "Payment"},                                         // IDv2_PAYMENTURL
    {{"PIC", "APIC", "APIC"}, "Attached picture"},                                // IDv2_PICTURE
    {{"ULT", "USLT", "USLT"}, "Unsychronized lyric/text transcription"},          // IDv2_LYRICS
    {{"COM", "COMM", "COMM"}, "Comments"},                                        // IDv2_COMMENT
    {{"POP", "POPM", "POPM"}, "Popularimeter"},                                   // IDv2_RATING
    {{"WXX", "WXXX", "WXXX"}, "User defined URL link frame"},                     // IDv2_USERDEFINEDURL
    {{"BUF", "RBUF", "RBUF"}, "Recommended buffer size"},                         // IDv2_RECOMMENDEDBUFFERSIZE
    {{"CNT", "PCNT", "PCNT"}, "Play counter"},                                    // IDv2_PLAYCOUNTER
    {{"CRA", "AENC", "AENC"}, "Audio encryption"},                                // IDv2_AUDIOENCRYPTION
    {{"ETC", "ETCO", "ETCO"}, "Event timing codes"},                              // IDv2_EVENTTIMINGCODES
    {{"EQU", "EQUA", "EQU2"}, "Equalization"},                                    // IDv2_EQUALIZATION
    {{"GEO", "GEOB", "GEOB"}, "General encapsulated object"},                     // IDv2_GENERALOBJECT
    {{"LNK", "LINK", "LINK"}, "Linked information"},                              // IDv2_LINKEDINFORMATION
    {{"MCI", "MCDI", "MCDI"}, "Music CD Identifier"},                             // IDv2_MUSICCDID
    {{"MLL", "MLLT", "MLLT"}, "MPEG location lookup table"},                      // IDv2_MPEGLOOKUPTABLE
    {{"REV", "RVRB", "RVRB"}, "Reverb"},                                          // IDv2_REVERB
    {{"RVA", "RVAD", "RVA2"}, "Relative volume adjustment"},                      // IDv2_VOLUMEADJUSTMENT
    {{"SLT", "SYLT", "SYLT"}, "Synchronized lyric/text"},                         // IDv2_SYNCHRONIZEDLYRICS
    {{"STC", "SYTC", "SYTC"}, "Synced tempo codes"},                              // IDv2_SYNCEDTEMPOCODES
    {{"UFI", "UFID", "UFID"}, "Unique file identifier"},                          // IDv2_UNIQUEFILEID
    {{"---", "COMR", "COMR"}, "Commercial frame"},                                // IDv2_COMMERCIALFRAME
    {{"---", "ENCR", "ENCR"}, "Encryption method registration"},                  // IDv2_ENCRYPTIONMETHODREGISTRATION
    {{"---", "GRID", "GRID"}, "Group identification registration"},               // IDv2_GROUPIDREGISTRATION
    {{"---", "OWNE", "OWNE"}, "Ownership frame"},                                 // IDv2_OWNERSHIP
    {{"PRV", "PRIV", "PRIV"}, "Private frame"},                                   // IDv2_PRIVATE
    {{"---", "POSS", "POSS"}, "Position synchronisation frame"},                  // IDv2_POSITIONSYNCHRONISATION
    {{"---", "USER", "USER"}, "Terms of use"},                                    // IDv2_TERMSOFUSE
    {{"---", "----", "ASPI"}, "Audio seek point index"},                          // IDv2_SEEKPOINTINDEX
    {{"---", "----", "SEEK"}, "Seek frame"},                                      // IDv2_SEEKFRAME
    {{"---", "----", "SIGN"}, "Signature frame"},                                 // IDv2_SIGNATURE
    {{"IPL", "IPLS", "TIPL"}, "Involved people list"},                            // IDv2_INVOLVEDPEOPLE
    {{"CRM", "----", "----"}, "Encrypted meta frame"},                            // IDv2_ENCRYPTEDMETAFRAME
    {{"TRD", "TRDA", "----"}, "Recording dates"},                                 // IDv2_RECORDINGDATES
    {{"TDA", "TDAT", "----"}, "Date"},                                            // IDv2_DATE
    {{"TIM", "TIME", "----"}, "Time"},                                            // IDv2_TIME
    {{"TSI", "TSIZ", "----"}, "Size"},                                            // IDv2_SIZE
}};

namespace {

constexpr std::array<const char*, kFrameIDCount> kFrameIDNames = {QUAV_FRAME_ID_LIST(QUAV_ENUM_NAME)};

constexpr std::array<const char*, FT_UserTextFrame + 1> kFrameTypeNames = {QUAV_FRAME_TYPE_LIST(QUAV_ENUM_NAME)};

// Column of the table for a major version, -1 for versions without one.
int ColumnFor(uint8_t version) { return version >= 2 && version <= 4 ? version - 2 : -1; }

// The first row whose ID in the version's column equals id; -1 when none.
int FindRow(std::string_view id, uint8_t version) {
  const int column = ColumnFor(version);
  if (column < 0) return -1;
  for (int row = 0; row < kFrameIDCount; ++row)
    if (ID3v2FrameTable[row].IDs[column] == id) return row;
  return -1;
}

// Header layout:
//   version 2: ID(3) size(3, big-endian)
//   version 3: ID(4) size(4, big-endian) status(1) format(1)
//   version 4: ID(4) size(4, 7 bits per byte) status(1) format(1)
constexpr uint8_t kV3FormatCompression = 0x80, kV3FormatEncryption = 0x40, kV3FormatGrouping = 0x20,
                  kV3FormatUnknown = 0x1f, kV3FormatUnparsable = 0xdf;
constexpr uint8_t kV4FormatGrouping = 0x40, kV4FormatCompression = 0x08, kV4FormatEncryption = 0x04,
                  kV4FormatUnsync = 0x02, kV4FormatDataLength = 0x01, kV4FormatUnknown = 0xb0,
                  kV4FormatUnparsable = 0xbc;

}  // namespace

std::string_view IDStringFor(TFrameIDs frameID, uint8_t version) {
  const int column = ColumnFor(version);
  if (column < 0 || frameID >= kFrameIDCount) return {};
  return ID3v2FrameTable[frameID].IDs[column];
}

const char* FrameIDName(TFrameIDs frameID) { return frameID < kFrameIDCount ? kFrameIDNames[frameID] : "IDv2_UNKNOWN"; }

const char* FrameTypeName(TID3v2FrameTypes frameType) {
  return frameType < kFrameTypeNames.size() ? kFrameTypeNames[frameType] : "FT_INVALID";
}

TID3v2Frame::TID3v2Frame(std::string_view aID, uint8_t aVersion) : fVersion(aVersion) {
  const bool v2 = aVersion == 2;
  fIDString = IsValidFrameID(aID, aVersion) ? std::string(aID) : std::string(v2 ? "XXX" : "XXXX");
  fHeader.assign(v2 ? 6 : 10, '\0');
  fHeader.replace(0, fIDString.size(), fIDString);
}

uint8_t TID3v2Frame::StatusFlags() const { return fVersion == 2 ? 0 : static_cast<uint8_t>(fHeader[8]); }

uint8_t TID3v2Frame::FormatFlags() const { return fVersion == 2 ? 0 : static_cast<uint8_t>(fHeader[9]); }

void TID3v2Frame::ReadFromStream(TStream& aStream) {
  fParsable = true;
  fData.clear();
  fGroupID = 0;
  fDataLength = {};
  const size_t idLength = fIDString.size();
  // The rest of the header; missing bytes stay zero.
  std::fill(fHeader.begin() + static_cast<std::ptrdiff_t>(idLength), fHeader.end(), '\0');
  aStream.Read(fHeader.data() + idLength, static_cast<int64_t>(fHeader.size() - idLength));

  const auto* h = reinterpret_cast<const uint8_t*>(fHeader.data());
  uint32_t size = 0;
  const uint8_t format = FormatFlags();
  if (fVersion == 2) {
    size = (uint32_t(h[3]) << 16) | (uint32_t(h[4]) << 8) | h[5];
  } else if (fVersion == 4) {
    // Seven bits per byte; a set top bit is not masked and adds to the sum.
    size = h[4] * 2097152u + h[5] * 16384u + h[6] * 128u + h[7];
    fParsable = (format & kV4FormatUnparsable) == 0;
  } else {
    size = GetU32BE(h + 4);
    if (fVersion == 3) fParsable = (format & kV3FormatUnparsable) == 0;
  }

  // Unsynchronisation of one frame: undo it on the frame's bytes before
  // anything else. Only the bytes the stream holds are taken, so a size
  // beyond them never allocates more than is there.
  TStream* source = &aStream;
  TMemoryStream unsynced;
  if (fVersion == 4 && (format & kV4FormatUnsync)) {
    unsynced = TMemoryStream(RemoveUnsynchronisation(aStream.ReadAtMost(size)));
    size = static_cast<uint32_t>(unsynced.Size());
    source = &unsynced;
  }

  if (!fParsable) {
    fData = source->ReadBytes(size);
    return;
  }
  int32_t extra = 0;
  const bool grouping =
      (fVersion == 3 && (format & kV3FormatGrouping)) || (fVersion == 4 && (format & kV4FormatGrouping));
  if (grouping) {
    fGroupID = source->ReadU8();
    extra += 1;
  }
  if (fVersion == 4 && (format & kV4FormatDataLength)) {
    source->ReadBuffer(fDataLength.data(), 4);
    extra += 4;
  }
  const int64_t contentLength = int64_t(static_cast<int32_t>(size)) - extra;
  if (contentLength < 0)
    throw std::range_error("Frame " + fIDString + ": size " + std::to_string(static_cast<int32_t>(size)) +
                           " is out of range");
  fData = source->ReadBytes(contentLength);
}

TID3v2FrameTypes TID3v2Frame::FrameType() const {
  if (!IsValidFrameID(fIDString, fVersion)) return FT_INVALID;
  const std::string_view id = fIDString;
  if (fVersion == 2) {
    if (id == "TXX") return FT_UserTextFrame;
    if (id[0] == 'T') return FT_TextFrame;
    if (id == "WXX") return FT_UserDefinedURLFrame;
    if (id == "COM") return FT_CommentFrame;
    if (id == "ULT") return FT_LyricFrame;
    if (id == "PIC") return FT_PictureFrame;
    if (id == "POP") return FT_PopularimeterFrame;
    for (const char* url : {"WCM", "WCP", "WAF", "WAR", "WAS", "WPB"})
      if (id == url) return FT_URLFrame;
    return FT_UNKNOWN;
  }
  if (id == "TXXX") return FT_UserTextFrame;
  if (id[0] == 'T') return FT_TextFrame;
  if (id == "WXXX") return FT_UserDefinedURLFrame;
  if (id == "COMM") return FT_CommentFrame;
  if (id == "USLT") return FT_LyricFrame;
  if (id == "APIC") return FT_PictureFrame;
  if (id == "POPM") return FT_PopularimeterFrame;
  for (const char* url : {"WCOM", "WCOP", "WOAF", "WOAR", "WOAS", "WORS", "WPAY", "WPUB"})
    if (id == url) return FT_URLFrame;
  return FT_UNKNOWN;
}

TFrameIDs TID3v2Frame::FrameID() const {
  if (fID != IDv2_UNKNOWN) return fID;
  const int row = FindRow(fIDString, fVersion);
  if (row > 0) fID = static_cast<TFrameIDs>(row);
  return fID;
}

std::u16string TID3v2Frame::FrameTypeDescription() const {
  const int row = fID != IDv2_UNKNOWN ? int(fID) : FindRow(fIDString, fVersion);
  if (row >= 0) return AsciiToUtf16(ID3v2FrameTable[row].Description);
  return u"Unknown Frame (" + BytesToUtf16(fIDString) + u")";
}

bool TID3v2Frame::FlagTagAlterPreservation() const {
  if (fVersion == 3) return (StatusFlags() & 0x80) == 0;
  if (fVersion == 4) return (StatusFlags() & 0x40) == 0;
  return true;
}

bool TID3v2Frame::FlagFileAlterPreservation() const {
  if (fVersion == 3) return (StatusFlags() & 0x40) == 0;
  if (fVersion == 4) return (StatusFlags() & 0x20) == 0;
  return true;
}

bool TID3v2Frame::FlagReadOnly() const {
  if (fVersion == 3) return (StatusFlags() & 0x20) != 0;
  if (fVersion == 4) return (StatusFlags() & 0x10) != 0;
  return false;
}

bool TID3v2Frame::FlagUnknownStatus() const {
  if (fVersion == 3) return (StatusFlags() & 0x1f) != 0;
  if (fVersion == 4) return (StatusFlags() & 0x8f) != 0;
  return false;
}

bool TID3v2Frame::FlagCompression() const {
  if (fVersion == 3) return (FormatFlags() & kV3FormatCompression) != 0;
  if (fVersion == 4) return (FormatFlags() & kV4FormatCompression) != 0;
  return false;
}

bool TID3v2Frame::FlagEncryption() const {
  if (fVersion == 3) return (FormatFlags() & kV3FormatEncryption) != 0;
  if (fVersion == 4) return (FormatFlags() & kV4FormatEncryption) != 0;
  return false;
}

bool TID3v2Frame::FlagGroupingIndentity() const {
  if (fVersion == 3) return (FormatFlags() & kV3FormatGrouping) != 0;
  if (fVersion == 4) return (FormatFlags() & kV4FormatGrouping) != 0;
  return false;
}

bool TID3v2Frame::FlagUnsynchronisation() const { return fVersion == 4 && (FormatFlags() & kV4FormatUnsync) != 0; }

bool TID3v2Frame::FlagDataLengthIndicator() const {
  return fVersion == 4 && (FormatFlags() & kV4FormatDataLength) != 0;
}

bool TID3v2Frame::FlagUnknownEncoding() const {
  if (fVersion == 3) return (FormatFlags() & kV3FormatUnknown) != 0;
  if (fVersion == 4) return (FormatFlags() & kV4FormatUnknown) != 0;
  return false;
}

// Text encodings (the first content byte): 0 8-bit text, 1 UTF-16 with a
// byte-order mark, 2 UTF-16 big-endian, 3 UTF-8; any other value counts
// as 0.
std::u16string TID3v2Frame::DecodeTextRange(int64_t first, int64_t last, uint8_t encoding) const {
  const int64_t length = static_cast<int64_t>(fData.size());
  if (last >= length) last = length - 1;
  if (first < 0) first = 0;
  if (last < first) return {};
  const int64_t n = last - first + 1;
  const auto* p = reinterpret_cast<const uint8_t*>(fData.data()) + first;
  std::u16string text;
  switch (encoding) {
    case 1: {
      // The first two bytes are taken for the byte-order mark whatever
      // they hold; FE FF means big-endian, anything else little-endian.
      const int64_t chars = n / 2 - 1;
      if (chars <= 0) return {};
      const bool bigEndian = p[0] == 0xFE && p[1] == 0xFF;
      text.resize(static_cast<size_t>(chars));
      for (int64_t i = 0; i < chars; ++i) text[i] = bigEndian ? GetU16BE(p + 2 + 2 * i) : GetU16LE(p + 2 + 2 * i);
      break;
    }
    case 2: {
      const int64_t chars = n / 2;
      text.resize(static_cast<size_t>(chars));
      for (int64_t i = 0; i < chars; ++i) text[i] = GetU16BE(p + 2 * i);
      break;
    }
    case 3: text = Utf8ToUtf16(std::string_view(reinterpret_cast<const char*>(p), n)); break;
    default:
      text = DecodeCodePageText(std::string_view(reinterpret_cast<const char*>(p), n), fAutoCorrectCodepage, fCharCode);
      break;
  }
  return Trim(text);
}

// A description ends at 00 00 (two-byte encodings, examined pairwise from
// its first byte) or at 00 (one-byte encodings). The description's range
// runs to the terminator's first byte; the value starts behind it.
void TID3v2Frame::FindDescriptionEnd(int64_t first, uint8_t encoding, int64_t& descLast, int64_t& valueStart) const {
  const int64_t length = static_cast<int64_t>(fData.size());
  int64_t p = first;
  if (encoding == 1 || encoding == 2) {
    while (p + 1 < length && !(fData[p] == '\0' && fData[p + 1] == '\0')) p += 2;
    descLast = p;
    valueStart = p + 2;
  } else {
    while (p < length && fData[p] != '\0') ++p;
    descLast = p;
    valueStart = p + 1;
  }
}

std::u16string TID3v2Frame::GetText() const {
  if (!fParsable || fData.empty()) return {};
  return DecodeTextRange(1, static_cast<int64_t>(fData.size()) - 1, static_cast<uint8_t>(fData[0]));
}

std::u16string TID3v2Frame::GetUserText(std::u16string& Description) const {
  Description.clear();
  const int64_t length = static_cast<int64_t>(fData.size());
  if (!fParsable || length <= 2) return {};
  const auto encoding = static_cast<uint8_t>(fData[0]);
  int64_t descLast = 0, valueStart = 0;
  FindDescriptionEnd(1, encoding, descLast, valueStart);
  Description = DecodeTextRange(1, descLast, encoding);
  return DecodeTextRange(valueStart, length - 1, encoding);
}

std::u16string TID3v2Frame::GetCommentsLyrics(std::string& Language, std::u16string& Description) const {
  Language.clear();
  Description.clear();
  const int64_t length = static_cast<int64_t>(fData.size());
  if (!fParsable || length <= 4) return {};
  const auto encoding = static_cast<uint8_t>(fData[0]);
  Language = fData.substr(1, 3);
  int64_t descLast = 0, valueStart = 0;
  FindDescriptionEnd(4, encoding, descLast, valueStart);
  Description = DecodeTextRange(4, descLast, encoding);
  return DecodeTextRange(valueStart, length - 1, encoding);
}

std::string TID3v2Frame::GetUserdefinedURL(std::u16string& Description) const {
  Description.clear();
  const int64_t length = static_cast<int64_t>(fData.size());
  if (!fParsable || length <= 1) return {};
  const auto encoding = static_cast<uint8_t>(fData[0]);
  int64_t descLast = 0, valueStart = 0;
  FindDescriptionEnd(1, encoding, descLast, valueStart);
  Description = DecodeTextRange(1, descLast, encoding);
  if (valueStart >= length) return {};
  return TrimBytes(std::string_view(fData).substr(valueStart));
}

std::string TID3v2Frame::GetURL() const { return fParsable ? fData : std::string(); }

bool TID3v2Frame::GetPicture(std::string& Mime, uint8_t& PicType, std::u16string& Description,
                             TMemoryStream& PictureData) const {
  Mime.clear();
  Description.clear();
  const int64_t length = static_cast<int64_t>(fData.size());
  const int64_t minimum = fVersion == 2 ? 6 : 4;
  if (!fParsable || length <= minimum) {
    PicType = 0;
    return false;
  }
  const auto encoding = static_cast<uint8_t>(fData[0]);
  int64_t descFirst = 0;
  if (fVersion == 2) {
    // PIC: encoding, image format (3), picture type, description, data.
    Mime = fData.substr(1, 3);
    PicType = static_cast<uint8_t>(fData[4]);
    descFirst = 5;
  } else {
    // APIC: encoding, MIME type, 00, picture type, description, data.
    int64_t p = 1;
    while (p < length && fData[p] != '\0') ++p;
    Mime = fData.substr(1, p - 1);
    if (p + 1 >= length) return false;
    PicType = static_cast<uint8_t>(fData[p + 1]);
    descFirst = p + 2;
  }
  int64_t descLast = 0, valueStart = 0;
  FindDescriptionEnd(descFirst, encoding, descLast, valueStart);
  Description = DecodeTextRange(descFirst, descLast, encoding);
  if (valueStart >= length) return false;
  PictureData.Append(std::string_view(fData).substr(valueStart));
  return true;
}

uint8_t TID3v2Frame::GetRating(std::string& UserEMail) const {
  UserEMail.clear();
  if (!fParsable) return 0;
  const size_t zero = fData.find('\0');
  UserEMail = fData.substr(0, zero);
  if (zero == std::string::npos || zero + 1 >= fData.size()) return 0;
  return static_cast<uint8_t>(fData[zero + 1]);
}

uint32_t TID3v2Frame::GetPersonalPlayCounter(std::string& UserEMail) const {
  UserEMail.clear();
  if (!fParsable) return 0;
  const size_t zero = fData.find('\0');
  UserEMail = fData.substr(0, zero);
  // e-mail, 00, rating, then exactly four counter bytes.
  if (zero == std::string::npos || fData.size() != zero + 6) return 0;
  return GetU32BE(fData.data() + zero + 2);
}

bool TID3v2Frame::GetPrivateFrame(std::string& OwnerID, TMemoryStream& Data) const {
  OwnerID.clear();
  if (!fParsable) return false;
  const size_t zero = fData.find('\0');
  OwnerID = fData.substr(0, zero);
  if (zero == std::string::npos || zero + 1 >= fData.size()) return false;
  Data.Append(std::string_view(fData).substr(zero + 1));
  return true;
}

void TID3v2Frame::GetData(TMemoryStream& Data) const { Data.Append(fData); }

int IndexOfFrame(const TID3v2FrameList& frames, std::string_view id) {
  if (id.empty()) return -1;
  for (size_t i = 0; i < frames.size(); ++i)
    if (frames[i]->FrameIDString() == id) return static_cast<int>(i);
  return -1;
}

bool CommentFrameMatches(const TID3v2Frame& frame, std::string_view Language, std::u16string_view Description) {
  std::string language;
  std::u16string description;
  frame.GetCommentsLyrics(language, description);
  const bool languageMatches = Language.empty() || Language == "*" || Language == language;
  const bool descriptionMatches = Description == u"*" || Description == description;
  return languageMatches && descriptionMatches;
}

std::vector<TFrameIDs> AllowedFrameIDs(const TID3v2FrameList& frames, uint8_t version, TFrameIDs first,
                                       TFrameIDs last) {
  std::vector<TFrameIDs> allowed;
  for (int row = first; row <= last && row < kFrameIDCount; ++row) {
    const std::string_view id = IDStringFor(static_cast<TFrameIDs>(row), version);
    if (id.empty() || id[0] == '-') continue;
    if (IndexOfFrame(frames, id) >= 0) continue;
    allowed.push_back(static_cast<TFrameIDs>(row));
  }
  return allowed;
}
