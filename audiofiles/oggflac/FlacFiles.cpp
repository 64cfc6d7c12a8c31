#include "FlacFiles.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr char kStreamMarker[4] = {'f', 'L', 'a', 'C'};
constexpr int64_t kCopyChunk = 1 << 20;
constexpr uint32_t kMaxTextLength = 0x7FFFFFFF;

// Writes bytes at the stream's position, overwriting what is there and
// growing the stream as needed; the position ends after them.
void WriteAt(TMemoryStream& target, std::string_view bytes) {
  const int64_t position = target.Position();
  if (position >= target.Size()) {
    target.Append(std::string(static_cast<size_t>(position - target.Size()), '\0'));
    target.Append(bytes);
    return;
  }
  std::string data = target.Data();
  const size_t at = static_cast<size_t>(position);
  data.replace(at, std::min(bytes.size(), data.size() - at), bytes);
  target.Clear();
  target.Append(data);
  target.Seek(position + static_cast<int64_t>(bytes.size()));
}

}  // namespace

bool TFlacHeader::HasMarker() const { return std::memcmp(StreamMarker, kStreamMarker, 4) == 0; }

// Info[10..17] are the bytes 18 to 25 of the header.
int32_t TFlacHeader::SampleRate() const { return (Info[10] << 12) | (Info[11] << 4) | (Info[12] >> 4); }
int32_t TFlacHeader::Channels() const { return ((Info[12] >> 1) & 7) + 1; }
uint8_t TFlacHeader::BitsPerSample() const {
  return static_cast<uint8_t>((((Info[12] & 1) << 4) | (Info[13] >> 4)) + 1);
}
// The top four bits of the 36-bit count (low nibble of Info[13]) are not
// taken.
int64_t TFlacHeader::TotalSamples() const { return GetU32BE(Info + 14); }

void TFlacMetaBlock::SetBlockType(uint8_t value) {
  fHeader[0] = static_cast<uint8_t>((fHeader[0] & 0x80) | std::min<uint8_t>(value, 126));
}

void TFlacMetaBlock::Begin(const TMetaDataBlockHeader& aSourceHeader, TStream& Source) {
  fPositionInStream = Source.Position() - 4;
  fHeader = aSourceHeader;
}

bool TFlacMetaBlock::ReadFromStream(const TMetaDataBlockHeader& aSourceHeader, TStream& Source) {
  Begin(aSourceHeader, Source);
  fData = Source.ReadAtMost(BodyLength());
  return fData.size() == BodyLength();
}

TFlacCommentsBlock::TFlacCommentsBlock() { SetBlockType(kVorbisComment); }

bool TFlacCommentsBlock::ReadFromStream(const TMetaDataBlockHeader& aSourceHeader, TStream& Source) {
  Begin(aSourceHeader, Source);
  // Leaves the stream at the block's end whatever the comments held.
  Comments.ReadFromStream(Source, BodyLength(), true);
  return Source.Position() <= Source.Size();
}

TFlacPictureBlock::TFlacPictureBlock() { SetBlockType(kPicture); }

void TFlacPictureBlock::Clear() {
  fPicData.Clear();
  fMime.clear();
  fDescription.clear();
  fWidth = fHeight = fColorDepth = fNumberOfColors = 0;
}

std::u16string TFlacPictureBlock::Description() const { return Utf8ToUtf16(fDescription); }

void TFlacPictureBlock::CopyPicData(TMemoryStream& Target) const { WriteAt(Target, fPicData.Data()); }

bool TFlacPictureBlock::ReadFromStream(const TMetaDataBlockHeader& aSourceHeader, TStream& Source) {
  Begin(aSourceHeader, Source);
  Clear();
  auto reject = [&] {
    Clear();
    fPictureType = 0;
    Source.Seek(fPositionInStream + 4 + BodyLength());
    return Source.Position() <= Source.Size();
  };
  fPictureType = Source.ReadU32BE();
  const uint32_t mimeLength = Source.ReadU32BE();
  if (mimeLength > kMaxTextLength) return reject();
  fMime = Source.ReadAtMost(mimeLength);
  const uint32_t descriptionLength = Source.ReadU32BE();
  if (descriptionLength > kMaxTextLength) return reject();
  fDescription = Source.ReadAtMost(descriptionLength);
  fWidth = Source.ReadU32BE();
  fHeight = Source.ReadU32BE();
  fColorDepth = Source.ReadU32BE();
  fNumberOfColors = Source.ReadU32BE();
  const int64_t dataLength = Source.ReadU32BE();
  if (dataLength > Source.Remaining()) throw EReadError("Picture data extends beyond the end of the file");
  for (int64_t left = dataLength; left > 0; left -= kCopyChunk) fPicData.CopyFrom(Source, std::min(left, kCopyChunk));
  fPicData.Seek(0);
  return true;
}

TFlacFile::TFlacFile() { Reset(); }

void TFlacFile::Reset() {
  fFileSize = 0;
  fHeader = TFlacHeader{};
  fFlacOffset = 0;
  fChannels = 0;
  fSamplerate = 0;
  fBitsPerSample = 0;
  fSamples = 0;
  fBitrate = 0;
  fAudioOffset = 0;
  fFlacCommentsBlock = nullptr;
  fMetaBlocks.clear();
}

void TFlacFile::EnsureCommentsBlock() const {
  if (fFlacCommentsBlock) return;
  auto block = std::make_unique<TFlacCommentsBlock>();
  fFlacCommentsBlock = block.get();
  fMetaBlocks.push_back(std::move(block));
}

TVorbisComments& TFlacFile::Tag() const {
  EnsureCommentsBlock();
  return fFlacCommentsBlock->Comments;
}

bool TFlacFile::Valid() const {
  return fHeader.HasMarker() && fChannels > 0 && fSamplerate > 0 && fBitsPerSample > 0 && fSamples > 0;
}

int32_t TFlacFile::Duration() const {
  if (!Valid() || fSamplerate <= 0) return 0;
  return RoundToInt32(double(fSamples) / fSamplerate);
}

TAudioError TFlacFile::ReadFromStream(TStream& fs) {
  fFileSize = fs.Size();
  fFlacOffset = GetID3v2Size(fs);
  fs.Seek(fFlacOffset);

  uint8_t bytes[TFlacHeader::kSize] = {};
  fs.Read(bytes, sizeof bytes);
  std::memcpy(fHeader.StreamMarker, bytes, 4);
  std::memcpy(fHeader.MetaDataBlockHeader.data(), bytes + 4, 4);
  std::memcpy(fHeader.Info, bytes + 8, sizeof fHeader.Info);
  std::memcpy(fHeader.MD5Sum, bytes + 26, sizeof fHeader.MD5Sum);

  TAudioError result = FileErr_None;
  if (!fHeader.HasMarker()) {
    result = FlacErr_InvalidFlacFile;
  } else {
    fSamplerate = fHeader.SampleRate();
    fChannels = fHeader.Channels();
    fBitsPerSample = fHeader.BitsPerSample();
    fSamples = fHeader.TotalSamples();
    if ((fHeader.MetaDataBlockHeader[0] & 0x80) == 0) {
      // Every pass consumes at least the 4 header bytes, and the walk ends
      // where the file does, so it is bounded by the file size.
      for (;;) {
        if (fs.Remaining() < 4 || fMetaBlocks.size() >= kMaxMetaBlocks) {
          result = FlacErr_InvalidFlacFile;
          break;
        }
        TMetaDataBlockHeader header;
        fs.ReadBuffer(header.data(), 4);
        const uint8_t type = header[0] & 0x7F;
        if (type == TFlacMetaBlock::kStreamInfo || type == TFlacMetaBlock::kInvalid) {
          result = FlacErr_InvalidFlacFile;
          break;
        }
        std::unique_ptr<TFlacMetaBlock> block;
        if (type == TFlacMetaBlock::kVorbisComment) {
          auto comments = std::make_unique<TFlacCommentsBlock>();
          fFlacCommentsBlock = comments.get();
          block = std::move(comments);
        } else if (type == TFlacMetaBlock::kPicture) {
          block = std::make_unique<TFlacPictureBlock>();
        } else {
          block = std::make_unique<TFlacMetaBlock>();
        }
        TFlacMetaBlock& current = *block;
        fMetaBlocks.push_back(std::move(block));
        // A block that runs past the end of the file ends the walk there.
        if (!current.ReadFromStream(header, fs)) {
          result = FlacErr_InvalidFlacFile;
          fs.Seek(std::min(fs.Position(), fs.Size()));
          break;
        }
        if (current.LastBlockInFile()) break;
      }
      EnsureCommentsBlock();
    }
  }
  // The position as it stands, also where a leading tag claims more bytes
  // than the file holds and no marker was found behind it.
  fAudioOffset = fs.Position();
  return result;
}

void TFlacFile::ResetForRead() { Reset(); }

TAudioError TFlacFile::FinishRead(TAudioError result, bool parsed) {
  // The bitrate is finished also when parsing broke off after the header.
  if (Valid()) {
    const int32_t duration = Duration();
    fBitrate = duration > 0 ? RoundToInt32(double(fFileSize - fAudioOffset) * 8 / duration) : 0;
  } else {
    result = FlacErr_InvalidFlacFile;
  }
  return parsed ? result : FileErr_FileOpenR;
}

bool TFlacFile::GetPictureStream(TMemoryStream& Destination, uint32_t& aPicType, std::string& aMime,
                                 std::u16string& aDescription) const {
  const TFlacPictureBlock* chosen = nullptr;
  for (const auto& block : fMetaBlocks) {
    auto picture = dynamic_cast<const TFlacPictureBlock*>(block.get());
    if (!picture) continue;
    if (!chosen || (chosen->PictureType() != kFrontCover && picture->PictureType() == kFrontCover)) chosen = picture;
  }
  if (!chosen) {
    aPicType = 0;
    aMime.clear();
    aDescription.clear();
    return false;
  }
  chosen->CopyPicData(Destination);
  aPicType = chosen->PictureType();
  aMime = chosen->Mime();
  aDescription = chosen->Description();
  return true;
}

void TFlacFile::GetAllPictureBlocks(std::vector<TFlacPictureBlock*>& aTarget) const {
  aTarget.clear();
  for (const auto& block : fMetaBlocks)
    if (auto picture = dynamic_cast<TFlacPictureBlock*>(block.get())) aTarget.push_back(picture);
}

TAudioError TFlacFile::WriteToFile(const std::string&) { return FileErr_FileOpenRW; }

TAudioError TFlacFile::RemoveFromFile(const std::string&) { return FlacErr_RemovingNotSupported; }
