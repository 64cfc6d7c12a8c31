// FLAC reader: stream properties from STREAMINFO, then every metadata block
// up to the one flagged last. Comment blocks are parsed into
// TVorbisComments, picture blocks into their fields and data, all others
// kept raw. The end of the metadata is the audio offset.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "AudioFileBasics.h"
#include "VorbisComments.h"

// Metadata block header: byte 0 = last-block flag (bit 7) and block type
// (bits 0-6); bytes 1-3 = body length, 24-bit big-endian.
using TMetaDataBlockHeader = std::array<uint8_t, 4>;
using TMetaDataBlockData = std::string;

// The first 42 bytes behind any leading ID3v2 tag: the marker and the
// STREAMINFO block up to its MD5 sum.
struct TFlacHeader {
  char StreamMarker[4] = {};
  TMetaDataBlockHeader MetaDataBlockHeader = {};
  uint8_t Info[18] = {};
  uint8_t MD5Sum[16] = {};

  static constexpr int kSize = 42;
  bool HasMarker() const;
  // STREAMINFO fields, bit-packed big-endian from Info[10] on:
  //   20 bits sample rate | 3 bits channels - 1 | 5 bits bits per sample - 1
  //   | 36 bits total samples (only the low 32 are taken)
  int32_t SampleRate() const;
  int32_t Channels() const;
  uint8_t BitsPerSample() const;
  int64_t TotalSamples() const;
};

class TFlacMetaBlock {
 public:
  enum : uint8_t {
    kStreamInfo = 0,
    kPadding = 1,
    kVorbisComment = 4,
    kPicture = 6,
    kInvalid = 127,
  };

  virtual ~TFlacMetaBlock() = default;

  uint8_t BlockType() const { return fHeader[0] & 0x7F; }
  void SetBlockType(uint8_t value);
  bool LastBlockInFile() const { return (fHeader[0] & 0x80) != 0; }
  // Body length as the header gives it.
  uint32_t BodyLength() const { return (uint32_t(fHeader[1]) << 16) | (uint32_t(fHeader[2]) << 8) | fHeader[3]; }
  int64_t PositionInStream() const { return fPositionInStream; }
  const TMetaDataBlockData& Data() const { return fData; }

  // Reads the body behind the header bytes `aSourceHeader` (already read;
  // the stream stands just after them). Returns false when the file ended
  // before the body did. Raises EReadError where an exact read falls short.
  virtual bool ReadFromStream(const TMetaDataBlockHeader& aSourceHeader, TStream& Source);

 protected:
  void Begin(const TMetaDataBlockHeader& aSourceHeader, TStream& Source);

  TMetaDataBlockHeader fHeader = {};
  TMetaDataBlockData fData;
  int64_t fPositionInStream = 0;
};

class TFlacCommentsBlock : public TFlacMetaBlock {
 public:
  TFlacCommentsBlock();
  bool ReadFromStream(const TMetaDataBlockHeader& aSourceHeader, TStream& Source) override;
  void Clear() { Comments.Clear(); }
  bool IsEmpty() const { return Comments.Count() == 0; }

  TVorbisComments Comments;
};

class TFlacPictureBlock : public TFlacMetaBlock {
 public:
  TFlacPictureBlock();
  // Picture layout, integers 32-bit big-endian: type, MIME length + MIME,
  // description length + UTF-8 description, width, height, colour depth,
  // number of colours, data length + data. The block length is consulted
  // only to step over a picture whose MIME or description length is
  // 2^31 or more; such a picture is rejected and left empty.
  bool ReadFromStream(const TMetaDataBlockHeader& aSourceHeader, TStream& Source) override;
  void Clear();
  bool IsEmpty() const { return fPicData.Size() == 0; }
  // Writes the whole picture at Target's position (overwriting, growing).
  void CopyPicData(TMemoryStream& Target) const;

  uint32_t PictureType() const { return fPictureType; }
  const std::string& Mime() const { return fMime; }
  std::u16string Description() const;
  uint32_t Width() const { return fWidth; }
  uint32_t Height() const { return fHeight; }
  uint32_t ColorDepth() const { return fColorDepth; }
  uint32_t NumberOfColors() const { return fNumberOfColors; }
  int64_t PicDataSize() const { return fPicData.Size(); }

 private:
  uint32_t fPictureType = 0;
  std::string fMime;
  std::string fDescription;
  uint32_t fWidth = 0;
  uint32_t fHeight = 0;
  uint32_t fColorDepth = 0;
  uint32_t fNumberOfColors = 0;
  TMemoryStream fPicData;
};

class TFlacFile : public TBaseAudioFile {
 public:
  // A file has a handful of blocks; a walk past this many is refused.
  static constexpr size_t kMaxMetaBlocks = 1 << 14;
  static constexpr uint32_t kFrontCover = 3;

  TFlacFile();

  int64_t FileSize() const override { return fFileSize; }
  int32_t Duration() const override;
  int32_t Bitrate() const override { return fBitrate; }
  int32_t Samplerate() const override { return fSamplerate; }
  int32_t Channels() const override { return fChannels; }
  // Computed: marker present, and channels, sample rate, bits per sample
  // and total samples all above 0.
  bool Valid() const override;

  // Every comment accessor first makes sure a comment block exists (an
  // empty one is appended when the file had none).
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

  // Parses an open stream; raises EReadError where an exact read or copy
  // falls short (the read frame turns that into FileErr_FileOpenR).
  TAudioError ReadFromStream(TStream& fs) override;
  // Tags are read only: the file is never touched.
  TAudioError WriteToFile(const std::string& aFilename) override;
  TAudioError RemoveFromFile(const std::string& aFilename) override;

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

  // The first front cover, else the first picture: its data is written at
  // Destination's position. False (type 0, empty texts) without pictures.
  bool GetPictureStream(TMemoryStream& Destination, uint32_t& aPicType, std::string& aMime,
                        std::u16string& aDescription) const;
  // The picture blocks in file order; they stay owned by this object.
  void GetAllPictureBlocks(std::vector<TFlacPictureBlock*>& aTarget) const;

  uint8_t BitsPerSample() const { return fBitsPerSample; }
  int64_t Samples() const { return fSamples; }
  int64_t AudioOffset() const { return fAudioOffset; }
  int64_t FlacOffset() const { return fFlacOffset; }
  const TFlacHeader& Header() const { return fHeader; }
  // The metadata blocks in file order, STREAMINFO not included.
  const std::vector<std::unique_ptr<TFlacMetaBlock>>& MetaBlocks() const { return fMetaBlocks; }

 protected:
  void ResetForRead() override;
  // Computes the bitrate of a valid file; FlacErr_InvalidFlacFile otherwise.
  TAudioError FinishRead(TAudioError result, bool parsed) override;

 private:
  void Reset();
  TVorbisComments& Tag() const;
  void EnsureCommentsBlock() const;

  TFlacHeader fHeader;
  uint8_t fBitsPerSample = 0;
  int64_t fSamples = 0;
  bool fUsePadding = true;
  int64_t fAudioOffset = 0;
  int64_t fFlacOffset = 0;
  // The comment accessors may append an empty comment block, also on a
  // const reader.
  mutable std::vector<std::unique_ptr<TFlacMetaBlock>> fMetaBlocks;
  mutable TFlacCommentsBlock* fFlacCommentsBlock = nullptr;
};
