// The Vorbis comment block: the tag of Ogg Vorbis files (second header
// packet) and of FLAC files (metadata block type 4). An ordered list of
// NAME=value comments plus the encoder's vendor string.
//
// Block layout, integers 32-bit little-endian, used as signed values:
//
//   [1  packet type, 3]        } Ogg only (SkipHeader false)
//   [6  "vorbis"]              }
//   4   vendor length V, then V bytes of UTF-8
//   4   comment count N
//   N x (4 length L, then L bytes of UTF-8 "NAME=value")
//   [1  framing byte, 1]         Ogg only
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "ByteStreams.h"

// The packet header in front of an Ogg comment packet, as read.
struct TVorbisHeader {
  uint8_t PacketType = 0;
  char ID[6] = {'1', '2', '3', '4', '5', '6'};
};

// One comment: the text before the first '=' is the name, the rest (further
// '=' included) the value. A comment without '=' has an empty name and the
// whole text as value.
class TCommentVector {
 public:
  // The name is held as 8-bit text; names outside ASCII are kept as their
  // UTF-8 bytes, so nothing is lost in the round trip to UTF-16.
  std::u16string FieldName() const;
  void SetFieldName(const std::u16string& value);
  const std::u16string& Value() const { return fValue; }
  void SetValue(const std::u16string& value) { fValue = value; }

  // Splits decoded comment text (UTF-8, malformed sequences become U+FFFD)
  // into name and value. True when the text held a '='.
  bool SetFromText(std::string_view utf8);
  // Reads one length-prefixed comment; raises EReadError when the stream
  // holds fewer bytes than the length promises. True when it held a '='.
  bool ReadFromStream(TStream& Source);

 private:
  std::string fFieldName;
  std::u16string fValue;
};

class TVorbisComments {
 public:
  // Real blocks hold a few dozen comments; a count beyond this is treated
  // like a block that ends early.
  static constexpr int32_t kMaxComments = 1 << 16;

  TVorbisComments() = default;
  TVorbisComments(const TVorbisComments&) = delete;
  TVorbisComments& operator=(const TVorbisComments&) = delete;

  void Clear();

  // Reads one block from the stream's position P. `Size` is the number of
  // bytes the block occupies from P; it decides only where the stream is
  // left: on return it stands at P + Size (when Size >= 0), wherever the
  // parse ended. The parse itself follows the block's own lengths and
  // count, also past P + Size, and reads the framing byte where it ended;
  // only the end of the stream stops it early. With `SkipHeader` the block
  // has no packet header and no framing byte (FLAC). Returns
  // ValidComment(): the header matched, every promised comment was there
  // and, with a header, the framing byte is 1. A block cut by the end of
  // the stream keeps the comments read before it. Never raises for the
  // block's content.
  bool ReadFromStream(TStream& Source, int64_t Size, bool SkipHeader);

  bool ValidComment() const { return fValidComment; }
  const std::string& VendorString() const { return fVendorString; }
  const TVorbisHeader& Header() const { return fHeader; }
  int32_t Count() const { return static_cast<int32_t>(fCommentVectorList.size()); }

  // First comment whose name equals aField, ignoring ASCII case.
  std::u16string GetPropertyByFieldname(std::u16string_view aField) const;
  // Value at a 0-based index in stream order; empty outside the list.
  std::u16string GetPropertyByIndex(int32_t aIndex) const;
  // Names of all comments in stream order, duplicates and empty names too.
  void GetAllFields(std::vector<std::u16string>& Target) const;

  // Changes the first comment of that name, or appends one. Memory only.
  void SetPropertyByFieldname(std::u16string_view aField, const std::u16string& aValue);
  void SetPropertyByIndex(int32_t aIndex, const std::u16string& aValue);
  // Bytes the block takes when written with packet header and framing byte.
  int64_t GetSizeInStream() const;

  std::u16string Title() const { return GetPropertyByFieldname(u"title"); }
  std::u16string Version() const { return GetPropertyByFieldname(u"version"); }
  std::u16string Album() const { return GetPropertyByFieldname(u"album"); }
  std::u16string TrackNumber() const { return GetPropertyByFieldname(u"tracknumber"); }
  std::u16string Artist() const { return GetPropertyByFieldname(u"artist"); }
  std::u16string Performer() const { return GetPropertyByFieldname(u"performer"); }
  std::u16string Copyright() const { return GetPropertyByFieldname(u"copyright"); }
  std::u16string License() const { return GetPropertyByFieldname(u"license"); }
  std::u16string Organization() const { return GetPropertyByFieldname(u"organization"); }
  std::u16string Description() const { return GetPropertyByFieldname(u"description"); }
  std::u16string Genre() const { return GetPropertyByFieldname(u"genre"); }
  // "date", or "year" when "date" is missing or empty.
  std::u16string Date() const;
  std::u16string Location() const { return GetPropertyByFieldname(u"location"); }
  std::u16string Contact() const { return GetPropertyByFieldname(u"contact"); }
  std::u16string ISRC() const { return GetPropertyByFieldname(u"isrc"); }

  void SetTitle(const std::u16string& v) { SetPropertyByFieldname(u"title", v); }
  void SetVersion(const std::u16string& v) { SetPropertyByFieldname(u"version", v); }
  void SetAlbum(const std::u16string& v) { SetPropertyByFieldname(u"album", v); }
  void SetTrackNumber(const std::u16string& v) { SetPropertyByFieldname(u"tracknumber", v); }
  void SetArtist(const std::u16string& v) { SetPropertyByFieldname(u"artist", v); }
  void SetPerformer(const std::u16string& v) { SetPropertyByFieldname(u"performer", v); }
  void SetCopyright(const std::u16string& v) { SetPropertyByFieldname(u"copyright", v); }
  void SetLicense(const std::u16string& v) { SetPropertyByFieldname(u"license", v); }
  void SetOrganization(const std::u16string& v) { SetPropertyByFieldname(u"organization", v); }
  void SetDescription(const std::u16string& v) { SetPropertyByFieldname(u"description", v); }
  void SetGenre(const std::u16string& v) { SetPropertyByFieldname(u"genre", v); }
  void SetDate(const std::u16string& v) { SetPropertyByFieldname(u"date", v); }
  void SetLocation(const std::u16string& v) { SetPropertyByFieldname(u"location", v); }
  void SetContact(const std::u16string& v) { SetPropertyByFieldname(u"contact", v); }
  void SetISRC(const std::u16string& v) { SetPropertyByFieldname(u"isrc", v); }

 private:
  const TCommentVector* Find(std::u16string_view aField) const;

  TVorbisHeader fHeader;
  std::string fVendorString;
  std::vector<std::unique_ptr<TCommentVector>> fCommentVectorList;
  bool fValidComment = false;
};
