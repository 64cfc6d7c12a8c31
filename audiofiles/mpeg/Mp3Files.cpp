#include "Mp3Files.h"

#include <exception>

TAudioError MapMp3Error(TMP3Error error) {
  switch (error) {
    case MP3ERR_None: return FileErr_None;
    case MP3ERR_NoFile: return FileErr_NoFile;
    case MP3ERR_FOpenCrt: return FileErr_FileCreate;
    case MP3ERR_FOpenR: return FileErr_FileOpenR;
    case MP3ERR_FOpenRW:
    case MP3ERR_FOpenW: return FileErr_FileOpenRW;
    case MP3ERR_SRead: return MP3ERR_StreamRead;
    case MP3ERR_SWrite: return MP3ERR_StreamWrite;
    case ID3ERR_Cache: return Mp3ERR_Cache;
    case ID3ERR_NoTag: return Mp3ERR_NoTag;
    case ID3ERR_Invalid_Header: return MP3ERR_Invalid_Header;
    case ID3ERR_Compression: return Mp3ERR_Compression;
    case ID3ERR_Unclassified: return Mp3ERR_Unclassified;
    case MPEGERR_NoFrame: return MP3ERR_NoMpegFrame;
  }
  return Mp3ERR_Unclassified;
}

void TMP3File::Clear() {
  fID3v1Tag.Clear();
  fID3v2Tag.Clear();
  fPending = PendingText{};
  fFileSize = 0;
  fDuration = 0;
  fBitrate = 0;
  fSamplerate = 0;
  fChannels = 0;
  fValid = false;
}

void TMP3File::ResetForRead() { Clear(); }

TAudioError TMP3File::ReadFromStream(TStream& stream) {
  fFileSize = stream.Size();
  fID3v1Tag.ReadFromStream(stream);
  stream.Seek(0);
  const TMP3Error id3v2Result = fID3v2Tag.ReadFromStream(stream);
  stream.Seek(fID3v2Tag.Exists() ? fID3v2Tag.Size() : 0);
  const TMP3Error mpegResult = fMpegInfo.LoadFromStream(stream);

  if (mpegResult == MP3ERR_None) {
    fDuration = fMpegInfo.Dauer();
    fBitrate = int32_t(fMpegInfo.Bitrate()) * 1000;
    fSamplerate = fMpegInfo.Samplerate();
    switch (fMpegInfo.Channelmode()) {
      case 0:
      case 1:
      case 2: fChannels = 2; break;
      case 3: fChannels = 1; break;
      default: fChannels = 0; break;
    }
    fValid = true;
  }
  return MapMp3Error(id3v2Result);
}

TAudioError TMP3File::FinishRead(TAudioError result, bool parsed) {
  if (parsed) return result;
  // Values read before the failure stay; the audio counts as not found.
  fValid = false;
  fDuration = fBitrate = fSamplerate = fChannels = 0;
  return FileErr_FileOpenR;
}

TAudioError TMP3File::WriteToFile(const std::string&) { return FileErr_FileOpenRW; }
TAudioError TMP3File::RemoveFromFile(const std::string&) { return FileErr_FileOpenRW; }

namespace {

// The ID3v2 value, or the ID3v1 value when that is empty.
std::u16string Prefer(std::u16string v2, std::u16string v1) { return v2.empty() ? v1 : v2; }

}  // namespace

std::u16string TMP3File::Title() const {
  if (fPending.title) return *fPending.title;
  return Prefer(fID3v2Tag.Title(), fID3v1Tag.Title());
}
std::u16string TMP3File::Artist() const {
  if (fPending.artist) return *fPending.artist;
  return Prefer(fID3v2Tag.Artist(), fID3v1Tag.Artist());
}
std::u16string TMP3File::Album() const {
  if (fPending.album) return *fPending.album;
  return Prefer(fID3v2Tag.Album(), fID3v1Tag.Album());
}
std::u16string TMP3File::Genre() const {
  if (fPending.genre) return *fPending.genre;
  return Prefer(fID3v2Tag.Genre(), fID3v1Tag.Genre());
}
std::u16string TMP3File::Track() const {
  if (fPending.track) return *fPending.track;
  return Prefer(fID3v2Tag.Track(), fID3v1Tag.Track());
}
std::u16string TMP3File::Comment() const {
  if (fPending.comment) return *fPending.comment;
  return Prefer(fID3v2Tag.Comment(), fID3v1Tag.Comment());
}
std::u16string TMP3File::Year() const {
  if (fPending.year) return *fPending.year;
  std::u16string year = fID3v2Tag.Year();
  if (!year.empty()) return year;
  return Trim(DecodeCodePageText(fID3v1Tag.Year(), false, TCodePage{}));
}
