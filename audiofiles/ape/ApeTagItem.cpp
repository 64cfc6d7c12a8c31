#include "ApeTagItem.h"

#include <algorithm>
#include <cstring>
#include <iterator>

#include "TextUtils.h"

bool IsValidApeKey(std::string_view key) {
  return std::all_of(key.begin(), key.end(), [](char c) {
    const auto b = static_cast<uint8_t>(c);
    return b >= 0x20 && b <= 0x7E;
  });
}

TApeTagItem::TApeTagItem(std::string_view aKey) {
  if (IsValidApeKey(aKey)) fKey = aKey;
}

bool TApeTagItem::ReadFromStream(TStream& aStream) {
  uint8_t fixed[8];
  if (aStream.Read(fixed, sizeof fixed) != sizeof fixed) return false;
  fValueSize = static_cast<int32_t>(GetU32LE(fixed));
  fFlags = GetU32LE(fixed + 4);

  // The key ends at the first 0x00 within the next 256 bytes.
  const int64_t keyStart = aStream.Position();
  char keyBytes[kApeMaxKeyLength + 1];
  const int64_t got = aStream.Read(keyBytes, sizeof keyBytes);
  const void* terminator = std::memchr(keyBytes, 0, static_cast<size_t>(got));
  if (!terminator) return false;
  const std::string_view key(keyBytes, static_cast<const char*>(terminator) - keyBytes);
  if (!IsValidApeKey(key)) return false;
  fKey = key;
  aStream.Seek(keyStart + static_cast<int64_t>(key.size()) + 1);

  // A value must be present in full: a negative size or one that reaches
  // past the end of the stream makes the item (and so its tag) unusable.
  if (fValueSize < 0 || fValueSize > aStream.Remaining()) return false;
  std::string value = aStream.ReadBytes(fValueSize);
  if (ContentType() == ctBinary)
    fData = std::move(value);
  else
    fValue = std::move(value);
  return true;
}

std::u16string TApeTagItem::GetValue() const {
  switch (ContentType()) {
    case ctText:
    case ctExternal: return Utf8ToUtf16(fValue);
    default: return u"<Binary Data>";
  }
}

void TApeTagItem::SetValue(const std::u16string& value) {
  fValue = Utf16ToUtf8(value);
  fData.clear();
  fValueSize = static_cast<int32_t>(fValue.size());
  fFlags &= ~uint32_t{7};  // ctText, writable
}

const char* ContentTypeName(TApeTagItemContentType type) {
  static constexpr const char* kNames[] = {QUAV_APE_CONTENT_TYPE_LIST(QUAV_ENUM_NAME)};
  return type < std::size(kNames) ? kNames[type] : "?";
}

void TApeTagItem::SetContentType(TApeTagItemContentType type) {
  const bool wasBinary = ContentType() == ctBinary;
  fFlags = (fFlags & ~uint32_t{6}) | (uint32_t{type} << 1);
  // Keep the bytes where the getters of the new type look for them.
  if (wasBinary && type != ctBinary) fValue = std::move(fData), fData.clear();
  if (!wasBinary && type == ctBinary) fData = std::move(fValue), fValue.clear();
}

void TApeTagItem::SetReadOnlyFlag(bool readOnly) { fFlags = readOnly ? (fFlags | 1) : (fFlags & ~uint32_t{1}); }

bool TApeTagItem::GetBinaryData(TMemoryStream& dest) const {
  if (ContentType() != ctBinary) return false;
  dest.Append(fData);
  return true;
}

bool TApeTagItem::GetPicture(TMemoryStream& dest, std::u16string& description) const {
  if (ContentType() != ctBinary) return false;
  const size_t n = fData.find('\0');
  if (n == std::string::npos || n + 1 >= fData.size()) return false;
  description = Utf8ToUtf16(std::string_view(fData).substr(0, n));
  dest.Append(std::string_view(fData).substr(n + 1));
  return true;
}

void TApeTagItem::SetBinaryData(std::string_view bytes) {
  fData = bytes;
  fValue.clear();
  fValueSize = static_cast<int32_t>(fData.size());
  fFlags = (fFlags & ~uint32_t{6}) | (uint32_t{ctBinary} << 1);
}

void TApeTagItem::SetPicture(std::string_view image, const std::u16string& description) {
  std::string data = Utf16ToUtf8(description);
  data.push_back('\0');
  data.append(image);
  SetBinaryData(data);
}

void TApeTagItem::WriteToStream(TMemoryStream& dest) const {
  const std::string& value = ContentType() == ctBinary ? fData : fValue;
  std::string out;
  const auto put32 = [&out](uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>(v >> (8 * i)));
  };
  put32(static_cast<uint32_t>(value.size()));
  put32(fFlags);
  out.append(fKey);
  out.push_back('\0');
  out.append(value);
  dest.Append(out);
}
