// TMusePackFile: Musepack streams (SV4 to SV8). The stream properties come
// from the first 32 bytes of the stream, kept as read; tags and file
// handling come from TBaseApeFile.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "Apev2Tags.h"

class TMusePackFile : public TBaseApeFile {
 public:
  // The first 32 bytes of the stream, once as bytes and once as
  // little-endian signed 32-bit words.
  struct HeaderRecord {
    std::array<uint8_t, 32> ByteArray{};
    std::array<int32_t, 8> IntegerArray{};
  };

  TMusePackFile() = default;

  // Computed from the stored header bytes, whatever Valid says.
  int32_t Samplerate() const override;
  int32_t Channels() const override;

  bool ReadAudioProperties(TStream& stream) override;

  // 4, 5, 6, 7, 8, or 71 for SV7.1; 0 when not recognised.
  uint8_t StreamVersion() const { return fStreamVersion; }
  // "4.0" .. "8.0", "7.1"; any other version as its decimal number.
  std::u16string VersionString() const { return fGetVersionString(); }
  // "Unknown", "Stereo" or "Joint Stereo" by the mode found while reading.
  std::u16string ChannelMode() const { return fGetChannelMode(); }
  // 1 stereo, 2 joint stereo: computed from the header on every call.
  uint8_t ChannelModeID() const { return fGetChannelModeID(); }
  int32_t FrameCount() const { return fFrameCount; }
  int64_t SampleCount() const { return fSampleCount; }
  // 1-based position of the SV8 sample-rate byte within the header.
  int32_t DataIndex() const { return fDataIndex; }
  double Ratio() const { return fGetRatio(); }
  bool IsCorrupted() const { return fIsCorrupted(); }
  const HeaderRecord& Header() const { return fHeader; }

  // The steps of reading, public for inspection.
  void fResetData();
  uint8_t fGetStreamVersion() const;
  int32_t fGetFrameCount() const;
  // SV8: the sample count and, in fDataIndex, where the sample-rate byte is.
  int64_t fGetSampleCount();
  uint8_t fGetChannelModeID() const;
  std::u16string fGetChannelMode() const;
  std::u16string fGetVersionString() const;
  // Size in percent of the same audio as 16-bit stereo PCM in a WAVE file.
  double fGetRatio() const;
  // A bitrate outside 3 to 480 kbit/s in a valid stream.
  bool fIsCorrupted() const;

 protected:
  // Forgets the previous file's header as well, so that nothing of it
  // survives a missing or unreadable file.
  void ResetForRead() override;

 private:
  // 0-based index of the SV8 sample-rate byte, found by walking the two
  // variable-length numbers that precede it in the stored header.
  int SampleRateByteIndex() const;

  HeaderRecord fHeader;
  int32_t fDataIndex = 0;
  uint8_t fChannelModeID = 0;
  int32_t fFrameCount = 0;
  int64_t fSampleCount = 0;
  uint8_t fStreamVersion = 0;
};
