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
#include "EnumList.h"

// Rows of ID3v2FrameTable, in table order.
#define QUAV_FRAME_ID_LIST(X)          \
  X(IDv2_UNKNOWN)                      \
  X(IDv2_TagmillExperimental)          \
  X(IDv2_ARTIST)                       \
  X(IDv2_TITEL)                        \
  X(IDv2_ALBUM)                        \
  X(IDv2_YEAR)                         \
  X(IDv2_GENRE)                        \
  X(IDv2_TRACK)                        \
  X(IDv2_COMPOSER)                     \
  X(IDv2_ORIGINALARTIST)               \
  X(IDv2_COPYRIGHT)                    \
  X(IDv2_ENCODEDBY)                    \
  X(IDv2_LANGUAGES)                    \
  X(IDv2_SOFTWARESETTINGS)             \
  X(IDv2_MEDIATYPE)                    \
  X(IDv2_LENGTH)                       \
  X(IDv2_PUBLISHER)                    \
  X(IDv2_ORIGINALFILENAME)             \
  X(IDv2_ORIGINALLYRICIST)             \
  X(IDv2_ORIGINALRELEASEYEAR)          \
  X(IDv2_ORIGINALALBUMTITEL)           \
  X(IDv2_BPM)                          \
  X(IDv2_PLAYLISTDELAY)                \
  X(IDv2_FILETYPE)                     \
  X(IDv2_INITIALKEY)                   \
  X(IDv2_BANDACCOMPANIMENT)            \
  X(IDv2_CONDUCTORREFINEMENT)          \
  X(IDv2_INTERPRETEDBY)                \
  X(IDv2_PARTOFASET)                   \
  X(IDv2_ISRC)                         \
  X(IDv2_CONTENTGROUPDESCRIPTION)      \
  X(IDv2_SUBTITLEREFINEMENT)           \
  X(IDv2_LYRICIST)                     \
  X(IDv2_FILEOWNER)                    \
  X(IDv2_INTERNETRADIONAME)            \
  X(IDv2_INTERNETRADIOOWNER)           \
  X(IDv2_ENCODINGTIME)                 \
  X(IDv2_RECORDINGTIME)                \
  X(IDv2_RELEASETIME)                  \
  X(IDv2_TAGGINGTIME)                  \
  X(IDv2_MUSICIANCREDITLIST)           \
  X(IDv2_MOOD)                         \
  X(IDv2_PRODUCEDNOTICE)               \
  X(IDv2_ALBUMSORTORDER)               \
  X(IDv2_PERFORMERSORTORDER)           \
  X(IDv2_TITLESORTORDER)               \
  X(IDv2_SETSUBTITLE)                  \
  X(IDv2_USERDEFINEDTEXT)              \
  X(IDv2_AUDIOFILEURL)                 \
  X(IDv2_ARTISTURL)                    \
  X(IDv2_AUDIOSOURCEURL)               \
  X(IDv2_COMMERCIALURL)                \
  X(IDv2_COPYRIGHTURL)                 \
  X(IDv2_PUBLISHERSURL)                \
  X(IDv2_RADIOSTATIONURL)              \
  X(IDv2_PAYMENTURL)                   \
  X(IDv2_PICTURE)                      \
  X(IDv2_LYRICS)                       \
  X(IDv2_COMMENT)                      \
  X(IDv2_RATING)                       \
  X(IDv2_USERDEFINEDURL)               \
  X(IDv2_RECOMMENDEDBUFFERSIZE)        \
  X(IDv2_PLAYCOUNTER)                  \
  X(IDv2_AUDIOENCRYPTION)              \
  X(IDv2_EVENTTIMINGCODES)             \
  X(IDv2_EQUALIZATION)                 \
  X(IDv2_GENERALOBJECT)                \
  X(IDv2_LINKEDINFORMATION)            \
  X(IDv2_MUSICCDID)                    \
  X(IDv2_MPEGLOOKUPTABLE)              \
  X(IDv2_REVERB)                       \
  X(IDv2_VOLUMEADJUSTMENT)             \
  X(IDv2_SYNCHRONIZEDLYRICS)           \
  X(IDv2_SYNCEDTEMPOCODES)             \
  X(IDv2_UNIQUEFILEID)                 \
  X(IDv2_COMMERCIALFRAME)              \
  X(IDv2_ENCRYPTIONMETHODREGISTRATION) \
  X(IDv2_GROUPIDREGISTRATION)          \
  X(IDv2_OWNERSHIP)                    \
  X(IDv2_PRIVATE)                      \
  X(IDv2_POSITIONSYNCHRONISATION)      \
  X(IDv2_TERMSOFUSE)                   \
  X(IDv2_SEEKPOINTINDEX)               \
  X(IDv2_SEEKFRAME)                    \
  X(IDv2_SIGNATURE)                    \
  X(IDv2_INVOLVEDPEOPLE)               \
  X(IDv2_ENCRYPTEDMETAFRAME)           \
  X(IDv2_RECORDINGDATES)               \
  X(IDv2_DATE)                         \
  X(IDv2_TIME)                         \
  X(IDv2_SIZE)

enum TFrameIDs : uint8_t { QUAV_FRAME_ID_LIST(QUAV_ENUM_VALUE) };
inline constexpr int kFrameIDCount = IDv2_SIZE + 1;

// Kinds of frame content, in this order.
#define QUAV_FRAME_TYPE_LIST(X) \
  X(FT_INVALID)                 \
  X(FT_UNKNOWN)                 \
  X(FT_TextFrame)               \
  X(FT_CommentFrame)            \
  X(FT_LyricFrame)              \
  X(FT_UserDefinedURLFrame)     \
  X(FT_PictureFrame)            \
  X(FT_PopularimeterFrame)      \
  X(FT_URLFrame)                \
  X(FT_UserTextFrame)

enum TID3v2FrameTypes : uint8_t { QUAV_FRAME_TYPE_LIST(QUAV_ENUM_VALUE) };

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
  bool GetPicture(std::string& Mime, uint8_t& PicType, std::u16string& Description, TMemoryStream& PictureData) const;
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
  void FindDescriptionEnd(int64_t first, uint8_t encoding, int64_t& descLast, int64_t& valueStart) const;
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
using TID3v2FrameRefs = std::vector<TID3v2Frame*>;                  // not owning

// Helpers for the tag's lookups.

// Index of the first frame whose ID equals id byte for byte; -1 when none
// (and for an empty id).
int IndexOfFrame(const TID3v2FrameList& frames, std::string_view id);

// Comment/lyrics matching: the language matches when the requested one is
// "*" or empty or equals the frame's three language bytes; the description
// when the requested one is u"*" or equals the frame's decoded description.
bool CommentFrameMatches(const TID3v2Frame& frame, std::string_view Language, std::u16string_view Description);

// The rows first..last whose ID for the version does not start with '-'
// and of which `frames` holds no frame yet (GetAllowedTextFrames:
// IDv2_ARTIST..IDv2_SETSUBTITLE; GetAllowedURLFrames:
// IDv2_AUDIOFILEURL..IDv2_PAYMENTURL).
std::vector<TFrameIDs> AllowedFrameIDs(const TID3v2FrameList& frames, uint8_t version, TFrameIDs first, TFrameIDs last);
