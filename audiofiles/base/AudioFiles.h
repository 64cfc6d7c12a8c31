// TGeneralAudioFile: picks the reader for a file by its extension, lets it
// read the file at once, and answers every question through that reader.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "AudioFileBasics.h"
#include "EnumList.h"

class TMP3File;
class TOggVorbisFile;
class TFlacFile;
class TBaseApeFile;
class TMonkeyFile;
class TWavPackFile;
class TMusePackFile;
class TOptimFrogFile;
class TTrueAudioFile;
class TWMAfile;
class Twavfile;

#define QUAV_AUDIO_FILE_TYPE_LIST(X) \
  X(at_Invalid)                      \
  X(at_Mp3)                          \
  X(at_Ogg)                          \
  X(at_Flac)                         \
  X(at_Monkey)                       \
  X(at_WavPack)                      \
  X(at_MusePack)                     \
  X(at_OptimFrog)                    \
  X(at_TrueAudio)                    \
  X(at_Wma)                          \
  X(at_Wav)

enum TAudioFileType : uint8_t { QUAV_AUDIO_FILE_TYPE_LIST(QUAV_ENUM_VALUE) };

// The value's name ("at_Mp3") and the type's display name ("MPEG Audio").
const char* AudioFileTypeName(TAudioFileType type);
std::u16string FileTypeNameOf(TAudioFileType type);

// The extension: from the last '.' on, dot included, unless a path
// separator or drive colon follows it; lower-cased (ASCII). Empty if none.
std::string AudioFileExtension(std::string_view filename);

class TGeneralAudioFile {
 public:
  explicit TGeneralAudioFile(const std::string& aFilename);
  ~TGeneralAudioFile();
  TGeneralAudioFile(const TGeneralAudioFile&) = delete;
  TGeneralAudioFile& operator=(const TGeneralAudioFile&) = delete;

  bool Valid() const;
  int64_t FileSize() const;
  int32_t Duration() const;
  int32_t Bitrate() const;
  int32_t Samplerate() const;
  int32_t Channels() const;

  std::u16string Title() const;
  std::u16string Artist() const;
  std::u16string Album() const;
  std::u16string Year() const;
  std::u16string Track() const;
  std::u16string Genre() const;

  void SetTitle(const std::u16string& value);
  void SetArtist(const std::u16string& value);
  void SetAlbum(const std::u16string& value);
  void SetYear(const std::u16string& value);
  void SetTrack(const std::u16string& value);
  void SetGenre(const std::u16string& value);
  TAudioError UpdateFile();
  TAudioError RemoveFromFile();

  TAudioFileType FileType() const { return fFileType; }
  const std::string& Filename() const { return fFilename; }
  TAudioError LastError() const { return fLastError; }
  std::u16string FileTypeName() const { return FileTypeNameOf(fFileType); }

  // The reader itself, whatever its type; nullptr without one.
  TBaseAudioFile* BaseAudioFile() const { return fBaseAudioFile.get(); }

  // Typed reader accessors: the reader when the type matches, else nullptr.
  TMP3File* MP3File() const;
  TOggVorbisFile* OggFile() const;
  TFlacFile* FlacFile() const;
  TMonkeyFile* MonkeyFile() const;
  TWavPackFile* WavPackFile() const;
  TMusePackFile* MusePackFile() const;
  TOptimFrogFile* OptimFrogFile() const;
  TTrueAudioFile* TrueAudioFile() const;
  // The reader of any of the five APE-tagged types.
  TBaseApeFile* BaseApeFile() const;
  TWMAfile* WmaFile() const;
  Twavfile* WavFile() const;

 private:
  std::unique_ptr<TBaseAudioFile> fBaseAudioFile;
  TAudioFileType fFileType = at_Invalid;
  std::string fFilename;
  TAudioError fLastError = FileErr_None;
};
