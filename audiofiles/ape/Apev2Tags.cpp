#include "Apev2Tags.h"

#include <cstring>

namespace {

constexpr char kApePreamble[8] = {'A', 'P', 'E', 'T', 'A', 'G', 'E', 'X'};
constexpr std::string_view kCoverArt = "Cover Art";

bool StartsWithCoverArt(std::string_view key) {
  return key.size() >= kCoverArt.size() && SameText(key.substr(0, kCoverArt.size()), kCoverArt);
}

// Reads `count` bytes at `position` into a zeroed buffer; true when all came.
// A position before the start of the stream reads nothing.
bool ReadAt(TStream& stream, int64_t position, uint8_t* buffer, int64_t count) {
  std::memset(buffer, 0, static_cast<size_t>(count));
  if (position < 0) return false;
  stream.Seek(position);
  return stream.Read(buffer, count) == count;
}

}  // namespace

bool TApeHeader::HasPreamble() const { return std::memcmp(Preamble, kApePreamble, 8) == 0; }

//  0  8  preamble   8  4  version   12  4  size   16  4  item count
// 20  4  flags     24  8  reserved
void TApeHeader::Decode(const uint8_t bytes[32]) {
  std::memcpy(Preamble, bytes, 8);
  Version = GetU32LE(bytes + 8);
  Size = GetU32LE(bytes + 12);
  ItemCount = GetU32LE(bytes + 16);
  Flags = GetU32LE(bytes + 20);
  std::memcpy(Reserved, bytes + 24, 8);
}

TBaseApeFile::TBaseApeFile() = default;
TBaseApeFile::~TBaseApeFile() = default;

void TBaseApeFile::RebuildHeaders() {
  uint32_t size = 32;
  for (const auto& item : fItemList) size += static_cast<uint32_t>(item->CompleteSize());
  for (TApeHeader* h : {&fApev2TagFooter, &fApev2TagHeader}) {
    std::memcpy(h->Preamble, kApePreamble, 8);
    h->Version = 2000;
    h->Size = size;
    h->ItemCount = static_cast<uint32_t>(fItemList.size());
  }
  fApev2TagFooter.Flags = kApeFlagHasHeader;
  fApev2TagHeader.Flags = kApeFlagHasHeader | kApeFlagIsHeader;
}

void TBaseApeFile::Clear() {
  fItemList.clear();
  fOffset = 0;
  RebuildHeaders();
  fFileSize = 0;
  fID3v1TagSize = 0;
  fID3v2TagSize = 0;
  fDuration = 0;
  fBitrate = 0;
  fSamplerate = 0;
  fChannels = 0;
  fValid = false;
}

bool TBaseApeFile::ReadAudioProperties(TStream&) {
  fDuration = 0;
  fBitrate = 0;
  fSamplerate = 0;
  fChannels = 0;
  return true;
}

void TBaseApeFile::ResetForRead() { Clear(); }

TAudioError TBaseApeFile::ReadFromStream(TStream& stream) {
  fFileSize = stream.Size();
  // The tags at the end first, then the start of the file: its ID3v2 tag
  // and the stream header behind it, which are read through one block.
  const TAudioError result = ReadTag(stream);
  fID3v2TagSize = GetID3v2Size(stream);
  stream.Seek(fID3v2TagSize);
  ReadAudioProperties(stream);
  return result;
}

TAudioError TBaseApeFile::ReadTag(TStream& stream) {
  const int64_t s = stream.Size();

  // ID3v1: "TAG" in the last 128 bytes, unless those three bytes are part
  // of an APE header that starts 131 bytes before the end.
  uint8_t id3v1[128];
  bool have = ReadAt(stream, s - 128, id3v1, sizeof id3v1);
  fID3v1tag.Decode(id3v1);
  if (have && fID3v1tag.HasId()) {
    uint8_t preamble[8];
    have = !(ReadAt(stream, s - 131, preamble, 8) && std::memcmp(preamble, kApePreamble, 8) == 0);
  } else {
    have = false;
  }
  fID3v1Present = have;
  fID3v1TagSize = have ? 128 : 0;
  fOffset = fID3v1TagSize;

  // Footer. A short read leaves a zeroed footer, so nothing reports a tag.
  uint8_t raw[32];
  const bool footerRead = ReadAt(stream, s - fID3v1TagSize - 32, raw, sizeof raw);
  fApev2TagFooter.Decode(raw);
  if (!footerRead || !fApev2TagFooter.HasPreamble()) {
    if (!footerRead) fApev2TagFooter = TApeHeader{};
    return ApeErr_NoTag;
  }

  const uint32_t tagSize = fApev2TagFooter.Size;
  if (ContainsHeader()) {
    const uint32_t total = tagSize + fID3v1TagSize + 32;  // 32-bit on purpose
    fOffset = total;
    ReadAt(stream, s - total, raw, sizeof raw);
    fApev2TagHeader.Decode(raw);
    if (!fApev2TagHeader.HasPreamble()) {
      fApev2TagFooter.Flags &= ~kApeFlagHasHeader;
      fOffset = tagSize + fID3v1TagSize;
    }
  } else {
    fOffset = tagSize + fID3v1TagSize;
  }

  // Items are read back to back from here; neither the tag's size nor its
  // version limits them. Each item consumes at least 9 bytes, so the loop
  // also ends when the stream does. A tag that claims to start before the
  // file does is broken, whatever its item count: its size would otherwise
  // spoil every bitrate computed from CombinedTagSize.
  const uint32_t count = fApev2TagFooter.ItemCount;
  const int64_t itemsStart = s - int64_t{tagSize} - fID3v1TagSize;
  const bool anyItems = count > 0 && count <= 0x7FFFFFFFu;
  bool ok = itemsStart >= 0;
  if (ok && anyItems) {
    stream.Seek(itemsStart);
    for (uint32_t i = 0; i < count; ++i) {
      auto item = std::make_unique<TApeTagItem>();
      if (!item->ReadFromStream(stream)) {
        ok = false;
        break;
      }
      fItemList.push_back(std::move(item));
    }
  }
  if (!ok) {
    fItemList.clear();
    RebuildHeaders();
    fOffset = 0;
    return ApeErr_InvalidTag;
  }
  return FileErr_None;
}

TAudioError TBaseApeFile::WriteToFile(const std::string&) { return FileErr_FileOpenRW; }
TAudioError TBaseApeFile::RemoveFromFile(const std::string&) { return FileErr_FileOpenRW; }

uint32_t TBaseApeFile::Apev2TagSize() const {
  if (!fApev2TagFooter.HasPreamble()) return 0;
  return fApev2TagFooter.Size + (ContainsHeader() ? 32u : 0u);
}

std::u16string TBaseApeFile::GetValueByKey(std::string_view aKey) const {
  std::u16string value;
  for (const auto& item : fItemList)
    if (SameText(item->Key(), aKey)) value = item->Value();
  return value;
}

namespace {

// The last item of the list that `matches`, or nullptr.
template <typename Match>
const TApeTagItem* LastMatch(const std::vector<std::unique_ptr<TApeTagItem>>& items, Match matches) {
  const TApeTagItem* found = nullptr;
  for (const auto& item : items)
    if (matches(*item)) found = item.get();
  return found;
}

}  // namespace

bool TBaseApeFile::GetBinaryDataByKey(std::string_view aKey, TMemoryStream& dest) const {
  const TApeTagItem* item = LastMatch(fItemList, [aKey](const TApeTagItem& i) { return SameText(i.Key(), aKey); });
  return item && item->GetBinaryData(dest);
}

void TBaseApeFile::GetAllFrames(std::vector<std::string>& dest) const {
  dest.clear();
  for (const auto& item : fItemList) dest.push_back(item->Key());
}

void TBaseApeFile::GetAllPictureFrames(std::vector<std::string>& dest) const {
  dest.clear();
  for (const auto& item : fItemList)
    if (StartsWithCoverArt(item->Key())) dest.push_back(item->Key());
}

bool TBaseApeFile::GetPicture(std::string_view aKey, TMemoryStream& dest, std::u16string& description) const {
  const TApeTagItem* item = LastMatch(fItemList, [aKey](const TApeTagItem& i) {
    return SameText(i.Key(), aKey) || (aKey.empty() && StartsWithCoverArt(i.Key()));
  });
  return item && item->GetPicture(dest, description);
}

bool TBaseApeFile::GetPicture(TApePictureTypes aType, TMemoryStream& dest, std::u16string& description) const {
  const std::string_view key = aType < cApePictureKeys.size() ? cApePictureKeys[aType] : "";
  return GetPicture(key, dest, description);
}

namespace {

TApeTagItem& ItemFor(std::vector<std::unique_ptr<TApeTagItem>>& items, std::string_view key) {
  TApeTagItem* found = nullptr;
  for (const auto& item : items)
    if (SameText(item->Key(), key)) found = item.get();
  if (found) return *found;
  items.push_back(std::make_unique<TApeTagItem>(key));
  return *items.back();
}

}  // namespace

void TBaseApeFile::SetValueByKey(std::string_view aKey, const std::u16string& value) {
  if (!IsValidApeKey(aKey)) return;
  ItemFor(fItemList, aKey).SetValue(value);
}

void TBaseApeFile::SetBinaryByKey(std::string_view aKey, std::string_view bytes) {
  if (!IsValidApeKey(aKey)) return;
  ItemFor(fItemList, aKey).SetBinaryData(bytes);
}

void TBaseApeFile::SetPicture(std::string_view aKey, std::string_view image, const std::u16string& description) {
  if (aKey.empty() || !IsValidApeKey(aKey)) return;
  ItemFor(fItemList, aKey).SetPicture(image, description);
}

void TBaseApeFile::SetPicture(TApePictureTypes aType, std::string_view image, const std::u16string& description) {
  if (aType < cApePictureKeys.size()) SetPicture(cApePictureKeys[aType], image, description);
}
