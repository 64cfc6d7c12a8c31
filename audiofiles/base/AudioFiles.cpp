#include "AudioFiles.h"

#include <array>
#include <vector>

// Reader headers, one per row of the table below.
#include "Mp3Files.h"
#include "FlacFiles.h"
#include "OggVorbisFiles.h"
#include "Apev2Tags.h"
#include "MonkeyFiles.h"
#include "MusePackFiles.h"
#include "OptimFrogFiles.h"
#include "TrueAudioFiles.h"
#include "WavPackFiles.h"
#include "WavFiles.h"
#include "WmaFiles.h"

namespace {

struct ReaderRow {
  std::array<std::string_view, 3> extensions;  // unused slots are empty
  TAudioFileType type;
  std::unique_ptr<TBaseAudioFile> (*make)();
};

template <typename Reader>
std::unique_ptr<TBaseAudioFile> Make() {
  return std::make_unique<Reader>();
}

// Tried in order; the first row naming the extension wins.
const std::vector<ReaderRow>& ReaderTable() {
  static const std::vector<ReaderRow> rows = {
      {{".mp3", ".mp2", ".mp1"}, at_Mp3, &Make<TMP3File>},
      {{".ogg", ".oga"}, at_Ogg, &Make<TOggVorbisFile>},
      {{".flac", ".fla"}, at_Flac, &Make<TFlacFile>},
      {{".ape", ".mac"}, at_Monkey, &Make<TMonkeyFile>},
      {{".wv"}, at_WavPack, &Make<TWavPackFile>},
      {{".mpc", ".mp+", ".mpp"}, at_MusePack, &Make<TMusePackFile>},
      {{".ofr", ".ofs"}, at_OptimFrog, &Make<TOptimFrogFile>},
      {{".tta"}, at_TrueAudio, &Make<TTrueAudioFile>},
      {{".wma"}, at_Wma, &Make<TWMAfile>},
      {{".wav"}, at_Wav, &Make<Twavfile>},
  };
  return rows;
}

constexpr std::array<const char*, at_Wav + 1> kTypeValueNames = {QUAV_AUDIO_FILE_TYPE_LIST(QUAV_ENUM_NAME)};

constexpr std::array<const char16_t*, at_Wav + 1> kTypeNames = {
    u"Invalid Audiofile", u"MPEG Audio", u"Ogg/Vorbis",     u"Free Lossless Audio Codec", u"Monkey's Audio", u"WavPack",
    u"Musepack",          u"OptimFROG",  u"The True Audio", u"Windows Media Audio",       u"RIFF WAVE"};

}  // namespace

const char* AudioFileTypeName(TAudioFileType type) { return type <= at_Wav ? kTypeValueNames[type] : "?"; }

std::u16string FileTypeNameOf(TAudioFileType type) {
  return type <= at_Wav ? kTypeNames[type] : kTypeNames[at_Invalid];
}

std::string AudioFileExtension(std::string_view filename) {
  const size_t dot = filename.find_last_of(".\\/:");
  if (dot == std::string_view::npos || filename[dot] != '.') return {};
  return LowerCase(filename.substr(dot));
}

TGeneralAudioFile::TGeneralAudioFile(const std::string& aFilename) : fFilename(aFilename) {
  const std::string ext = AudioFileExtension(aFilename);
  for (const ReaderRow& row : ReaderTable()) {
    bool match = false;
    for (std::string_view e : row.extensions) match = match || (!e.empty() && e == ext);
    if (match) {
      fBaseAudioFile = row.make();
      fFileType = row.type;
      break;
    }
  }
  fLastError = fBaseAudioFile ? fBaseAudioFile->ReadFromFile(aFilename) : FileErr_NotSupportedFileType;
}

TGeneralAudioFile::~TGeneralAudioFile() = default;

bool TGeneralAudioFile::Valid() const { return fBaseAudioFile && fBaseAudioFile->Valid(); }
int64_t TGeneralAudioFile::FileSize() const { return fBaseAudioFile ? fBaseAudioFile->FileSize() : 0; }
int32_t TGeneralAudioFile::Duration() const { return fBaseAudioFile ? fBaseAudioFile->Duration() : 0; }
int32_t TGeneralAudioFile::Bitrate() const { return fBaseAudioFile ? fBaseAudioFile->Bitrate() : 0; }
int32_t TGeneralAudioFile::Samplerate() const { return fBaseAudioFile ? fBaseAudioFile->Samplerate() : 0; }
int32_t TGeneralAudioFile::Channels() const { return fBaseAudioFile ? fBaseAudioFile->Channels() : 0; }

std::u16string TGeneralAudioFile::Title() const { return fBaseAudioFile ? fBaseAudioFile->Title() : u""; }
std::u16string TGeneralAudioFile::Artist() const { return fBaseAudioFile ? fBaseAudioFile->Artist() : u""; }
std::u16string TGeneralAudioFile::Album() const { return fBaseAudioFile ? fBaseAudioFile->Album() : u""; }
std::u16string TGeneralAudioFile::Year() const { return fBaseAudioFile ? fBaseAudioFile->Year() : u""; }
std::u16string TGeneralAudioFile::Track() const { return fBaseAudioFile ? fBaseAudioFile->Track() : u""; }
std::u16string TGeneralAudioFile::Genre() const { return fBaseAudioFile ? fBaseAudioFile->Genre() : u""; }

void TGeneralAudioFile::SetTitle(const std::u16string& value) {
  if (fBaseAudioFile) fBaseAudioFile->SetTitle(value);
}
void TGeneralAudioFile::SetArtist(const std::u16string& value) {
  if (fBaseAudioFile) fBaseAudioFile->SetArtist(value);
}
void TGeneralAudioFile::SetAlbum(const std::u16string& value) {
  if (fBaseAudioFile) fBaseAudioFile->SetAlbum(value);
}
void TGeneralAudioFile::SetYear(const std::u16string& value) {
  if (fBaseAudioFile) fBaseAudioFile->SetYear(value);
}
void TGeneralAudioFile::SetTrack(const std::u16string& value) {
  if (fBaseAudioFile) fBaseAudioFile->SetTrack(value);
}
void TGeneralAudioFile::SetGenre(const std::u16string& value) {
  if (fBaseAudioFile) fBaseAudioFile->SetGenre(value);
}

TAudioError TGeneralAudioFile::UpdateFile() {
  return fBaseAudioFile ? fBaseAudioFile->WriteToFile(fFilename) : FileErr_NotSupportedFileType;
}
TAudioError TGeneralAudioFile::RemoveFromFile() {
  return fBaseAudioFile ? fBaseAudioFile->RemoveFromFile(fFilename) : FileErr_NotSupportedFileType;
}

TMP3File* TGeneralAudioFile::MP3File() const {
  return fFileType == at_Mp3 ? static_cast<TMP3File*>(fBaseAudioFile.get()) : nullptr;
}
TOggVorbisFile* TGeneralAudioFile::OggFile() const {
  return fFileType == at_Ogg ? static_cast<TOggVorbisFile*>(fBaseAudioFile.get()) : nullptr;
}
TFlacFile* TGeneralAudioFile::FlacFile() const {
  return fFileType == at_Flac ? static_cast<TFlacFile*>(fBaseAudioFile.get()) : nullptr;
}
TBaseApeFile* TGeneralAudioFile::BaseApeFile() const {
  switch (fFileType) {
    case at_Monkey:
    case at_WavPack:
    case at_MusePack:
    case at_OptimFrog:
    case at_TrueAudio: return static_cast<TBaseApeFile*>(fBaseAudioFile.get());
    default: return nullptr;
  }
}
TMonkeyFile* TGeneralAudioFile::MonkeyFile() const {
  return fFileType == at_Monkey ? static_cast<TMonkeyFile*>(fBaseAudioFile.get()) : nullptr;
}
TWavPackFile* TGeneralAudioFile::WavPackFile() const {
  return fFileType == at_WavPack ? static_cast<TWavPackFile*>(fBaseAudioFile.get()) : nullptr;
}
TMusePackFile* TGeneralAudioFile::MusePackFile() const {
  return fFileType == at_MusePack ? static_cast<TMusePackFile*>(fBaseAudioFile.get()) : nullptr;
}
TOptimFrogFile* TGeneralAudioFile::OptimFrogFile() const {
  return fFileType == at_OptimFrog ? static_cast<TOptimFrogFile*>(fBaseAudioFile.get()) : nullptr;
}
TTrueAudioFile* TGeneralAudioFile::TrueAudioFile() const {
  return fFileType == at_TrueAudio ? static_cast<TTrueAudioFile*>(fBaseAudioFile.get()) : nullptr;
}
TWMAfile* TGeneralAudioFile::WmaFile() const {
  return fFileType == at_Wma ? static_cast<TWMAfile*>(fBaseAudioFile.get()) : nullptr;
}
Twavfile* TGeneralAudioFile::WavFile() const {
  return fFileType == at_Wav ? static_cast<Twavfile*>(fBaseAudioFile.get()) : nullptr;
}
