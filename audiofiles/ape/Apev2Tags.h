// TBaseApeFile: what the APE-tagged formats share. It measures a leading
// ID3v2 tag, detects a trailing ID3v1 tag, reads an APEv2 (or APEv1) tag
// from the end of the file, answers values by key, and hands the stream to
// the format's own header reader, ReadAudioProperties.
//
// An APE tag on disk: optional 32-byte header, the items back to back, the
// 32-byte footer; it ends the file or stands just before an ID3v1 tag.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "ApeTagItem.h"
#include "AudioFileBasics.h"
#include "Id3Basics.h"

// Header and footer of an APE tag, 32 bytes, integers little-endian.
struct TApeHeader {
  char Preamble[8] = {};  // "APETAGEX"
  uint32_t Version = 0;   // 2000 (APEv2) or 1000 (APEv1); any value is read
  uint32_t Size = 0;      // items plus footer, without the header
  uint32_t ItemCount = 0;
  uint32_t Flags = 0;  // bit 31: the tag has a header; bit 29: this is the header
  uint8_t Reserved[8] = {};

  bool HasPreamble() const;
  // Fills the record from 32 bytes in file layout.
  void Decode(const uint8_t bytes[32]);
};

inline constexpr uint32_t kApeFlagHasHeader = 0x80000000u;
inline constexpr uint32_t kApeFlagIsHeader = 0x20000000u;

class TBaseApeFile : public TBaseAudioFile {
 public:
  TBaseApeFile();
  ~TBaseApeFile() override;
  TBaseApeFile(const TBaseApeFile&) = delete;
  TBaseApeFile& operator=(const TBaseApeFile&) = delete;

  int64_t FileSize() const override { return fFileSize; }
  int32_t Duration() const override { return fDuration; }
  int32_t Bitrate() const override { return fBitrate; }
  int32_t Samplerate() const override { return fSamplerate; }
  int32_t Channels() const override { return fChannels; }
  bool Valid() const override { return fValid; }

  std::u16string Title() const override { return GetValueByKey("Title"); }
  std::u16string Artist() const override { return GetValueByKey("Artist"); }
  std::u16string Album() const override { return GetValueByKey("Album"); }
  std::u16string Year() const override { return GetValueByKey("Year"); }
  std::u16string Track() const override { return GetValueByKey("Track"); }
  std::u16string Genre() const override { return GetValueByKey("Genre"); }

  void SetTitle(const std::u16string& value) override { SetValueByKey("Title", value); }
  void SetArtist(const std::u16string& value) override { SetValueByKey("Artist", value); }
  void SetAlbum(const std::u16string& value) override { SetValueByKey("Album", value); }
  void SetYear(const std::u16string& value) override { SetValueByKey("Year", value); }
  void SetTrack(const std::u16string& value) override { SetValueByKey("Track", value); }
  void SetGenre(const std::u16string& value) override { SetValueByKey("Genre", value); }

  // Clears, then reads tags and the stream header. FileErr_None for a good
  // APE tag, ApeErr_NoTag without one, ApeErr_InvalidTag for a broken one
  // (then no items are kept); the stream header's outcome is Valid().
  TAudioError ReadFromStream(TStream& stream) override;
  // Writing is not supported: FileErr_FileOpenRW, the file is not touched.
  TAudioError WriteToFile(const std::string& aFilename) override;
  TAudioError RemoveFromFile(const std::string& aFilename) override;

  // Reads the format's stream header from the stream's position (behind a
  // leading ID3v2 tag) and sets duration, bitrate, sample rate, channels and
  // validity. The base sets the four numbers to 0 and returns true. The
  // stream may raise EReadError; the read frame turns that into
  // FileErr_FileOpenR.
  virtual bool ReadAudioProperties(TStream& stream);

  // Empties the item list and rebuilds an empty footer and header; zeroes
  // the sizes and the audio values. ID3v1Present() is left alone.
  void Clear();

  // The value of the last item whose key equals aKey (ASCII letters compared
  // without case); empty when none does.
  std::u16string GetValueByKey(std::string_view aKey) const;
  // The data of the last binary item keyed aKey, appended to dest. False
  // when no item matches or the last match is not binary.
  bool GetBinaryDataByKey(std::string_view aKey, TMemoryStream& dest) const;
  // Keys of all items, in list order.
  void GetAllFrames(std::vector<std::string>& dest) const;
  // Keys of the items whose key begins with "Cover Art" (any case).
  void GetAllPictureFrames(std::vector<std::string>& dest) const;
  // The picture of the last item keyed aKey, or with an empty aKey of the
  // last item whose key begins with "Cover Art"; see TApeTagItem::GetPicture.
  bool GetPicture(std::string_view aKey, TMemoryStream& dest, std::u16string& description) const;
  bool GetPicture(TApePictureTypes aType, TMemoryStream& dest, std::u16string& description) const;

  // The writing side: these only change the object.
  void SetValueByKey(std::string_view aKey, const std::u16string& value);
  void SetBinaryByKey(std::string_view aKey, std::string_view bytes);
  void SetPicture(std::string_view aKey, std::string_view image, const std::u16string& description);
  void SetPicture(TApePictureTypes aType, std::string_view image, const std::u16string& description);

  // The footer's header flag; false when the footer is not an APE footer.
  bool ContainsHeader() const {
    return fApev2TagFooter.HasPreamble() && (fApev2TagFooter.Flags & kApeFlagHasHeader) != 0;
  }
  bool ID3v1Present() const { return fID3v1Present; }
  // Footer Size (+32 with a header) when the footer is an APE footer, else 0.
  uint32_t Apev2TagSize() const;
  uint32_t ID3v1TagSize() const { return fID3v1TagSize; }
  uint32_t ID3v2TagSize() const { return fID3v2TagSize; }
  // Sum of the three sizes (32-bit).
  uint32_t CombinedTagSize() const { return Apev2TagSize() + fID3v1TagSize + fID3v2TagSize; }
  // Bytes from the APE tag's first byte to the end of the file.
  uint32_t Offset() const { return fOffset; }
  const TApeHeader& Apev2TagFooter() const { return fApev2TagFooter; }
  const TApeHeader& Apev2TagHeader() const { return fApev2TagHeader; }
  const TID3v1Structure& ID3v1Tag() const { return fID3v1tag; }
  const std::vector<std::unique_ptr<TApeTagItem>>& Items() const { return fItemList; }

  std::u16string Comment() const { return GetValueByKey("Comment"); }
  std::u16string SubTitle() const { return GetValueByKey("Subtitle"); }
  std::u16string DebutAlbum() const { return GetValueByKey("Debut album"); }
  std::u16string LabelCode() const { return GetValueByKey("LC"); }
  std::u16string RecordLocation() const { return GetValueByKey("Record Location"); }
  std::u16string Indexes() const { return GetValueByKey("Index"); }
  std::u16string ISRC() const { return GetValueByKey("ISRC"); }
  std::u16string Language() const { return GetValueByKey("Language"); }
  std::u16string Introplay() const { return GetValueByKey("Introplay"); }
  std::u16string Publisher() const { return GetValueByKey("Publisher"); }
  std::u16string Conductor() const { return GetValueByKey("Conductor"); }
  std::u16string Composer() const { return GetValueByKey("Composer"); }
  std::u16string Copyright() const { return GetValueByKey("Copyright"); }
  std::u16string PublicationRight() const { return GetValueByKey("Publicationright"); }
  std::u16string FileLocation() const { return GetValueByKey("File"); }
  std::u16string EAN() const { return GetValueByKey("EAN/UPC"); }
  std::u16string ISBN() const { return GetValueByKey("ISBN"); }
  std::u16string Catalog() const { return GetValueByKey("Catalog"); }
  std::u16string RecordDate() const { return GetValueByKey("Record Date"); }
  std::u16string Media() const { return GetValueByKey("Media"); }
  std::u16string Related() const { return GetValueByKey("Related"); }
  std::u16string AbstractOfContent() const { return GetValueByKey("Abstract"); }
  std::u16string Bibliography() const { return GetValueByKey("Bibliography"); }

 protected:
  void ResetForRead() override;

  TApeHeader fApev2TagFooter;
  TApeHeader fApev2TagHeader;
  TID3v1Structure fID3v1tag;
  bool fID3v1Present = false;
  uint32_t fID3v1TagSize = 0;
  uint32_t fID3v2TagSize = 0;
  uint32_t fOffset = 0;
  std::vector<std::unique_ptr<TApeTagItem>> fItemList;

 private:
  TAudioError ReadTag(TStream& stream);
  void RebuildHeaders();
};
