// One frame of an ID3v2 tag (major versions 2, 3 and 4), the table of known
// frames and the text decoding of ID3v2 content.
//
// A frame keeps its header and content bytes as read; every value is decoded
// only when a getter asks for it. Getters never fail: content too short for
// its layout, or a frame that cannot be parsed (compressed, encrypted,
// unknown format flags), yields empty values.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "ByteStreams.h"
#include "U_CharCode.h"

// Rows of ID3v2FrameTable, in table order.
enum TFrameIDs : uint8_t {
  IDv2_UNKNOWN,
  IDv2_TagmillExperimental,
  IDv2_ARTIST,
  IDv2_TITEL,
  IDv2_ALBUM,
  IDv2_YEAR,
  IDv2_GENRE,
  IDv2_TRACK,
  IDv2_COMPOSER,
  IDv2_ORIGINALARTIST,
  IDv2_COPYRIGHT,
  IDv2_ENCODEDBY,
  IDv2_LANGUAGES,
  IDv2_SOFTWARESETTINGS,
  IDv2_MEDIATYPE,
  IDv2_LENGTH,
  IDv2_PUBLISHER,
  IDv2_ORIGINALFILENAME,
  IDv2_ORIGINALLYRICIST,
  IDv2_ORIGINALRELEASEYEAR,
  IDv2_ORIGINALALBUMTITEL,
  IDv2_BPM,
  IDv2_PLAYLISTDELAY,
  IDv2_FILETYPE,
  IDv2_INITIALKEY,
  IDv2_BANDACCOMPANIMENT,
  IDv2_CONDUCTORREFINEMENT,
  IDv2_INTERPRETEDBY,
  IDv2_PARTOFASET,
  IDv2_ISRC,
  IDv2_CONTENTGROUPDESCRIPTION,
  IDv2_SUBTITLEREFINEMENT,
  IDv2_LYRICIST,
  IDv2_FILEOWNER,
  IDv2_INTERNETRADIONAME,
  IDv2_INTERNETRADIOOWNER,
  IDv2_ENCODINGTIME,
  IDv2_RECORDINGTIME,
  IDv2_RELEASETIME,
  IDv2_TAGGINGTIME,
  IDv2_MUSICIANCREDITLIST,
  IDv2_MOOD,
  IDv2_PRODUCEDNOTICE,
  IDv2_ALBUMSORTORDER,
  IDv2_PERFORMERSORTORDER,
  IDv2_TITLESORTORDER,
  IDv2_SETSUBTITLE,
  IDv2_USERDEFINEDTEXT,
  IDv2_AUDIOFILEURL,
  IDv2_ARTISTURL,
  IDv2_AUDIOSOURCEURL,
  IDv2_COMMERCIALURL,
  IDv2_COPYRIGHTURL,
  IDv2_PUBLISHERSURL,
  IDv2_RADIOSTATIONURL,
  IDv2_PAYMENTURL,
  IDv2_PICTURE,
  IDv2_LYRICS,
  IDv2_COMMENT,
  IDv2_RATING,
  IDv2_USERDEFINEDURL,
  IDv2_RECOMMENDEDBUFFERSIZE,
  IDv2_PLAYCOUNTER,
  IDv2_AUDIOENCRYPTION,
  IDv2_EVENTTIMINGCODES,
  IDv2_EQUALIZATION,
  IDv2_GENERALOBJECT,
  IDv2_LINKEDINFORMATION,
  IDv2_MUSICCDID,
  IDv2_MPEGLOOKUPTABLE,
  IDv2_REVERB,
  IDv2_VOLUMEADJUSTMENT,
  IDv2_SYNCHRONIZEDLYRICS,
  IDv2_SYNCEDTEMPOCODES,
  IDv2_UNIQUEFILEID,
  IDv2_COMMERCIALFRAME,
  IDv2_ENCRYPTIONMETHODREGISTRATION,
  IDv2_GROUPIDREGISTRATION,
  IDv2_OWNERSHIP,
  IDv2_PRIVATE,
  IDv2_POSITIONSYNCHRONISATION,
  IDv2_TERMSOFUSE,
  IDv2_SEEKPOINTINDEX,
  IDv2_SEEKFRAME,
  IDv2_SIGNATURE,
  IDv2_INVOLVEDPEOPLE,
  IDv2_ENCRYPTEDMETAFRAME,
  IDv2_RECORDINGDATES,
  IDv2_DATE,
  IDv2_TIME,
  IDv2_SIZE,
};
inline constexpr int kFrameIDCount = 91;

// Kinds of frame content, in this order.
enum TID3v2FrameTypes : uint8_t {
  FT_INVALID,
  FT_UNKNOWN,
  FT_TextFrame,
  FT_CommentFrame,
  FT_LyricFrame,
  FT_UserDefinedURLFrame,
  FT_PictureFrame,
  FT_PopularimeterFrame,
  FT_URLFrame,
  FT_UserTextFrame,
};

// One row of the frame table: the frame's ID in major versions 2, 3 and 4
// ("---"/"----" where that version has no such frame) and its description.
struct TID3v2FrameTableRow {
  std::string_view IDs[3];
  std::string_view Description;
};
extern const std::array<TID3v2FrameTableRow, kFrameIDCount> ID3v2FrameTable;

// The ID of a table row for a major version; empty for versions other than
// 2, 3 and 4 (the "---" placeholders are returned as stored).
std::string_view IDStringFor(TFrameIDs frameID, uint8_t version);

// Value names for diagnostics ("IDv2_TITEL", "FT_TextFrame").
const char* FrameIDName(TFrameIDs frameID);
const char* FrameTypeName(TID3v2FrameTypes frameType);

class TID3v2Frame {
 public:
  // An ID that fails IsValidFrameID is stored as "XXX" (version 2) or
  // "XXXX".
  TID3v2Frame(std::string_view aID, uint8_t aVersion);

  // Reads the rest of the header and the content; aStream stands just after
  // the frame ID. Raises EReadError when the content is shorter than the
  // header announces, std::range_error when the announced size is smaller
  // than the group byte and data length indicator it announces. Never
  // allocates more than aStream still holds.
  void ReadFromStream(TStream& aStream);

  TID3v2FrameTypes FrameType() const;
  std::u16string FrameTypeDescription() const;
  const std::string& FrameIDString() const { return fIDString; }
  TFrameIDs FrameID() const;  // looks the ID up once and caches the row
  uint8_t Version() const { return fVersion; }
  bool Parsable() const { return fParsable; }

  bool FlagTagAlterPreservation() const;
  bool FlagFileAlterPreservation() const;
  bool FlagReadOnly() const;
  bool FlagUnknownStatus() const;
  bool FlagCompression() const;
  bool FlagEncryption() const;
  bool FlagGroupingIndentity() const;
  bool FlagUnsynchronisation() const;
  bool FlagDataLengthIndicator() const;
  bool FlagUnknownEncoding() const;

  uint8_t GroupID() const { return fGroupID; }
  void SetGroupID(uint8_t value) { fGroupID = value; }
  // The data length indicator bytes as read (zero when absent).
  const std::array<uint8_t, 4>& DataLength() const { return fDataLength; }
  uint32_t DataSize() const { return static_cast<uint32_t>(fData.size()); }
  const std::string& Header() const { return fHeader; }
  const std::string& Data() const { return fData; }

  bool AlwaysWriteUnicode() const { return fAlwaysWriteUnicode; }
  void SetAlwaysWriteUnicode(bool value) { fAlwaysWriteUnicode = value; }
  const TCodePage& CharCode() const { return fCharCode; }
  void SetCharCode(const TCodePage& value) { fCharCode = value; }
  bool AutoCorrectCodepage() const { return fAutoCorrectCodepage; }
  void SetAutoCorrectCodepage(bool value) { fAutoCorrectCodepage = value; }

  // Content getters.
  std::u16string GetText() const;
  std::u16string GetUserText(std::u16string& Description) const;
  std::u16string GetCommentsLyrics(std::string& Language, std::u16string& Description) const;
  std::string GetUserdefinedURL(std::u16string& Description) const;
  std::string GetURL() const;
  // Appends the picture bytes to PictureData; true when there were any.
  bool GetPicture(std::string& Mime, uint8_t& PicType, std::u16string& Description,
                  TMemoryStream& PictureData) const;
  uint8_t GetRating(std::string& UserEMail) const;
  uint32_t GetPersonalPlayCounter(std::string& UserEMail) const;
  // Appends the bytes behind the owner to Data; true when there were any.
  bool GetPrivateFrame(std::string& OwnerID, TMemoryStream& Data) const;
  // Appends every content byte to Data (also for frames not parsable).
  void GetData(TMemoryStream& Data) const;

  // Text of content bytes first..last (both inclusive, clamped to the
  // content) in the given text encoding, trimmed of characters <= 32.
  std::u16string DecodeTextRange(int64_t first, int64_t last, uint8_t encoding) const;

 private:
  // Where the description that starts at `first` ends (inclusive) and
  // where the value behind its terminator starts.
  void FindDescriptionEnd(int64_t first, uint8_t encoding, int64_t& descLast,
                          int64_t& valueStart) const;
  uint8_t StatusFlags() const;
  uint8_t FormatFlags() const;

  uint8_t fVersion;
  std::string fIDString;
  mutable TFrameIDs fID = IDv2_UNKNOWN;
  std::string fHeader;
  std::string fData;
  uint8_t fGroupID = 0;
  std::array<uint8_t, 4> fDataLength{};
  bool fAlwaysWriteUnicode = false;
  bool fAutoCorrectCodepage = false;
  TCodePage fCharCode;
  bool fParsable = true;
};

using TID3v2FrameList = std::vector<std::unique_ptr<TID3v2Frame>>;  // owning
using TID3v2FrameRefs = std::vector<TID3v2Frame*>;                 // not owning

// Helpers for the tag's lookups.

// Index of the first frame whose ID equals id byte for byte; -1 when none
// (and for an empty id).
int IndexOfFrame(const TID3v2FrameList& frames, std::string_view id);

// Comment/lyrics matching: the language matches when the requested one is
// "*" or empty or equals the frame's three language bytes; the description
// when the requested one is u"*" or equals the frame's decoded description.
bool CommentFrameMatches(const TID3v2Frame& frame, std::string_view Language,
                         std::u16string_view Description);

// The rows first..last whose ID for the version does not start with '-'
// and of which `frames` holds no frame yet (GetAllowedTextFrames:
// IDv2_ARTIST..IDv2_SETSUBTITLE; GetAllowedURLFrames:
// IDv2_AUDIOFILEURL..IDv2_PAYMENTURL).
std::vector<TFrameIDs> AllowedFrameIDs(const TID3v2FrameList& frames, uint8_t version,
                                       TFrameIDs first, TFrameIDs last);
