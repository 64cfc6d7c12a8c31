// One item of an APEv2 (or APEv1) tag: a key, flags and a value that is
// either UTF-8 text or raw bytes (pictures among them).
//
// Layout, integers little-endian:
//
//   0      4   value size V (signed 32-bit)
//   4      4   flags: bit 0 read-only, bits 1-2 content type
//   8      K+1 key: K bytes 0x20..0x7E, then 0x00 (K <= 255 when reading)
//   9+K    V   value
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "ByteStreams.h"
#include "EnumList.h"

#define QUAV_APE_CONTENT_TYPE_LIST(X)                                  \
  X(ctText)     /* UTF-8 text */                                       \
  X(ctBinary)   /* raw bytes; pictures are "description 0x00 image" */ \
  X(ctExternal) /* a locator, UTF-8 text */                            \
  X(ctreserved) /* kept like text, shown as binary */

enum TApeTagItemContentType : uint8_t { QUAV_APE_CONTENT_TYPE_LIST(QUAV_ENUM_VALUE) };

// The value's name as spelled above ("ctText", ...); "?" otherwise.
const char* ContentTypeName(TApeTagItemContentType type);

enum TApePictureTypes : uint8_t {
  apt_Arbitrary,
  apt_Other,
  apt_Icon,
  apt_OtherIcon,
  apt_Front,
  apt_Back,
  apt_Leaflet,
  apt_Media,
  apt_Lead,
  apt_Artist,
  apt_Conductor,
  apt_Band,
  apt_Composer,
  apt_Lyricist,
  apt_Studio,
  apt_Recording,
  apt_Performance,
  apt_MovieScene,
  apt_ColoredFish,
  apt_Illustration,
  apt_BandLogo,
  apt_PublisherLogo,
};

// Item key of each picture type; apt_Arbitrary has the empty key, which the
// tag's lookups take as "any key beginning with Cover Art".
inline constexpr std::array<std::string_view, apt_PublisherLogo + 1> cApePictureKeys = {
    "",
    "Cover Art (other)",
    "Cover Art (icon)",
    "Cover Art (other icon)",
    "Cover Art (front)",
    "Cover Art (back)",
    "Cover Art (leaflet)",
    "Cover Art (media)",
    "Cover Art (lead)",
    "Cover Art (artist)",
    "Cover Art (conductor)",
    "Cover Art (band)",
    "Cover Art (composer)",
    "Cover Art (lyricist)",
    "Cover Art (studio)",
    "Cover Art (recording)",
    "Cover Art (performance)",
    "Cover Art (movie scene)",
    "Cover Art (colored fish)",
    "Cover Art (illustration)",
    "Cover Art (band logo)",
    "Cover Art (publisher logo)",
};

// The longest key an item read from a stream may have.
inline constexpr size_t kApeMaxKeyLength = 255;

// True when every byte lies between space and tilde; the empty key is valid.
bool IsValidApeKey(std::string_view key);

class TApeTagItem {
 public:
  // A new item with value size 0 and flags 0; the key is taken only when it
  // is valid, else it stays empty.
  explicit TApeTagItem(std::string_view aKey = {});

  // Reads one item at the stream's position; true when the item is usable,
  // with the stream then after its value. False for a missing terminator
  // within 256 key bytes, an invalid key, a stream that ends inside the
  // fixed fields, and a value size that is negative or larger than what the
  // stream still holds (such an item is never filled with bytes that were
  // not read). Raises nothing of its own.
  bool ReadFromStream(TStream& aStream);

  int32_t ValueSize() const { return fValueSize; }
  // The item's size in a tag: key length + value size + 9.
  int64_t CompleteSize() const { return static_cast<int64_t>(fKey.size()) + fValueSize + 9; }
  uint32_t Flags() const { return fFlags; }
  const std::string& Key() const { return fKey; }

  // Text and locator items: the UTF-8 value, whole (0x00 separators stay as
  // U+0000, malformed sequences become U+FFFD). Binary and reserved items:
  // "<Binary Data>".
  std::u16string GetValue() const;
  std::u16string Value() const { return GetValue(); }
  // Stores UTF-8 text, content type ctText, read-only cleared.
  void SetValue(const std::u16string& value);

  TApeTagItemContentType ContentType() const { return static_cast<TApeTagItemContentType>((fFlags >> 1) & 3); }
  void SetContentType(TApeTagItemContentType type);
  bool ReadOnlyFlag() const { return (fFlags & 1) != 0; }
  void SetReadOnlyFlag(bool readOnly);

  // Binary items: appends all of the value bytes to dest and returns true.
  // Other items: false, dest untouched.
  bool GetBinaryData(TMemoryStream& dest) const;
  // Binary items laid out as "description 0x00 image" with at least one
  // image byte: sets description (UTF-8 decoded), appends the image to dest,
  // true. Otherwise false with dest and description untouched.
  bool GetPicture(TMemoryStream& dest, std::u16string& description) const;

  // The writing side: these only change the object.
  void SetBinaryData(std::string_view bytes);
  void SetPicture(std::string_view image, const std::u16string& description = u"cover art");
  // Appends the item in its file layout to dest.
  void WriteToStream(TMemoryStream& dest) const;

 private:
  int32_t fValueSize = 0;
  uint32_t fFlags = 0;
  std::string fKey;
  std::string fValue;  // UTF-8 bytes of every item that is not ctBinary
  std::string fData;   // value bytes of a ctBinary item
};
