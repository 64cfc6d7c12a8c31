#include "TrueAudioFiles.h"

#include <cstring>

//  0  ID             4  "TTA1"
//  4  AudioFormat    2
//  6  NumChannels    2
//  8  BitsPerSample  2
// 10  SampleRate     4
// 14  DataLength     4
// 18  CRC32          4
void tta_header::Decode(const uint8_t bytes[kSize]) {
  std::memcpy(ID, bytes, 4);
  AudioFormat = GetU16LE(bytes + 4);
  NumChannels = GetU16LE(bytes + 6);
  BitsPerSample = GetU16LE(bytes + 8);
  SampleRate = GetU32LE(bytes + 10);
  DataLength = GetU32LE(bytes + 14);
  CRC32 = GetU32LE(bytes + 18);
}

void TTrueAudioFile::ResetForRead() {
  ResetData();
  TBaseApeFile::ResetForRead();
}

void TTrueAudioFile::ResetData() {
  fHeader = tta_header{};
  fAudioFormat = 0;
  fBits = 0;
  fSamples = 0;
  fCRC32 = 0;
}

bool TTrueAudioFile::ReadAudioProperties(TStream& stream) {
  ResetData();
  fSamplerate = 0;
  fChannels = 0;
  fBitrate = 0;
  fDuration = 0;
  fValid = false;

  uint8_t raw[tta_header::kSize] = {};
  stream.Read(raw, sizeof raw);
  fHeader.Decode(raw);
  if (std::memcmp(fHeader.ID, "TTA1", 4) != 0) return false;

  fValid = true;
  fAudioFormat = fHeader.AudioFormat;
  fChannels = fHeader.NumChannels;
  fBits = fHeader.BitsPerSample;
  fSamplerate = Int32OrZero(fHeader.SampleRate);
  fSamples = fHeader.DataLength;
  fCRC32 = fHeader.CRC32;

  if (fSamples > 0) fBitrate = RoundToInt32(static_cast<double>(fFileSize) * 8 * fSamplerate / fSamples);
  if (fSamplerate > 0) fDuration = RoundToInt32(static_cast<double>(fSamples) / fSamplerate);
  return true;
}
