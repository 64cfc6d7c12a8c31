#include "AudioFileBasics.h"

#include <array>

namespace {
constexpr std::array<const char*, FileErr_NotSupportedFileType + 1> kAudioErrorNames = {
    QUAV_AUDIO_ERROR_LIST(QUAV_ENUM_NAME)};
}  // namespace

const char* AudioErrorName(TAudioError error) {
  return error < kAudioErrorNames.size() ? kAudioErrorNames[error] : "?";
}

bool AudioFileExists(const std::string& aFilename) { return PathKindOf(aFilename) == TPathKind::File; }

bool ParseFile(const std::string& aFilename, const std::function<void(TStream&)>& parse) {
  try {
    TFileStream stream(aFilename);
    parse(stream);
    return true;
  } catch (...) {
    return false;
  }
}

TAudioError TBaseAudioFile::ReadFromFile(const std::string& aFilename) {
  ResetForRead();
  TAudioError result = FileErr_None;
  bool opened = false;
  const bool parsed = ParseFile(aFilename, [&](TStream& stream) {
    opened = true;
    result = ReadFromStream(stream);
  });
  // Whether the name stands for a file is asked only when it did not open,
  // which saves a path lookup on every file that does.
  if (!opened && !AudioFileExists(aFilename)) return FileErr_NoFile;
  return FinishRead(result, parsed);
}

TAudioError TBaseAudioFile::ReadFromOpenStream(TStream& stream) {
  ResetForRead();
  TAudioError result = FileErr_None;
  bool parsed = false;
  try {
    stream.Seek(0);
    result = ReadFromStream(stream);
    parsed = true;
  } catch (...) {
  }
  return FinishRead(result, parsed);
}

TAudioError TBaseAudioFile::FinishRead(TAudioError result, bool parsed) { return parsed ? result : FileErr_FileOpenR; }

uint32_t SyncSafeToInteger(const uint8_t bytes[4]) {
  return (uint32_t(bytes[0]) << 21) | (uint32_t(bytes[1]) << 14) | (uint32_t(bytes[2]) << 7) | uint32_t(bytes[3]);
}

uint32_t GetID3v2Size(TStream& stream) {
  uint8_t header[10];
  stream.Seek(0);
  stream.ReadBuffer(header, sizeof header);
  if (header[0] != 'I' || header[1] != 'D' || header[2] != '3') return 0;
  const uint8_t major = header[3];
  if (major < 2 || major > 4) return 0;
  uint32_t size = SyncSafeToInteger(header + 6) + 10;
  if (major == 4 && (header[5] & 0x10)) size += 10;
  return size;
}
