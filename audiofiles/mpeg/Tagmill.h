// ID3v1 and ID3v2 tags, the MPEG frame analysis and the genre list: the
// parts of an MPEG audio file that the MP3 reader combines.
//
// Everything here only reads. Sizes taken from a file are checked against
// the bytes the stream still holds before anything is allocated.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "ByteStreams.h"
#include "ID3v2Frames.h"
#include "U_CharCode.h"
#include "EnumList.h"

// Result of the MPEG and ID3 operations. Stored in one byte; the order is
// part of the interface (the MP3 reader maps it to TAudioError).
#define QUAV_MP3_ERROR_LIST(X) \
  X(MP3ERR_None)               \
  X(MP3ERR_NoFile)             \
  X(MP3ERR_FOpenCrt)           \
  X(MP3ERR_FOpenR)             \
  X(MP3ERR_FOpenRW)            \
  X(MP3ERR_FOpenW)             \
  X(MP3ERR_SRead)              \
  X(MP3ERR_SWrite)             \
  X(ID3ERR_Cache)              \
  X(ID3ERR_NoTag)              \
  X(ID3ERR_Invalid_Header)     \
  X(ID3ERR_Compression)        \
  X(ID3ERR_Unclassified)       \
  X(MPEGERR_NoFrame)

enum TMP3Error : uint8_t { QUAV_MP3_ERROR_LIST(QUAV_ENUM_VALUE) };

// The value's name as spelled above ("MP3ERR_None", ...); "?" otherwise.
const char* MP3ErrorName(TMP3Error error);

// ---------------------------------------------------------------------------
// MPEG stream information
//
// Finds the first MPEG audio frame from the stream's position on and derives
// the stream's technical data from it, from a Xing or VBRI header when the
// frame holds one. A frame counts only when the next frame header follows at
// the computed distance and the frame after that starts with a sync word, or
// when it carries a VBRI header.
class TMpegInfo {
 public:
  TMpegInfo() = default;

  // MP3ERR_None when a frame was accepted, MPEGERR_NoFrame otherwise. The
  // stream position afterwards is unspecified.
  TMP3Error LoadFromStream(TStream& stream);
  // MP3ERR_NoFile, MP3ERR_FOpenR (cannot open or read), or the result of
  // LoadFromStream from position 0.
  TMP3Error LoadFromFile(const std::string& FileName);

  int64_t Filesize() const { return FFilesize; }
  int32_t Version() const { return Fversion; }  // 1 MPEG-1, 2 MPEG-2, 3 MPEG-2.5
  int32_t Layer() const { return Flayer; }
  bool Protection() const { return Fprotection; }
  uint16_t Bitrate() const { return Fbitrate; }  // kbit/s
  int32_t Samplerate() const { return Fsamplerate; }
  uint8_t Channelmode() const { return Fchannelmode; }  // 3 = mono
  uint8_t Extension() const { return Fextension; }
  bool Copyright() const { return Fcopyright; }
  bool Original() const { return Foriginal; }
  uint8_t Emphasis() const { return Femphasis; }
  int32_t Frames() const { return Fframes; }
  int32_t Dauer() const { return Fdauer; }  // whole seconds
  int32_t Duration() const { return Fdauer; }
  bool Vbr() const { return Fvbr; }
  bool Valid() const { return Fvalid; }
  int64_t FirstHeaderPosition() const { return FfirstHeaderPosition; }

 private:
  int64_t FFilesize = 0;
  int32_t Fversion = 0;
  int32_t Flayer = 0;
  bool Fprotection = false;
  uint16_t Fbitrate = 0;
  int32_t Fsamplerate = 0;
  uint8_t Fchannelmode = 0;
  uint8_t Fextension = 0;
  bool Fcopyright = false;
  bool Foriginal = false;
  uint8_t Femphasis = 0;
  int32_t Fframes = 0;
  int32_t Fdauer = 0;
  bool Fvbr = false;
  bool Fvalid = false;
  int64_t FfirstHeaderPosition = 0;
};

// One decoded 4-byte MPEG frame header (exposed for the tests).
struct TMpegFrameHeader {
  int32_t version = 0;  // 0 = reserved
  int32_t layer = 0;    // 4 = reserved
  bool protection = false;
  int32_t bitrate = 0;  // kbit/s, 0 = free format
  int32_t samplerate = 0;
  uint8_t channelmode = 0;
  uint8_t extension = 0;
  bool copyright = false;
  bool original = false;
  uint8_t emphasis = 0;
  uint8_t padding = 0;
  uint16_t framelength = 0;  // 0xFFFF when it cannot be computed
  bool valid = false;
};
TMpegFrameHeader DecodeMpegFrameHeader(const uint8_t bytes[4]);

// ---------------------------------------------------------------------------
// Genre list shared by both ID3 versions: the 80 classic ID3v1 genres and
// the 68 later extensions, indexed from 0.
inline constexpr size_t kID3GenreCount = 148;
extern const std::array<std::u16string_view, kID3GenreCount> ID3Genres;
// Case-insensitive (ASCII) lookup; -1 when the name is not in the list.
int32_t ID3GenreIndex(std::u16string_view name);

// ---------------------------------------------------------------------------
// ID3v1 tag: the 128-byte block at the very end of a file.
//
//   0 "TAG" | 3 title[30] | 33 artist[30] | 63 album[30] | 93 year[4] |
//   97 comment[30] (v1.0) or comment[28] 0x00 track (v1.1) | 127 genre
class TID3v1Tag {
 public:
  TID3v1Tag() { Clear(); }

  void Clear();
  // MP3ERR_None, ID3ERR_NoTag, MP3ERR_SRead (fewer than 128 bytes) or
  // ID3ERR_Unclassified. Every failure leaves the tag cleared.
  TMP3Error ReadFromStream(TStream& stream);
  // MP3ERR_NoFile, MP3ERR_FOpenR, or the result of ReadFromStream.
  TMP3Error ReadFromFile(const std::string& aFilename);

  bool Exists() const { return FExists; }
  bool TagExists() const { return FExists; }
  uint8_t Version() const { return FVersion; }  // 0 = v1.0, 1 = v1.1
  std::u16string Title() const { return DecodeField(FTitle); }
  std::u16string Artist() const { return DecodeField(FArtist); }
  std::u16string Album() const { return DecodeField(FAlbum); }
  std::u16string Comment() const { return DecodeField(FComment); }
  std::u16string Genre() const;
  std::u16string Track() const;
  const std::string& Year() const { return FYear; }  // the four raw bytes
  uint8_t GenreIndex() const { return FGenre; }

  // Settings: decode text with CharCode's page instead of the system's.
  const TCodePage& CharCode() const { return FCharCode; }
  void SetCharCode(const TCodePage& value) { FCharCode = value; }
  bool AutoCorrectCodepage() const { return fAutoCorrectCodepage; }
  void SetAutoCorrectCodepage(bool value) { fAutoCorrectCodepage = value; }

 private:
  std::u16string DecodeField(const std::string& field) const;

  std::string FTitle, FArtist, FAlbum, FComment;
  uint8_t FTrack = 0;
  std::string FYear;
  uint8_t FGenre = 0;
  bool FExists = false;
  uint8_t FVersion = 0;
  bool fAutoCorrectCodepage = false;
  TCodePage FCharCode;
};

// ---------------------------------------------------------------------------
// ID3v2 tag (major versions 2, 3 and 4) at the start of a stream.
//
//   header: "ID3" | major | minor | flags | size (4 bytes, 7 bits each)
//   [extended header] frames... [padding] [footer, 2.4 only]

struct TID3Version {
  uint8_t Major = 3;
  uint8_t Minor = 0;
};

// A genre text with a reference such as "(17)" or "(17)Rock" becomes the
// referenced name of ID3Genres; other text is returned unchanged.
std::u16string ResolveGenre(std::u16string_view text);

class TID3v2Tag {
 public:
  TID3v2Tag() { Clear(); }
  TID3v2Tag(const TID3v2Tag&) = delete;
  TID3v2Tag& operator=(const TID3v2Tag&) = delete;

  // Frees the frames and resets header data; the code-page settings, the
  // writing setting AlwaysWriteUnicode and Filename stay.
  void Clear();
  // MP3ERR_None, ID3ERR_NoTag, ID3ERR_Invalid_Header, ID3ERR_Compression,
  // MP3ERR_SRead or ID3ERR_Unclassified. A tag body that the stream cannot
  // supply in full (a size beyond the end, not unsynchronised) raises
  // EReadError to the caller; frames read before any failure stay.
  TMP3Error ReadFromStream(TStream& Stream);
  // MP3ERR_NoFile, MP3ERR_FOpenR (cannot open, or the stream ran short of
  // the tag body), or the result of ReadFromStream. Never raises.
  TMP3Error ReadFromFile(const std::string& Filename);

  // Text of the first frame with the row's ID for this tag's version.
  std::u16string GetText(TFrameIDs FrameID) const;
  std::u16string Title() const { return GetText(IDv2_TITEL); }
  std::u16string Artist() const { return GetText(IDv2_ARTIST); }
  std::u16string Album() const { return GetText(IDv2_ALBUM); }
  std::u16string Year() const { return GetText(IDv2_YEAR); }
  std::u16string Track() const { return GetText(IDv2_TRACK); }
  std::u16string Genre() const { return ResolveGenre(GetText(IDv2_GENRE)); }
  std::u16string Composer() const { return GetText(IDv2_COMPOSER); }
  std::u16string OriginalArtist() const { return GetText(IDv2_ORIGINALARTIST); }
  std::u16string Copyright() const { return GetText(IDv2_COPYRIGHT); }
  std::u16string EncodedBy() const { return GetText(IDv2_ENCODEDBY); }
  std::u16string Languages() const { return GetText(IDv2_LANGUAGES); }
  std::u16string SoftwareSettings() const { return GetText(IDv2_SOFTWARESETTINGS); }
  std::u16string Mediatype() const { return GetText(IDv2_MEDIATYPE); }
  std::u16string id3Length() const { return GetText(IDv2_LENGTH); }
  std::u16string Publisher() const { return GetText(IDv2_PUBLISHER); }
  std::u16string OriginalFilename() const { return GetText(IDv2_ORIGINALFILENAME); }
  std::u16string OriginalLyricist() const { return GetText(IDv2_ORIGINALLYRICIST); }
  std::u16string OriginalReleaseYear() const { return GetText(IDv2_ORIGINALRELEASEYEAR); }
  std::u16string OriginalAlbumTitel() const { return GetText(IDv2_ORIGINALALBUMTITEL); }

  // The first comment (lyrics) frame with an empty description.
  std::u16string Comment() const { return GetExtendedComment("*", u""); }
  std::u16string Lyrics() const { return GetLyrics("*", u""); }
  // Language "*" or "" matches every language, Description u"*" every
  // description; otherwise both must be equal exactly.
  std::u16string GetExtendedComment(std::string_view Language, std::u16string_view Description) const;
  std::u16string GetLyrics(std::string_view Language, std::u16string_view Description) const;
  std::u16string GetUserText(std::u16string_view Description) const;
  std::string GetUserDefinedURL(std::u16string_view Description) const;
  std::string URL() const { return GetUserDefinedURL(u""); }
  std::string GetURL(TFrameIDs FrameID) const;
  // Mime type of the first picture whose description equals Description
  // (any picture for u"*"); its bytes are appended to stream. Empty if none.
  std::string GetPicture(TMemoryStream& stream, std::u16string_view Description) const;
  // Of the first POPM frame with that e-mail ("*": the first at all); 0 if none.
  uint8_t GetRating(std::string_view aEMail) const;
  uint32_t GetPersonalPlayCounter(std::string_view aEMail) const;
  uint8_t Rating() const { return GetRating("*"); }
  uint32_t PlayCounter() const { return GetPersonalPlayCounter("*"); }
  // True when the first PRIV frame of that owner has data (appended to Content).
  bool GetPrivateFrame(std::string_view aOwnerID, TMemoryStream& Content) const;

  // Frame selections in file order; the lists do not own the frames.
  TID3v2FrameRefs GetAllFrames() const;
  TID3v2FrameRefs GetAllTextFrames() const;
  TID3v2FrameRefs GetAllUserTextFrames() const;
  TID3v2FrameRefs GetAllCommentFrames() const;
  TID3v2FrameRefs GetAllLyricFrames() const;
  TID3v2FrameRefs GetAllUserDefinedURLFrames() const;
  TID3v2FrameRefs GetAllPictureFrames() const;
  TID3v2FrameRefs GetAllPopularimeterFrames() const;
  TID3v2FrameRefs GetAllURLFrames() const;
  TID3v2FrameRefs GetAllPrivateFrames() const;
  void GetAllFrames(TID3v2FrameRefs& aList) const { aList = GetAllFrames(); }
  void GetAllTextFrames(TID3v2FrameRefs& aList) const { aList = GetAllTextFrames(); }
  void GetAllUserTextFrames(TID3v2FrameRefs& aList) const { aList = GetAllUserTextFrames(); }
  void GetAllCommentFrames(TID3v2FrameRefs& aList) const { aList = GetAllCommentFrames(); }
  void GetAllLyricFrames(TID3v2FrameRefs& aList) const { aList = GetAllLyricFrames(); }
  void GetAllUserDefinedURLFrames(TID3v2FrameRefs& aList) const { aList = GetAllUserDefinedURLFrames(); }
  void GetAllPictureFrames(TID3v2FrameRefs& aList) const { aList = GetAllPictureFrames(); }
  void GetAllPopularimeterFrames(TID3v2FrameRefs& aList) const { aList = GetAllPopularimeterFrames(); }
  void GetAllURLFrames(TID3v2FrameRefs& aList) const { aList = GetAllURLFrames(); }
  void GetAllPrivateFrames(TID3v2FrameRefs& aList) const { aList = GetAllPrivateFrames(); }

  // Checks for an editor: true when no frame of that kind matches yet.
  bool ValidNewCommentFrame(std::string_view Language, std::u16string_view Description) const;
  bool ValidNewLyricFrame(std::string_view Language, std::u16string_view Description) const;
  bool ValidNewPictureFrame(std::u16string_view Description) const;
  bool ValidNewUserDefUrlFrame(std::u16string_view Description) const;
  bool ValidNewPopularimeterFrame(std::string_view EMail) const;
  // Text (URL) rows this version knows of which the tag has no frame yet.
  std::vector<TFrameIDs> GetAllowedTextFrames() const;
  std::vector<TFrameIDs> GetAllowedURLFrames() const;

  const TID3v2FrameList& Frames() const { return fFrames; }

  bool FlgUnsynch() const { return fFlgUnsynch; }
  void SetFlgUnsynch(bool value) { fFlgUnsynch = value; }
  bool FlgCompression() const { return fFlgCompression; }
  bool FlgExtended() const { return fFlgExtended; }
  bool FlgExperimental() const { return fFlgExperimental; }
  bool FlgFooterPresent() const { return fFlgFooterPresent; }
  bool FlgUnknown() const { return fFlgUnknown; }
  uint32_t Size() const { return fTagSize; }  // in the file, header and footer included
  bool Exists() const { return fExists; }
  bool TagExists() const { return fExists; }
  uint32_t Padding() const { return fPaddingSize; }
  uint32_t PaddingSize() const { return fPaddingSize; }
  TID3Version Version() const { return fVersion; }
  const std::string& Filename() const { return fFilename; }

  bool UsePadding() const { return fUsePadding; }
  void SetUsePadding(bool value) { fUsePadding = value; }
  bool UseClusteredPadding() const { return fUseClusteredPadding; }
  void SetUseClusteredPadding(bool value) { fUseClusteredPadding = value; }
  bool AlwaysWriteUnicode() const { return fAlwaysWriteUnicode; }
  void SetAlwaysWriteUnicode(bool value) { fAlwaysWriteUnicode = value; }
  // These two setters also update every frame present.
  const TCodePage& CharCode() const { return fCharCode; }
  void SetCharCode(const TCodePage& value);
  bool AutoCorrectCodepage() const { return fAutoCorrectCodepage; }
  void SetAutoCorrectCodepage(bool value);

 private:
  TMP3Error ReadHeader(TStream& Stream);
  TMP3Error ReadFrames(TStream& body);
  // The first frame with the row's ID for this version; nullptr if none.
  const TID3v2Frame* FindFrame(TFrameIDs FrameID) const;
  TID3v2FrameRefs FramesWithID(TFrameIDs FrameID) const;
  TID3v2FrameRefs FramesOfType(TID3v2FrameTypes type) const;
  const TID3v2Frame* FindCommentFrame(TFrameIDs FrameID, std::string_view Language,
                                      std::u16string_view Description) const;
  const TID3v2Frame* FindPictureFrame(std::u16string_view Description) const;
  const TID3v2Frame* FindPopularimeterFrame(std::string_view aEMail) const;
  const TID3v2Frame* FindUserDefinedURLFrame(std::u16string_view Description) const;

  TID3v2FrameList fFrames;
  bool fExists = false;
  TID3Version fVersion;
  bool fFlgUnsynch = false;
  bool fFlgCompression = false;
  bool fFlgExtended = false;
  bool fFlgExperimental = false;
  bool fFlgFooterPresent = false;
  bool fFlgUnknown = false;
  uint32_t fPaddingSize = 0;
  uint32_t fTagSize = 0;
  uint32_t fDataSize = 0;
  bool fUsePadding = true;
  bool fUseClusteredPadding = true;
  std::string fFilename;
  bool fAlwaysWriteUnicode = false;
  bool fAutoCorrectCodepage = false;
  TCodePage fCharCode;
};
