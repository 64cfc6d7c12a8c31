// TMP3File: the reader for MPEG audio files (.mp3, .mp2, .mp1). It reads the
// ID3v1 tag at the end, the ID3v2 tag at the start and the MPEG stream
// behind the ID3v2 tag, all from one open file. Text comes from the ID3v2
// tag, falling back on the ID3v1 tag where the ID3v2 value is empty.
#pragma once

#include <optional>
#include <string>

#include "AudioFileBasics.h"
#include "Tagmill.h"

// TMP3Error as the reader's result code; unknown values give
// Mp3ERR_Unclassified.
TAudioError MapMp3Error(TMP3Error error);

// Settings of the writing side; reading ignores them.
enum TTagWriteMode : uint8_t { id3_both, id3_v1, id3_v2, id3_existing };
enum TTagDefaultMode : uint8_t { id3_def_both, id3_def_v1, id3_def_v2 };
enum TTagDeleteMode : uint8_t { id3_del_both, id3_del_v1, id3_del_v2 };

class TMP3File : public TBaseAudioFile {
 public:
  TMP3File() = default;

  int64_t FileSize() const override { return fFileSize; }
  int32_t Duration() const override { return fDuration; }
  int32_t Bitrate() const override { return fBitrate; }
  int32_t Samplerate() const override { return fSamplerate; }
  int32_t Channels() const override { return fChannels; }
  bool Valid() const override { return fValid; }

  std::u16string Title() const override;
  std::u16string Artist() const override;
  std::u16string Album() const override;
  std::u16string Year() const override;
  std::u16string Track() const override;
  std::u16string Genre() const override;
  std::u16string Comment() const;

  // Setters keep the value in the reader, where the getters answer it from
  // until the next read; nothing is written to any file.
  void SetTitle(const std::u16string& value) override { fPending.title = value; }
  void SetArtist(const std::u16string& value) override { fPending.artist = value; }
  void SetAlbum(const std::u16string& value) override { fPending.album = value; }
  void SetYear(const std::u16string& value) override { fPending.year = value; }
  void SetTrack(const std::u16string& value) override { fPending.track = value; }
  void SetGenre(const std::u16string& value) override { fPending.genre = value; }
  void SetComment(const std::u16string& value) { fPending.comment = value; }

  // FileErr_NoFile, FileErr_FileOpenR (cannot open, or the ID3v2 tag claims
  // more than the file holds), else the ID3v2 tag's result mapped by
  // MapMp3Error. Whether audio was found shows in Valid(). Never raises.
  TAudioError ReadFromStream(TStream& stream) override;
  // Writing is not supported: FileErr_FileOpenRW, the file is not touched.
  TAudioError WriteToFile(const std::string& aFilename) override;
  TAudioError RemoveFromFile(const std::string& aFilename) override;

  void Clear();

  const TID3v1Tag& ID3v1Tag() const { return fID3v1Tag; }
  const TID3v2Tag& ID3v2Tag() const { return fID3v2Tag; }
  const TMpegInfo& MpegInfo() const { return fMpegInfo; }
  // 128 when an ID3v1 tag was read, else 0.
  uint32_t ID3v1TagSize() const { return fID3v1Tag.Exists() ? 128 : 0; }
  // The ID3v2 tag's length in the file (header and footer included), 0
  // without a tag header.
  uint32_t ID3v2TagSize() const { return fID3v2Tag.Exists() ? fID3v2Tag.Size() : 0; }

  TTagWriteMode TagWriteMode() const { return fTagWriteMode; }
  void SetTagWriteMode(TTagWriteMode value) { fTagWriteMode = value; }
  TTagDefaultMode TagDefaultMode() const { return fTagDefaultMode; }
  void SetTagDefaultMode(TTagDefaultMode value) { fTagDefaultMode = value; }
  TTagDeleteMode TagDeleteMode() const { return fTagDeleteMode; }
  void SetTagDeleteMode(TTagDeleteMode value) { fTagDeleteMode = value; }

 protected:
  void ResetForRead() override;
  TAudioError FinishRead(TAudioError result, bool parsed) override;

 private:
  struct PendingText {
    std::optional<std::u16string> title, artist, album, year, track, genre, comment;
  };

  TID3v1Tag fID3v1Tag;
  TID3v2Tag fID3v2Tag;
  TMpegInfo fMpegInfo;
  TTagWriteMode fTagWriteMode = id3_both;
  TTagDefaultMode fTagDefaultMode = id3_def_both;
  TTagDeleteMode fTagDeleteMode = id3_del_both;
  PendingText fPending;
};
