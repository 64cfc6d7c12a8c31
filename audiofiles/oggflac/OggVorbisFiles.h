// Ogg Vorbis reader: stream properties from the identification header on
// the first page, tags from the comment packet on the second page, and the
// total sample count from the granule position of the last page.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "AudioFileBasics.h"
#include "VorbisComments.h"

// Ogg page header, 27 bytes, little-endian:
//
//   0  4  "OggS"            14  4  serial number
//   4  1  stream version    18  4  page sequence number
//   5  1  header type flags 22  4  checksum (never verified)
//   6  8  granule position  26  1  number of lacing values that follow
struct TOggHeader {
  char ID[4] = {};
  uint8_t StreamVersion = 0;
  uint8_t TypeFlag = 0;
  int64_t AbsolutePosition = 0;
  int32_t Serial = 0;
  int32_t PageNumber = 0;
  uint32_t Checksum = 0;
  uint8_t Segments = 0;

  static constexpr int kSize = 27;
  // Decodes 27 bytes as laid out in the file.
  static TOggHeader FromBytes(const uint8_t bytes[kSize]);
};

// Vorbis identification header, 30 bytes, little-endian:
//
//   0  1  packet type, 1    12  4  sample rate (signed)
//   1  6  "vorbis"          16  4  maximal bitrate
//   7  4  bitstream version 20  4  nominal bitrate
//   11 1  channels          24  4  minimal bitrate
//   28 1  block sizes       29  1  framing byte
struct TVorbisIdentification {
  uint8_t PacketType = 0;
  char ID[6] = {'1', '2', '3', '4', '5', '6'};
  uint32_t BitstreamVersion = 0;
  uint8_t ChannelMode = 0;
  int32_t SampleRate = 0;
  int32_t BitRateMaximal = 0;
  int32_t BitRateNominal = 0;
  int32_t BitRateMinimal = 0;
  uint8_t BlockSize = 0;
  uint8_t StopFlag = 0;

  static constexpr int kSize = 30;
  static TVorbisIdentification FromBytes(const uint8_t bytes[kSize]);
};

class TOggPage {
 public:
  virtual ~TOggPage() = default;

  // Reads the 27-byte header and its lacing values at the stream position.
  // Short reads are not errors: what is missing stays zero (the lacing
  // table then holds only the bytes that were there).
  void ReadHeader(TStream& Source);

  bool ValidHeader() const { return fValidHeader; }
  bool ValidPage() const { return fValidPage; }
  const TOggHeader& Header() const { return fHeader; }
  const std::vector<uint8_t>& LacingValues() const { return fLacingValues; }
  int64_t PositionInStream() const { return fPositionInStream; }

 protected:
  TOggHeader fHeader;
  std::vector<uint8_t> fLacingValues;
  bool fValidHeader = false;
  bool fValidPage = false;
  int64_t fPositionInStream = 0;
};

class TFirstOggVorbisPage : public TOggPage {
 public:
  // Reads the first page behind any leading ID3v2 tag. Returns FileErr_None,
  // OVErr_InvalidFirstPageHeader or OVErr_InvalidFirstPage; raises
  // EReadError for a stream shorter than 10 bytes.
  TAudioError ReadPage(TStream& Source);
  void ClearPage();

  const TVorbisIdentification& VorbisIdentification() const { return fVorbisIdentification; }

 private:
  TVorbisIdentification fVorbisIdentification;
};

class TSecondOggVorbisPage : public TOggPage {
 public:
  // Reads the page at the stream position and the comment packet that
  // starts it. Returns FileErr_None, OVErr_InvalidSecondPageHeader,
  // OVErr_CommentTooLarge (the packet continues on a later page) or
  // OVErr_InvalidSecondPage (no packet on the page, or a comment block
  // that fails its checks).
  TAudioError ReadPage(TStream& Source);
  void ClearPage();

  int32_t CommentSize() const { return fCommentSize; }
  TVorbisComments Comments;

 private:
  int32_t fCommentSize = 0;
};

class TOggVorbisFile : public TBaseAudioFile {
 public:
  TOggVorbisFile();

  int64_t FileSize() const override { return fFileSize; }
  int32_t Duration() const override;
  int32_t Bitrate() const override;
  int32_t Samplerate() const override { return fSamplerate; }
  int32_t Channels() const override { return fChannels; }
  bool Valid() const override { return fValid; }

  std::u16string Title() const override { return Tag().Title(); }
  std::u16string Artist() const override { return Tag().Artist(); }
  std::u16string Album() const override { return Tag().Album(); }
  std::u16string Year() const override { return Tag().Date(); }
  std::u16string Track() const override { return Tag().TrackNumber(); }
  std::u16string Genre() const override { return Tag().Genre(); }

  void SetTitle(const std::u16string& value) override { Tag().SetTitle(value); }
  void SetArtist(const std::u16string& value) override { Tag().SetArtist(value); }
  void SetAlbum(const std::u16string& value) override { Tag().SetAlbum(value); }
  void SetYear(const std::u16string& value) override { Tag().SetDate(value); }
  void SetTrack(const std::u16string& value) override { Tag().SetTrackNumber(value); }
  void SetGenre(const std::u16string& value) override { Tag().SetGenre(value); }

  TAudioError ReadFromStream(TStream& source) override;
  // Tags are read only: the file is never touched.
  TAudioError WriteToFile(const std::string& aFilename) override;
  TAudioError RemoveFromFile(const std::string& aFilename) override;

  void ClearData();

  // The last page's granule position; 0 when none was found or it is
  // negative (-1: no packet ends on that page).
  int64_t Samples() const { return fMaxSamples; }
  uint16_t BitRateNominal() const { return fBitRateNominal; }
  bool UsePadding() const { return fUsePadding; }
  void SetUsePadding(bool value) { fUsePadding = value; }

  std::u16string Version() const { return Tag().Version(); }
  std::u16string Performer() const { return Tag().Performer(); }
  std::u16string Copyright() const { return Tag().Copyright(); }
  std::u16string License() const { return Tag().License(); }
  std::u16string Organization() const { return Tag().Organization(); }
  std::u16string Description() const { return Tag().Description(); }
  std::u16string Location() const { return Tag().Location(); }
  std::u16string Contact() const { return Tag().Contact(); }
  std::u16string ISRC() const { return Tag().ISRC(); }

  std::u16string GetPropertyByFieldname(std::u16string_view aField) const {
    return Tag().GetPropertyByFieldname(aField);
  }
  std::u16string GetPropertyByIndex(int32_t aIndex) const { return Tag().GetPropertyByIndex(aIndex); }
  void GetAllFields(std::vector<std::u16string>& Target) const { Tag().GetAllFields(Target); }

  const TFirstOggVorbisPage& FirstOggVorbisPage() const { return *fFirstOggVorbisPage; }
  const TSecondOggVorbisPage& SecondOggVorbisPage() const { return *fSecondOggVorbisPage; }

 protected:
  void ResetForRead() override;
  TAudioError FinishRead(TAudioError result, bool parsed) override;

 private:
  const TVorbisComments& Tag() const { return fSecondOggVorbisPage->Comments; }
  TVorbisComments& Tag() { return fSecondOggVorbisPage->Comments; }
  // Granule position of the last page found near the end.
  int64_t ScanLastPage(TStream& Source) const;

  int64_t fMaxSamples = 0;
  uint16_t fBitRateNominal = 0;
  bool fUsePadding = true;
  std::unique_ptr<TFirstOggVorbisPage> fFirstOggVorbisPage;
  std::unique_ptr<TSecondOggVorbisPage> fSecondOggVorbisPage;
};
