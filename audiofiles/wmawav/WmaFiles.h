// TWMAfile: stream properties and tags of a Windows Media Audio file, read
// from the top-level objects of its ASF header object. Reading only: the
// tag setters do nothing and writing reports WmaErr_WritingNotSupported.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "AudioFileBasics.h"

class TWMAfile final : public TBaseAudioFile {
 public:
  // The tag values the header objects give, untrimmed. Track is
  // "WM/Track" (counting from 0), used only when "WM/TrackNumber" is empty.
  struct TagData {
    std::u16string Title, Artist, Album, Track, Year, Genre, Description, TrackNumber;
  };

  // What one read gathers from the header before the fields are set.
  struct FileData {
    int32_t MaxBitRate = 0;   // file properties: maximum bitrate, bit/s
    uint16_t Channels = 0;    // stream properties: wave format channel count
    uint32_t SampleRate = 0;  // stream properties: samples per second
    uint32_t ByteRate = 0;    // stream properties: average bytes per second
    TagData Tag;
  };

  TWMAfile();

  int64_t FileSize() const override { return fFileSize; }
  int32_t Duration() const override { return fDuration; }
  int32_t Bitrate() const override { return fBitrate; }
  int32_t Samplerate() const override { return fSamplerate; }
  // The channel mode: 1 mono, 2 stereo, 0 for anything else.
  int32_t Channels() const override { return fChannelModeID; }
  bool Valid() const override { return fValid; }

  std::u16string Title() const override { return fTitle; }
  std::u16string Artist() const override { return fArtist; }
  std::u16string Album() const override { return fAlbum; }
  std::u16string Year() const override { return fYear; }
  std::u16string Track() const override { return fTrack; }
  std::u16string Genre() const override { return fGenre; }

  // Tags cannot be written, so there is nothing to keep.
  void SetTitle(const std::u16string&) override {}
  void SetArtist(const std::u16string&) override {}
  void SetAlbum(const std::u16string&) override {}
  void SetYear(const std::u16string&) override {}
  void SetTrack(const std::u16string&) override {}
  void SetGenre(const std::u16string&) override {}

  TAudioError ReadFromStream(TStream& stream) override;
  TAudioError WriteToFile(const std::string&) override { return WmaErr_WritingNotSupported; }
  TAudioError RemoveFromFile(const std::string&) override { return WmaErr_WritingNotSupported; }

  uint8_t ChannelModeID() const { return fChannelModeID; }
  // "Unknown", "Mono" or "Stereo".
  std::u16string ChannelMode() const;
  std::u16string Comment() const { return fComment; }

 protected:
  void ResetForRead() override;

 private:
  void Reset();

  uint8_t fChannelModeID = 0;
  std::u16string fTitle;
  std::u16string fArtist;
  std::u16string fAlbum;
  std::u16string fTrack;
  std::u16string fYear;
  std::u16string fGenre;
  std::u16string fComment;
};
