#include "VorbisComments.h"

#include <algorithm>
#include <cstring>

#include "TextUtils.h"

namespace {

constexpr uint8_t kCommentPacketType = 3;
constexpr char kVorbisID[6] = {'v', 'o', 'r', 'b', 'i', 's'};

}  // namespace

std::u16string TCommentVector::FieldName() const { return Utf8ToUtf16(fFieldName); }

void TCommentVector::SetFieldName(const std::u16string& value) { fFieldName = Utf16ToUtf8(value); }

bool TCommentVector::SetFromText(std::string_view utf8) {
  const std::u16string text = Utf8ToUtf16(utf8);
  const size_t eq = text.find(u'=');
  if (eq == std::u16string::npos) {
    fFieldName.clear();
    fValue = text;
    return false;
  }
  SetFieldName(text.substr(0, eq));
  fValue = text.substr(eq + 1);
  return true;
}

bool TCommentVector::ReadFromStream(TStream& Source) {
  const int32_t length = Source.ReadI32LE();
  return SetFromText(length > 0 ? Source.ReadBytes(length) : std::string());
}

void TVorbisComments::Clear() {
  fHeader = TVorbisHeader{};
  fVendorString.clear();
  fCommentVectorList.clear();
  fValidComment = false;
}

bool TVorbisComments::ReadFromStream(TStream& Source, int64_t Size, bool SkipHeader) {
  const int64_t start = Source.Position();
  Clear();
  // The parse reads on from the stream whatever Size says: a length, a
  // count or the framing byte may reach past P + Size into the bytes that
  // follow. Only the end of the stream stops it early; every length is
  // checked against the bytes that remain before anything is read.
  auto readLength = [&](int32_t& value) {
    if (Source.Remaining() < 4) return false;
    value = Source.ReadI32LE();
    return true;
  };
  auto readText = [&](int32_t length, std::string& text) {
    if (length <= 0) return true;  // 0, or the top bit set: nothing to read
    if (length > Source.Remaining()) return false;
    text = Source.ReadBytes(length);
    return true;
  };

  bool complete = [&] {
    if (!SkipHeader) {
      uint8_t header[7] = {};
      Source.Read(header, sizeof header);
      fHeader.PacketType = header[0];
      std::memcpy(fHeader.ID, header + 1, sizeof fHeader.ID);
      if (fHeader.PacketType != kCommentPacketType || std::memcmp(fHeader.ID, kVorbisID, 6) != 0) return false;
    }
    int32_t vendorLength = 0;
    if (!readLength(vendorLength) || !readText(vendorLength, fVendorString)) return false;
    int32_t count = 0;
    if (!readLength(count)) return false;
    for (int32_t i = 0; i < count; ++i) {
      int32_t length = 0;
      std::string text;
      if (i >= kMaxComments || !readLength(length) || !readText(length, text)) return false;
      auto comment = std::make_unique<TCommentVector>();
      comment->SetFromText(text);
      fCommentVectorList.push_back(std::move(comment));
    }
    return true;
  }();

  // The framing byte is the one where the parse ended.
  if (complete && !SkipHeader) complete = Source.Remaining() >= 1 && Source.ReadU8() == 1;
  fValidComment = complete;
  if (Size >= 0) Source.Seek(start + Size);
  return fValidComment;
}

const TCommentVector* TVorbisComments::Find(std::u16string_view aField) const {
  for (const auto& comment : fCommentVectorList)
    if (SameText(comment->FieldName(), aField)) return comment.get();
  return nullptr;
}

std::u16string TVorbisComments::GetPropertyByFieldname(std::u16string_view aField) const {
  const TCommentVector* comment = Find(aField);
  return comment ? comment->Value() : std::u16string();
}

std::u16string TVorbisComments::GetPropertyByIndex(int32_t aIndex) const {
  if (aIndex < 0 || aIndex >= Count()) return {};
  return fCommentVectorList[static_cast<size_t>(aIndex)]->Value();
}

void TVorbisComments::GetAllFields(std::vector<std::u16string>& Target) const {
  Target.clear();
  for (const auto& comment : fCommentVectorList) Target.push_back(comment->FieldName());
}

std::u16string TVorbisComments::Date() const {
  std::u16string date = GetPropertyByFieldname(u"date");
  return date.empty() ? GetPropertyByFieldname(u"year") : date;
}

void TVorbisComments::SetPropertyByFieldname(std::u16string_view aField, const std::u16string& aValue) {
  if (auto comment = const_cast<TCommentVector*>(Find(aField))) {
    comment->SetValue(aValue);
    return;
  }
  auto comment = std::make_unique<TCommentVector>();
  comment->SetFieldName(std::u16string(aField));
  comment->SetValue(aValue);
  fCommentVectorList.push_back(std::move(comment));
}

void TVorbisComments::SetPropertyByIndex(int32_t aIndex, const std::u16string& aValue) {
  if (aIndex >= 0 && aIndex < Count()) fCommentVectorList[static_cast<size_t>(aIndex)]->SetValue(aValue);
}

int64_t TVorbisComments::GetSizeInStream() const {
  int64_t size = 7 + 4 + static_cast<int64_t>(fVendorString.size()) + 4 + 1;
  for (const auto& comment : fCommentVectorList)
    size += 4 + static_cast<int64_t>(Utf16ToUtf8(comment->FieldName() + u"=" + comment->Value()).size());
  return size;
}
