#include "WmaFiles.h"

#include <algorithm>
#include <array>
#include <string_view>

namespace {

// ASF object identifiers as the 16 bytes stored in the file (the first
// three groups of the usual GUID text are little-endian).
using Guid = std::array<uint8_t, 16>;

// 75B22630-668E-11CF-A6D9-00AA0062CE6C
constexpr Guid kHeaderObject = {0x30, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11,
                                0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};
// 8CABDCA1-A947-11CF-8EE4-00C00C205365
constexpr Guid kFilePropertiesObject = {0xA1, 0xDC, 0xAB, 0x8C, 0x47, 0xA9, 0xCF, 0x11,
                                        0x8E, 0xE4, 0x00, 0xC0, 0x0C, 0x20, 0x53, 0x65};
// B7DC0791-A9B7-11CF-8EE6-00C00C205365
constexpr Guid kStreamPropertiesObject = {0x91, 0x07, 0xDC, 0xB7, 0xB7, 0xA9, 0xCF, 0x11,
                                          0x8E, 0xE6, 0x00, 0xC0, 0x0C, 0x20, 0x53, 0x65};
// 75B22633-668E-11CF-A6D9-00AA0062CE6C
constexpr Guid kContentDescriptionObject = {0x33, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11,
                                            0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};
// D2D0A440-E307-11D2-97F0-00A0C95EA850
constexpr Guid kExtendedContentDescriptionObject = {0x40, 0xA4, 0xD0, 0xD2, 0x07, 0xE3, 0xD2, 0x11,
                                                    0x97, 0xF0, 0x00, 0xA0, 0xC9, 0x5E, 0xA8, 0x50};

// Header object: identifier, 64-bit size, 32-bit object count, 2 reserved.
constexpr int64_t kHeaderObjectHeadSize = 30;

// Longest text kept from one field, in UTF-16 code units.
constexpr uint32_t kMaxTextChars = 250;

// Extended content descriptor value types that carry a tag value.
constexpr uint16_t kValueUnicodeString = 0;
constexpr uint16_t kValueDword = 3;

using TagSlot = std::u16string TWMAfile::TagData::*;

struct DescriptorSlot {
  std::u16string_view name;  // upper case
  TagSlot slot;
};
constexpr std::array<DescriptorSlot, 8> kDescriptorSlots = {{
    {u"WM/TITLE", &TWMAfile::TagData::Title},
    {u"WM/AUTHOR", &TWMAfile::TagData::Artist},
    {u"WM/ALBUMTITLE", &TWMAfile::TagData::Album},
    {u"WM/TRACK", &TWMAfile::TagData::Track},
    {u"WM/YEAR", &TWMAfile::TagData::Year},
    {u"WM/GENRE", &TWMAfile::TagData::Genre},
    {u"WM/DESCRIPTION", &TWMAfile::TagData::Description},
    {u"WM/TRACKNUMBER", &TWMAfile::TagData::TrackNumber},
}};

constexpr std::array<const char16_t*, 3> kChannelModes = {u"Unknown", u"Mono", u"Stereo"};

Guid ReadGuid(TStream& stream) {
  Guid id;
  stream.ReadBuffer(id.data(), static_cast<int64_t>(id.size()));
  return id;
}

// A text field of byteLength bytes: up to 250 UTF-16LE code units are kept
// (NULs included), the rest of the field is skipped.
std::u16string ReadText(TStream& stream, uint32_t byteLength) {
  const uint32_t chars = std::min(byteLength / 2, kMaxTextChars);
  const std::string raw = stream.ReadBytes(int64_t{chars} * 2);
  std::u16string text(chars, u'\0');
  for (uint32_t k = 0; k < chars; ++k) text[k] = static_cast<char16_t>(GetU16LE(raw.data() + 2 * k));
  stream.Skip(byteLength - int64_t{chars} * 2);
  return text;
}

// The handlers start right after the low half of the object size (offset
// 20 in the object), so each first skips the high half.

// File properties object; the maximum bitrate lies at offset 100:
//   24 file ID(16) | 40 file size(8) | 48 creation date(8) | 56 packets(8)
//   64 play duration(8) | 72 send duration(8) | 80 preroll(8) | 88 flags(4)
//   92 min packet size(4) | 96 max packet size(4) | 100 max bitrate(4)
void ReadFileProperties(TStream& stream, TWMAfile::FileData& data) {
  stream.Skip(80);
  data.MaxBitRate = stream.ReadI32LE();
}

// Stream properties object; the wave format starts at offset 78:
//   24 stream type(16) | 40 error correction type(16) | 56 time offset(8)
//   64 type data length(4) | 68 error data length(4) | 72 flags(2)
//   74 reserved(4) | 78 format tag(2) | 80 channels(2) | 82 rate(4)
//   86 average bytes per second(4)
// Every stream properties object is read this way; the last one wins.
void ReadStreamProperties(TStream& stream, TWMAfile::FileData& data) {
  stream.Skip(60);
  data.Channels = stream.ReadU16LE();
  data.SampleRate = stream.ReadU32LE();
  data.ByteRate = stream.ReadU32LE();
}

// Content description object: five 16-bit lengths (title, author,
// copyright, description, rating), then the texts whose length is not 0.
void ReadContentDescription(TStream& stream, TWMAfile::FileData& data) {
  // Copyright and rating are read and dropped.
  constexpr std::array<TagSlot, 5> kSlots = {&TWMAfile::TagData::Title, &TWMAfile::TagData::Artist, nullptr,
                                             &TWMAfile::TagData::Description, nullptr};
  stream.Skip(4);
  std::array<uint16_t, 5> lengths;
  for (uint16_t& length : lengths) length = stream.ReadU16LE();
  for (size_t k = 0; k < lengths.size(); ++k) {
    if (lengths[k] == 0) continue;
    std::u16string text = ReadText(stream, lengths[k]);
    if (kSlots[k]) data.Tag.*kSlots[k] = std::move(text);
  }
}

// Extended content description object: a 16-bit descriptor count, then per
// descriptor name length, name, value type, value length and value.
void ReadExtendedContentDescription(TStream& stream, TWMAfile::FileData& data) {
  stream.Skip(4);
  const uint16_t count = stream.ReadU16LE();
  for (uint32_t i = 0; i < count; ++i) {
    const uint16_t nameLength = stream.ReadU16LE();
    const std::u16string name = ReadText(stream, nameLength);
    const uint16_t valueType = stream.ReadU16LE();
    const uint16_t valueLength = stream.ReadU16LE();
    std::u16string value;
    if (valueType == kValueUnicodeString) {
      value = ReadText(stream, valueLength);
    } else if (valueType == kValueDword) {
      // Always four bytes, whatever the stated length.
      value = IntToStr(stream.ReadU32LE());
    } else {
      stream.Skip(valueLength);
      continue;
    }
    const std::u16string key = UpperCase(Trim(name));
    for (const DescriptorSlot& entry : kDescriptorSlots)
      if (key == entry.name) data.Tag.*entry.slot = value;
  }
}

// Walks the objects of the header object at the start of the stream, as
// many as its count says. Only an intact header object (its size within the
// file and at least its own head) bounds the walk: a count larger than the
// objects present then ends at the header's end. A header whose size is
// implausible or reaches past the end of the file is walked by its count,
// so a file cut inside it raises EReadError when a read passes the end. An
// object of size 0 ends the walk, since it would only be read again.
void ReadHeaderObjects(TStream& stream, TWMAfile::FileData& data) {
  if (ReadGuid(stream) != kHeaderObject) return;
  const uint64_t headerSize = stream.ReadU64LE();
  const int32_t count = stream.ReadI32LE();
  stream.Skip(2);
  const bool intact =
      headerSize >= static_cast<uint64_t>(kHeaderObjectHeadSize) && headerSize <= static_cast<uint64_t>(stream.Size());
  for (int32_t i = 0; i < count; ++i) {
    const int64_t start = stream.Position();
    if (intact && start >= static_cast<int64_t>(headerSize)) break;
    const Guid id = ReadGuid(stream);
    const uint32_t size = stream.ReadU32LE();  // the low half; objects in a header are small
    if (id == kFilePropertiesObject) {
      ReadFileProperties(stream, data);
    } else if (id == kStreamPropertiesObject) {
      ReadStreamProperties(stream, data);
    } else if (id == kContentDescriptionObject) {
      ReadContentDescription(stream, data);
    } else if (id == kExtendedContentDescriptionObject) {
      ReadExtendedContentDescription(stream, data);
    }
    if (size == 0) break;
    stream.Seek(start + size);
  }
}

}  // namespace

TWMAfile::TWMAfile() { Reset(); }

void TWMAfile::Reset() {
  fValid = false;
  fFileSize = 0;
  fChannelModeID = 0;
  fChannels = 0;
  fSamplerate = 0;
  fDuration = 0;
  fBitrate = 0;
  fTitle.clear();
  fArtist.clear();
  fAlbum.clear();
  fYear.clear();
  fGenre.clear();
  fComment.clear();
  fTrack = u"0";
}

std::u16string TWMAfile::ChannelMode() const {
  return fChannelModeID < kChannelModes.size() ? kChannelModes[fChannelModeID] : kChannelModes[0];
}

void TWMAfile::ResetForRead() { Reset(); }

TAudioError TWMAfile::ReadFromStream(TStream& stream) {
  FileData data;
  fFileSize = stream.Size();
  ReadHeaderObjects(stream, data);

  fValid = true;
  fChannelModeID = (data.Channels == 1 || data.Channels == 2) ? static_cast<uint8_t>(data.Channels) : 0;
  fSamplerate = Int32OrZero(data.SampleRate);
  fDuration = data.MaxBitRate > 0 ? RoundToInt32(static_cast<double>(fFileSize) * 8 / data.MaxBitRate) : 0;
  fBitrate = Int32OrZero(uint64_t{data.ByteRate} * 8);

  const TagData& tag = data.Tag;
  fTitle = Trim(tag.Title);
  fArtist = Trim(tag.Artist);
  fAlbum = Trim(tag.Album);
  fYear = Trim(tag.Year);
  fGenre = Trim(tag.Genre);
  fComment = Trim(tag.Description);
  fTrack = Trim(tag.TrackNumber);
  if (fTrack.empty()) fTrack = Trim(tag.Track);
  return FileErr_None;
}
