#include "OggVorbisFiles.h"

#include <algorithm>
#include <cstring>
#include <exception>

namespace {

constexpr char kCapturePattern[4] = {'O', 'g', 'g', 'S'};
constexpr char kVorbisID[6] = {'v', 'o', 'r', 'b', 'i', 's'};
constexpr uint8_t kIdentificationPacketType = 1;

// The last-page scan looks at the positions FileSize - 16 down to
// FileSize - 11766, nearest the end first: fifty windows of 236 positions.
constexpr int64_t kScanNearest = 16;
constexpr int64_t kScanFarthest = 16 + 235 * 50;
constexpr int64_t kScanPiece = 4096;

}  // namespace

TOggHeader TOggHeader::FromBytes(const uint8_t b[kSize]) {
  TOggHeader h;
  std::memcpy(h.ID, b, 4);
  h.StreamVersion = b[4];
  h.TypeFlag = b[5];
  h.AbsolutePosition = static_cast<int64_t>(GetU64LE(b + 6));
  h.Serial = static_cast<int32_t>(GetU32LE(b + 14));
  h.PageNumber = static_cast<int32_t>(GetU32LE(b + 18));
  h.Checksum = GetU32LE(b + 22);
  h.Segments = b[26];
  return h;
}

TVorbisIdentification TVorbisIdentification::FromBytes(const uint8_t b[kSize]) {
  TVorbisIdentification v;
  v.PacketType = b[0];
  std::memcpy(v.ID, b + 1, 6);
  v.BitstreamVersion = GetU32LE(b + 7);
  v.ChannelMode = b[11];
  v.SampleRate = static_cast<int32_t>(GetU32LE(b + 12));
  v.BitRateMaximal = static_cast<int32_t>(GetU32LE(b + 16));
  v.BitRateNominal = static_cast<int32_t>(GetU32LE(b + 20));
  v.BitRateMinimal = static_cast<int32_t>(GetU32LE(b + 24));
  v.BlockSize = b[28];
  v.StopFlag = b[29];
  return v;
}

void TOggPage::ReadHeader(TStream& Source) {
  fPositionInStream = Source.Position();
  uint8_t bytes[TOggHeader::kSize] = {};
  Source.Read(bytes, sizeof bytes);
  fHeader = TOggHeader::FromBytes(bytes);
  fValidHeader = std::memcmp(fHeader.ID, kCapturePattern, 4) == 0;
  const std::string lacing = Source.ReadAtMost(fHeader.Segments);
  fLacingValues.assign(lacing.begin(), lacing.end());
}

void TFirstOggVorbisPage::ClearPage() {
  fVorbisIdentification = TVorbisIdentification{};
  fValidPage = false;
}

TAudioError TFirstOggVorbisPage::ReadPage(TStream& Source) {
  Source.Seek(GetID3v2Size(Source));
  ReadHeader(Source);
  fValidPage = false;
  if (!fValidHeader) return OVErr_InvalidFirstPageHeader;
  // The identification header is a page of its own: one 30-byte packet.
  if (fLacingValues.size() != 1 || fLacingValues[0] != TVorbisIdentification::kSize) return OVErr_InvalidFirstPage;
  uint8_t bytes[TVorbisIdentification::kSize] = {};
  Source.Read(bytes, sizeof bytes);
  fVorbisIdentification = TVorbisIdentification::FromBytes(bytes);
  const TVorbisIdentification& id = fVorbisIdentification;
  fValidPage = id.PacketType == kIdentificationPacketType && std::memcmp(id.ID, kVorbisID, 6) == 0 &&
               id.ChannelMode > 0 && id.SampleRate > 0 && id.StopFlag != 0;
  return fValidPage ? FileErr_None : OVErr_InvalidFirstPage;
}

void TSecondOggVorbisPage::ClearPage() {
  fCommentSize = 0;
  fValidPage = false;
  Comments.Clear();
}

TAudioError TSecondOggVorbisPage::ReadPage(TStream& Source) {
  ReadHeader(Source);
  fValidPage = false;
  if (!fValidHeader) return OVErr_InvalidSecondPageHeader;
  // A page without lacing values carries no packet to measure.
  if (fLacingValues.empty()) return OVErr_InvalidSecondPage;
  // The comment packet is the first packet on the page; it ends at the
  // first lacing value below 255.
  fCommentSize = 0;
  for (uint8_t lacing : fLacingValues) {
    fCommentSize += lacing;
    if (lacing < 255) break;
  }
  // Packets continued on later pages are not gathered.
  if (std::none_of(fLacingValues.begin(), fLacingValues.end(), [](uint8_t v) { return v < 255; }))
    return OVErr_CommentTooLarge;
  fValidPage = Comments.ReadFromStream(Source, fCommentSize, false);
  return fValidPage ? FileErr_None : OVErr_InvalidSecondPage;
}

TOggVorbisFile::TOggVorbisFile()
    : fFirstOggVorbisPage(std::make_unique<TFirstOggVorbisPage>()),
      fSecondOggVorbisPage(std::make_unique<TSecondOggVorbisPage>()) {
  ClearData();
}

void TOggVorbisFile::ClearData() {
  fFileSize = 0;
  fMaxSamples = 0;
  fSamplerate = 0;
  fBitRateNominal = 0;
  fChannels = 0;
  fValid = false;
  fUsePadding = true;
  fFirstOggVorbisPage->ClearPage();
  fSecondOggVorbisPage->ClearPage();
}

int64_t TOggVorbisFile::ScanLastPage(TStream& Source) const {
  const int64_t nearest = Source.Size() - kScanNearest;
  const int64_t farthest = std::max<int64_t>(0, Source.Size() - kScanFarthest);
  // Read piece by piece from the end, where the last page nearly always
  // is, so that the scan seldom reads more than the end of the file.
  for (int64_t high = nearest; high >= farthest; high -= kScanPiece) {
    const int64_t low = std::max(farthest, high - kScanPiece + 1);
    Source.Seek(low);
    const std::string window = Source.ReadAtMost(high - low + 4);
    for (int64_t pos = high; pos >= low; --pos) {
      const size_t at = static_cast<size_t>(pos - low);
      if (at + 4 > window.size() || window.compare(at, 4, kCapturePattern, 4) != 0) continue;
      // The first match wins, whether or not it starts a real page.
      Source.Seek(pos);
      uint8_t bytes[TOggHeader::kSize] = {};
      Source.Read(bytes, sizeof bytes);
      return std::max<int64_t>(0, TOggHeader::FromBytes(bytes).AbsolutePosition);
    }
  }
  return 0;
}

void TOggVorbisFile::ResetForRead() { ClearData(); }

TAudioError TOggVorbisFile::ReadFromStream(TStream& source) {
  fFileSize = source.Size();
  TAudioError result = fFirstOggVorbisPage->ReadPage(source);
  if (result == FileErr_None) result = fSecondOggVorbisPage->ReadPage(source);
  if (result != FileErr_None) return result;
  const int64_t samples = ScanLastPage(source);
  const TVorbisIdentification& id = fFirstOggVorbisPage->VorbisIdentification();
  fSamplerate = id.SampleRate;
  fChannels = id.ChannelMode;
  // Unset (0 or negative, as some encoders write -1) or beyond what the
  // field holds in kbit/s: unknown.
  const int32_t nominal = id.BitRateNominal / 1000;
  fBitRateNominal = nominal > 0 && nominal <= UINT16_MAX ? static_cast<uint16_t>(nominal) : 0;
  fMaxSamples = samples;
  fValid = true;
  return FileErr_None;
}

TAudioError TOggVorbisFile::FinishRead(TAudioError result, bool parsed) {
  if (parsed) return result;
  fValid = false;
  return FileErr_FileOpenR;
}

int32_t TOggVorbisFile::Duration() const {
  if (fMaxSamples > 0) return fSamplerate > 0 ? RoundToInt32(double(fMaxSamples) / fSamplerate) : 0;
  if (fBitRateNominal != 0 && fChannels > 0)
    return RoundToInt32(double(fFileSize) / fBitRateNominal / fChannels / 125 * 2);
  return 0;
}

int32_t TOggVorbisFile::Bitrate() const {
  const int32_t duration = Duration();
  if (duration <= 0) return fBitRateNominal * 1000;
  return RoundToInt32(double(fFileSize) * 8 / duration);
}

TAudioError TOggVorbisFile::WriteToFile(const std::string&) { return FileErr_FileOpenRW; }

TAudioError TOggVorbisFile::RemoveFromFile(const std::string&) { return OVErr_RemovingNotSupported; }
