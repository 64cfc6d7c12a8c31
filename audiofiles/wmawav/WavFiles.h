// Twavfile: channels, sample rate, bitrate and duration of a RIFF WAVE file
// from its "fmt " and "data" chunks. The format carries no tags for this
// reader: the tag getters return empty text, the setters do nothing and
// writing reports WavErr_WritingNotSupported.
#pragma once

#include <cstdint>
#include <string>

#include "AudioFileBasics.h"

class Twavfile final : public TBaseAudioFile {
 public:
  Twavfile();

  int64_t FileSize() const override { return fFileSize; }
  int32_t Duration() const override { return fDuration; }
  int32_t Bitrate() const override { return fBitrate; }
  int32_t Samplerate() const override { return fSamplerate; }
  int32_t Channels() const override { return fChannels; }
  bool Valid() const override { return fValid; }

  std::u16string Title() const override { return {}; }
  std::u16string Artist() const override { return {}; }
  std::u16string Album() const override { return {}; }
  std::u16string Year() const override { return {}; }
  std::u16string Track() const override { return {}; }
  std::u16string Genre() const override { return {}; }

  void SetTitle(const std::u16string&) override {}
  void SetArtist(const std::u16string&) override {}
  void SetAlbum(const std::u16string&) override {}
  void SetYear(const std::u16string&) override {}
  void SetTrack(const std::u16string&) override {}
  void SetGenre(const std::u16string&) override {}

  TAudioError ReadFromStream(TStream& stream) override;
  TAudioError WriteToFile(const std::string&) override { return WavErr_WritingNotSupported; }
  TAudioError RemoveFromFile(const std::string&) override { return WavErr_WritingNotSupported; }

 protected:
  void ResetForRead() override;

 private:
  void Reset();
};
